// The command line: splitting it into arguments, reading the switches and
// the folder, and the usage text.
#pragma once

#include <string>
#include <vector>

// Arguments 0 (the command's name) to N of a raw command line. Quotes may
// stand anywhere and are dropped; a backslash never escapes anything.
std::vector<std::string> SplitCommandLine(const char* line);

// Sets the switches and FolderArg. False when the usage text was asked for
// or nothing was given: it has then been shown (unless /S).
bool ParseCommandLine();
void ShowUsage();
