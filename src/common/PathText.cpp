#include "common/PathText.h"

#include "platform/Platform.h"

namespace {

bool leadBytes[256];

unsigned char At(const std::string& text, std::size_t i) {
    return static_cast<unsigned char>(text[i - 1]);
}

}  // namespace

void ReadLeadByteSet() {
    for (bool& lead : leadBytes) lead = false;
    os::CpInfo info{};
    // The code page every ANSI call works in, whatever the user's regional format.
    if (!os::GetCPInfo(os::CpAcp, &info)) return;
    for (int i = 0; i + 1 < 12 && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2)
        for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) leadBytes[b] = true;
}

bool IsLeadByte(unsigned char byte) { return leadBytes[byte]; }

ByteKind ByteKindAt(const std::string& text, std::size_t i) {
    if (i == 0 || i > text.size() || At(text, i) == 0) return ByteKind::Single;
    // Lead bytes right before i pair up from the left; an odd run makes i a trail.
    std::size_t run = 0;
    while (run + 1 < i && IsLeadByte(At(text, i - run - 1))) ++run;
    if (run % 2 == 1) return ByteKind::Trail;
    return IsLeadByte(At(text, i)) ? ByteKind::Lead : ByteKind::Single;
}

bool IsBackslashAt(const std::string& text, std::size_t i) {
    return i >= 1 && i <= text.size() && At(text, i) == '\\' &&
           ByteKindAt(text, i) == ByteKind::Single;
}

std::string AddTrailingBackslash(const std::string& text) {
    return IsBackslashAt(text, text.size()) ? text : text + '\\';
}

std::string DropTrailingBackslash(const std::string& text) {
    return IsBackslashAt(text, text.size()) ? text.substr(0, text.size() - 1) : text;
}

std::string DropTrailingBackslashes(const std::string& text) {
    std::size_t end = text.size();
    while (IsBackslashAt(text, end)) --end;
    return text.substr(0, end);
}

std::size_t LastSeparatorPos(const std::string& text) {
    std::size_t i = text.size();
    while (i > 0) {
        unsigned char c = At(text, i);
        if (c == '\\' || c == ':') {
            if (ByteKindAt(text, i) != ByteKind::Trail) return i;
            i -= 2;  // over the whole two-byte character (a trail has its lead before it)
        } else {
            --i;
        }
    }
    return 0;
}

std::string DirectoryPart(const std::string& text) {
    return text.substr(0, LastSeparatorPos(text));
}

std::string DrivePart(const std::string& text) {
    std::size_t length = text.size();
    if (length >= 2 && text[1] == ':') return text.substr(0, 2);
    if (length >= 2 && text[0] == '\\' && text[1] == '\\') {
        // \\server\share: up to, not including, the backslash after the share.
        std::size_t i = 3, n = 0;
        while (i < length && n < 2) {
            if (At(text, i) == '\\') ++n;
            if (n < 2) ++i;
        }
        if (i <= length && At(text, i) == '\\') --i;
        return text.substr(0, i);
    }
    return std::string();
}

std::string AsciiUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}
