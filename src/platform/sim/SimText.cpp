// Code pages: ANSI 1252 (its letters of 128 to 159 left out) with its
// upper-casing and its OEM 850 form (as Wine's tables give them), or 932
// reduced to its lead bytes; UTF-16.
#include "platform/sim/SimWindows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

// Bytes 128 to 255 of Windows-1252 as code page 850 shows them.
const unsigned char kAnsiToOem850[128] = {
#include "platform/sim/AnsiToOem850.inc"
};

// A few of the near letters Windows gives for characters 1252 lacks; the rest become '?'.
const char16_t kBestFit[][2] = {{0x0141, 'L'}, {0x0142, 'l'}, {0x0151, 'o'}, {0x03A9, 'O'}};

bool IsLead(unsigned char b) {
    return machine.AnsiCodePage == 932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}

std::string ToAnsi(char16_t c) {
    if (c <= 0xFF) return std::string(1, char(c));
    if (IsLead(c >> 8)) return {char(c >> 8), char(c)}; // a pair of 932
    for (const auto& fit : kBestFit)
        if (fit[0] == c && machine.AnsiCodePage == 1252) return std::string(1, char(fit[1]));
    return "?";
}

// Both conversions: the size asked for, or the text into the caller's buffer.
template <typename Text>
int Deliver(const Text& converted, typename Text::value_type* out, int capacity) {
    const int n = static_cast<int>(converted.size());
    if (capacity > 0 && capacity >= n)
        std::memcpy(out, converted.data(), n * sizeof(typename Text::value_type));
    return capacity == 0 || capacity >= n ? n : 0;
}

} // namespace

std::string Narrow(const std::u16string& wide) {
    std::string ansi;
    for (char16_t c : wide) ansi += ToAnsi(c);
    return ansi;
}

std::u16string Widen(const std::string& ansi) {
    std::u16string wide;
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        const unsigned char b = ansi[i];
        const bool pair = IsLead(b) && i + 1 < ansi.size();
        wide += pair ? char16_t(b << 8 | static_cast<unsigned char>(ansi[++i])) : char16_t(b);
    }
    return wide;
}

} // namespace sim

namespace os {

int MultiByteToWideChar(u32, u32, const char* text, int length, wchar* wide, int wideLength) {
    return sim::Deliver(sim::Widen(std::string(text, length)), wide, wideLength);
}

int WideCharToMultiByte(u32, u32, const wchar* wide, int length, char* text, int textLength, const char*,
                        bool*) {
    return sim::Deliver(sim::Narrow(std::u16string(wide, length)), text, textLength);
}

bool CharToOemBuffA(const char* source, char* target, u32 length) {
    std::transform(source, source + length, target, [](unsigned char c) {
        return char(c < 128 || sim::machine.AnsiCodePage == 932 ? c : sim::kAnsiToOem850[c - 128]);
    });
    return true;
}

bool CharToOemA(const char* source, char* target) {
    return CharToOemBuffA(source, target, static_cast<u32>(std::strlen(source)) + 1);
}

// The user's locale: accented letters too, never the second byte of a pair.
u32 CharUpperBuffA(char* text, u32 length) {
    for (u32 i = 0; i < length; ++i) {
        unsigned char& c = reinterpret_cast<unsigned char&>(text[i]);
        if (sim::IsLead(c)) ++i;
        else if ((c >= 'a' && c <= 'z') || (sim::machine.AnsiCodePage == 1252 && c >= 0xE0 && c != 0xF7 &&
                                             c != 0xFF))
            c -= 32;
    }
    return length;
}

const char* CharNextA(const char* p) { return *p ? p + (sim::IsLead(*p) && p[1] ? 2 : 1) : p; }

u32 GetThreadLocale() { return 0x040C; }

int GetLocaleInfoA(u32, u32 type, char* data, int size) {
    const int n = std::snprintf(data, size, "%u", sim::machine.AnsiCodePage) + 1;
    return type == LocaleIDefaultAnsiCodePage && n <= size ? n : 0;
}

u32 GetACP() { return sim::machine.AnsiCodePage; }

bool GetCPInfo(u32, CpInfo* info) {
    *info = sim::machine.AnsiCodePage == 932 ? CpInfo{2, {0x81, 0x9F, 0xE0, 0xFC}} : CpInfo{1, {}};
    return true;
}

} // namespace os
