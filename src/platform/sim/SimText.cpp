// Code-page behaviour of a French Windows: ANSI 1252 upper-casing, the ANSI to
// OEM 850 conversion (as Wine's tables give it), and a configurable lead-byte
// set for double-byte code pages.
#include "platform/sim/SimWindows.h"

#include <cstring>

namespace sim {

u32 AnsiCodePage = 1252;

namespace {

// Bytes 128 to 255 of Windows-1252 as code page 850 shows them.
const unsigned char kAnsiToOem850[128] = {
    63,  63,  39,  159, 34,  46,  197, 206, 94,  37,  83,  60,  79,  63,  90,  63,
    63,  39,  39,  34,  34,  7,   45,  45,  126, 84,  115, 62,  111, 63,  122, 89,
    255, 173, 189, 156, 207, 190, 221, 245, 249, 184, 166, 174, 170, 240, 169, 238,
    248, 241, 253, 252, 239, 230, 244, 250, 247, 251, 167, 175, 172, 171, 243, 168,
    183, 181, 182, 199, 142, 143, 146, 128, 212, 144, 210, 211, 222, 214, 215, 216,
    209, 165, 227, 224, 226, 229, 153, 158, 157, 235, 233, 234, 154, 237, 232, 225,
    133, 160, 131, 198, 132, 134, 145, 135, 138, 130, 136, 137, 141, 161, 140, 139,
    208, 164, 149, 162, 147, 228, 148, 246, 155, 151, 163, 150, 129, 236, 231, 152};

bool leadBytes[256];

unsigned char UpperAnsi(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    switch (c) {
    case 0x9A: return 0x8A; // š
    case 0x9C: return 0x8C; // œ
    case 0x9E: return 0x8E; // ž
    case 0xFF: return 0x9F; // ÿ
    default: return c;
    }
}

unsigned char ToOem(unsigned char c) { return c < 128 ? c : kAnsiToOem850[c - 128]; }

} // namespace

void SetLeadByteRanges(const std::vector<std::pair<unsigned char, unsigned char>>& ranges) {
    std::memset(leadBytes, 0, sizeof leadBytes);
    for (auto [first, last] : ranges)
        for (int b = first; b <= last; ++b) leadBytes[b] = true;
}

bool IsLeadByte(unsigned char byte) { return leadBytes[byte]; }

} // namespace sim

namespace os {

bool CharToOemBuffA(const char* source, char* target, u32 length) {
    for (u32 i = 0; i < length; ++i)
        target[i] = static_cast<char>(sim::ToOem(static_cast<unsigned char>(source[i])));
    return true;
}

bool CharToOemA(const char* source, char* target) {
    return CharToOemBuffA(source, target, static_cast<u32>(std::strlen(source)) + 1);
}

u32 CharUpperBuffA(char* text, u32 length) {
    for (u32 i = 0; i < length; ++i)
        text[i] = static_cast<char>(sim::UpperAnsi(static_cast<unsigned char>(text[i])));
    return length;
}

const char* CharNextA(const char* position) {
    if (*position == '\0') return position;
    if (sim::IsLeadByte(static_cast<unsigned char>(*position)) && position[1] != '\0')
        return position + 2;
    return position + 1;
}

u32 GetThreadLocale() { return 0x040C; }

int GetLocaleInfoA(u32, u32 type, char* data, int size) {
    if (type != LocaleIDefaultAnsiCodePage) return 0;
    std::string cp = std::to_string(sim::AnsiCodePage);
    if (size < static_cast<int>(cp.size()) + 1) return 0;
    std::memcpy(data, cp.c_str(), cp.size() + 1);
    return static_cast<int>(cp.size()) + 1;
}

u32 GetACP() { return sim::AnsiCodePage; }

bool GetCPInfo(u32, CpInfo* info) {
    *info = CpInfo{};
    int n = 0;
    for (int b = 0; b < 256 && n < 10;) {
        if (!sim::leadBytes[b]) { ++b; continue; }
        int first = b;
        while (b < 256 && sim::leadBytes[b]) ++b;
        info->LeadByte[n++] = static_cast<unsigned char>(first);
        info->LeadByte[n++] = static_cast<unsigned char>(b - 1);
    }
    info->MaxCharSize = n ? 2 : 1;
    return true;
}

} // namespace os
