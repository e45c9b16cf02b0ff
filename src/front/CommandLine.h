// The command line: splitting it into arguments, reading the switches and
// the folder.
#pragma once

// Sets the switches and FolderArg. False when the usage text was asked for
// or nothing was given: it has then been shown (unless /S).
bool ParseCommandLine();
