// Transcripts: runs of wayfold written down as the machine before, the
// command line, and what the run prints and leaves behind. The unit tests
// replay them on the simulated Windows, the end-to-end tests (e2e/run.py) on
// wayfold.exe under Wine, the fuzzer mutates their set-up part.
//
// A transcript file holds runs separated by blank lines; '#' starts a comment.
// A run: set-up lines, "$ " and the command line, expected lines.
//   user|machine NAME TYPE VALUE   a value of the current user's Environment
//                  key, or of the all-users one. TYPE: SZ EXPAND MULTI BINARY
//                  or a number. VALUE: "text" (stored in UTF-16, with its
//                  terminating zero), hex:bytes (stored as given), or - (none;
//                  expected lines only)
//   drive D | folder PATH | file PATH | cwd PATH (current folder of its drive)
//   keys TEXT      standard input is a console, and TEXT is typed at it
//   also /S        the run is replayed with /S added: nothing printed, the
//                  rest the same
//   simulated only: codepage 932, readonly (HKLM), stdout file|console|none,
//     failwrite N (that write to standard output fails), refused PATH (its
//     creation fails), nosddl (no security descriptor can be built),
//     typeahead TEXT (typed before the question), module PATH (of the exe)
// Expected: "| TEXT" a line of standard output (the question and its echo are
// one line), "err TEXT" a line of standard error ('@' for the address), "exit
// N", "writes N" (simulated only: WriteFile calls to standard output), user|machine lines (values not named are unchanged), "made PATH [SDDL]"
// a folder there afterwards and not before (created with that descriptor).
// Variants follow, each with its own expected lines: "@refuse A-B" (each of
// these registry calls refused in turn; together they cover every call of
// the run), "@dies N" (the process killed after that registry write).
// In a TEXT, {XX} is the byte XX: in the ANSI code page on the command line,
// in keys and values; as printed in output lines, whose characters are in
// the console's OEM code page.
#pragma once

#include "platform/sim/SimWindows.h"

#include <optional>
#include <string>
#include <vector>

namespace transcript {

struct Line {
    int number;
    std::string word, rest; // "user", "Path EXPAND ..."
};

struct Variant {
    std::string fault; // "", "refuse" or "dies"
    int from = 0, to = 0;
    std::vector<Line> expected;
};

struct Run {
    int line = 0;
    std::vector<Line> setUp;
    std::string command;           // after "$ "
    std::vector<Variant> variants; // the plain run first
};

std::vector<Run> Parse(const std::string& text);

// A fresh simulated machine set up for the run, its command line in place;
// refuse, dies: the registry call to refuse, the write to die after.
void Arrange(const Run& run, const std::string& extraArgs = "", int refuse = 0, int dies = 0);

// A field: its characters in UTF-16, in the ANSI code page, or as printed
// (the program's messages reach the console in its OEM code page).
std::u16string Wide(const std::string& field);
std::string Ansi(const std::string& field);
std::string Printed(const std::string& field);
// user|machine and "Path EXPAND "a"": the value's id, as sim::AllValues names
// it, and the value (none for "-").
std::pair<std::string, std::optional<sim::Value>> ParseValue(const std::string& scope,
                                                            std::string rest);

} // namespace transcript
