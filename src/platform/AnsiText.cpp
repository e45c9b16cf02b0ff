#include "platform/AnsiText.h"

#include "platform/Platform.h"

bool ToAnsiExactly(const std::u16string& wide, std::string& text) {
    const std::string ansi = os::ToAnsi(wide);
    // Whatever the code page does with a character it lacks (best fit,
    // default character, UTF-8's replacement), the way back shows it.
    if (os::ToWide(ansi) != wide) return false;
    text = ansi;
    return true;
}
