// The transcripts of tests/transcripts in the plain form that
// tests/transcript.py writes for the simulation: a word and its arguments a
// line, texts in hex.
#pragma once

#include "platform/sim/SimWindows.h"

#include <string>
#include <vector>

namespace transcript {

using Words = std::vector<std::string>;

struct Variant {
    std::string fault; // "plain", "refuse" or "dies"
    int from, to;
    bool silent;          // /S added
    std::string outcome;  // what the run prints and leaves, as Outcome writes it
};

struct Run {
    std::string where; // file:line
    std::vector<Words> setUp;
    std::vector<Variant> variants;
};

std::vector<Run> Parse(const std::string& text);

// A fresh simulated machine set up for the run (with /S added when silent);
// refuse, dies: the registry call to refuse, the write to die after (0: none).
void Arrange(const Run& run, bool silent, int refuse, int dies);

std::string Bytes(const std::string& hex);
// The id in sim::AllValues of a value in u or m, the user's or all users' Environment key.
std::string ValueId(const std::string& scope, const std::string& name);

} // namespace transcript
