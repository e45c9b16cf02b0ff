#include "platform/AnsiText.h"

#include "platform/Platform.h"

std::u16string ToWide(const std::string& text) {
    const int length = static_cast<int>(text.size());
    std::u16string wide(text.empty() ? 0 : os::MultiByteToWideChar(os::CpAcp, 0, text.data(),
                                                                    length, nullptr, 0),
                        u'\0');
    if (!wide.empty())
        os::MultiByteToWideChar(os::CpAcp, 0, text.data(), length, wide.data(),
                                static_cast<int>(wide.size()));
    return wide;
}

std::string ToAnsi(const std::u16string& wide) {
    const int length = static_cast<int>(wide.size());
    std::string ansi(wide.empty() ? 0 : os::WideCharToMultiByte(os::CpAcp, 0, wide.data(), length,
                                                                nullptr, 0, nullptr, nullptr),
                     '\0');
    if (!ansi.empty())
        os::WideCharToMultiByte(os::CpAcp, 0, wide.data(), length, ansi.data(),
                                static_cast<int>(ansi.size()), nullptr, nullptr);
    return ansi;
}

bool ToAnsiExactly(const std::u16string& wide, std::string& text) {
    const std::string ansi = ToAnsi(wide);
    // Whatever the code page does with a character it lacks (best fit,
    // default character, UTF-8's replacement), the way back shows it.
    if (ToWide(ansi) != wide) return false;
    text = ansi;
    return true;
}
