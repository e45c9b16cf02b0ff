// Shared by the fuzz targets: a fresh machine per input, the invariant check
// and the reference forms of Path list entries.
#pragma once

#include "folder/PathText.h"
#include "front/ProgramState.h"
#include "platform/sim/SimWindows.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// A broken invariant aborts, so that libFuzzer reports and keeps the input.
#define CHECK(cond)                                                                \
    ((cond) ? (void)0                                                              \
            : (std::fprintf(stderr, "invariant broken: %s (line %d)\n", #cond, __LINE__), \
               std::abort()))

// A fresh machine and process; doubleByte gives the lead bytes of code page 932.
inline void StartRun(bool doubleByte) {
    sim::Reset();
    ResetProgramState();
    if (doubleByte) {
        sim::AnsiCodePage = 932;
        sim::SetLeadByteRanges({{0x81, 0x9F}, {0xE0, 0xFC}});
    }
    ReadLeadByteSet();
}

// Every entry of a ';'-separated list, empty ones included.
inline std::vector<std::string> Entries(const std::string& list) {
    std::vector<std::string> entries;
    for (std::size_t start = 0;;) {
        std::size_t end = list.find(';', start);
        entries.push_back(list.substr(start, end - start));
        if (end == std::string::npos) return entries;
        start = end + 1;
    }
}

// What entries are compared by: trailing backslashes gone, upper-cased.
inline std::string Form(std::string s) {
    while (!s.empty() && s.back() == '\\') s.pop_back();
    os::CharUpperBuffA(s.data(), static_cast<os::u32>(s.size()));
    return s;
}
