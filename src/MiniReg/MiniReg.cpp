#include "MiniReg/MiniReg.h"

#include "platform/AnsiText.h"

#include <cstring>

namespace {

enum class OpenFor { Write, Read, Delete };

// Reads of a value that another program keeps lengthening between its size
// and its read, before the read is given up.
constexpr int kReadsOfAGrowingValue = 5;

// The frame every value operation shares: split the path at its last
// backslash, open the sub-key, make one value call, close the key again.
// A failed open leaves its status in *openStatus when asked for.
template <typename ValueCall>
bool WithValue(os::RegKey root, const std::string& valuePath, OpenFor how, ValueCall call,
               os::Status* openStatus = nullptr) {
    std::int32_t p = LastCharPos('\\', valuePath);
    if (p == 0) return false;
    std::string subKey = valuePath.substr(0, p - 1);
    os::RegKey key = 0;
    os::u32 disposition = 0;  // created or opened: either will do
    os::Status opened;
    if (how == OpenFor::Write)
        opened = os::RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, os::KeyWrite, nullptr,
                                     &key, &disposition);
    else
        opened = os::RegOpenKeyExA(root, subKey.c_str(), 0,
                                   how == OpenFor::Read ? os::KeyRead : os::KeyWrite, &key);
    if (opened != os::ErrorSuccess) {
        if (openStatus) *openStatus = opened;
        return false;
    }
    std::string name = valuePath.substr(p);
    bool result = false;
    try {
        result = call(key, name.c_str());
    } catch (...) {
        os::RegCloseKey(key);
        throw;
    }
    os::RegCloseKey(key);
    return result;
}

// Texts are read as Windows keeps them, in UTF-16, and brought to the ANSI
// code page only when no character is lost on the way.
bool FetchText(os::RegKey root, const std::string& valuePath, std::uint32_t type, std::string& text,
               bool& notAnsi) {
    notAnsi = false;
    std::vector<unsigned char> data;
    if (!FetchRawValue(root, valuePath, type, data)) return false;
    const std::size_t size = data.size();
    std::u16string wide(size / 2, u'\0');
    if (size > 1) std::memcpy(wide.data(), data.data(), wide.size() * 2);
    // Every trailing zero goes, not just one: a value stored without its
    // terminator keeps its last character, one stored with two does not keep a
    // zero inside the text.
    while (!wide.empty() && wide.back() == 0) wide.pop_back();
    // Half a character at the end could not be written back either.
    notAnsi = size % 2 != 0 || !ToAnsiExactly(wide, text);
    return !notAnsi;
}

bool PutText(os::RegKey root, const std::string& valuePath, std::uint32_t type,
             const std::string& text) {
    std::string data = text;
    data.push_back('\0');
    return PutRawValue(root, valuePath, type, reinterpret_cast<const unsigned char*>(data.data()),
                       static_cast<std::uint32_t>(data.size()));
}

}  // namespace

std::int32_t LastCharPos(char ch, const std::string& text) {
    for (std::size_t i = text.size(); i > 0; --i)
        if (text[i - 1] == ch) return static_cast<std::int32_t>(i);
    return 0;
}

bool PutRawValue(os::RegKey root, const std::string& valuePath, std::uint32_t type,
                 const unsigned char* data, std::uint32_t size) {
    return WithValue(root, valuePath, OpenFor::Write, [&](os::RegKey key, const char* name) {
        return os::RegSetValueExA(key, name, 0, type, data, size) == os::ErrorSuccess;
    });
}

bool FetchRawValue(os::RegKey root, const std::string& valuePath, std::uint32_t expectedType,
                   std::vector<unsigned char>& data) {
    return WithValue(root, valuePath, OpenFor::Read, [&](os::RegKey key, const char* name) {
        const std::u16string wideName = os::ToWide(name);
        // Another program may lengthen the value between its size and its
        // read: it is read again at its new size.
        for (int read = 0; read < kReadsOfAGrowingValue; ++read) {
            os::u32 type = 0, needed = 0;
            if (os::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &needed) !=
                os::ErrorSuccess)
                return false;
            std::vector<unsigned char> buffer(needed);
            os::u32 got = needed;
            const os::Status status =
                os::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, buffer.data(), &got);
            // A size of 0 gives no buffer, and then a value written in between
            // turns the read into a size query, which answers more than it gave.
            if (status == os::ErrorMoreData || got > needed) continue;
            if (status != os::ErrorSuccess || type != expectedType) return false;
            buffer.resize(got);
            data.swap(buffer);
            return true;
        }
        return false;
    });
}

bool PutSzValue(os::RegKey root, const std::string& valuePath, const std::string& text) {
    return PutText(root, valuePath, os::RegSz, text);
}

bool PutExpandSzValue(os::RegKey root, const std::string& valuePath, const std::string& text) {
    return PutText(root, valuePath, os::RegExpandSz, text);
}

bool FetchSzValue(os::RegKey root, const std::string& valuePath, std::string& text, bool& notAnsi) {
    return FetchText(root, valuePath, os::RegSz, text, notAnsi);
}

bool FetchExpandSzValue(os::RegKey root, const std::string& valuePath, std::string& text,
                        bool& notAnsi) {
    return FetchText(root, valuePath, os::RegExpandSz, text, notAnsi);
}

bool HasValue(os::RegKey root, const std::string& valuePath) {
    bool missing = false;
    return HasValue(root, valuePath, missing);
}

bool HasValue(os::RegKey root, const std::string& valuePath, bool& missing) {
    os::Status status = os::ErrorSuccess;
    bool found = WithValue(
        root, valuePath, OpenFor::Read,
        [&](os::RegKey key, const char* name) {
            status = os::RegQueryValueExW(key, os::ToWide(name).c_str(), nullptr, nullptr, nullptr,
                                          nullptr);
            return status == os::ErrorSuccess;
        },
        &status);
    missing = !found && status == os::ErrorFileNotFound;
    return found;
}

bool FetchValueType(os::RegKey root, const std::string& valuePath, std::uint32_t& type) {
    type = 0;
    return WithValue(root, valuePath, OpenFor::Read, [&](os::RegKey key, const char* name) {
        os::u32 found = 0;
        if (os::RegQueryValueExW(key, os::ToWide(name).c_str(), nullptr, &found, nullptr,
                                 nullptr) != os::ErrorSuccess)
            return false;
        type = found;
        return true;
    });
}

bool RemoveValue(os::RegKey root, const std::string& valuePath) {
    return WithValue(root, valuePath, OpenFor::Delete, [](os::RegKey key, const char* name) {
        return os::RegDeleteValueA(key, name) == os::ErrorSuccess;
    });
}
