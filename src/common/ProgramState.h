// The program-wide state of one run: the switches read from the command
// line, the folder, the chosen Path variable and its texts.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <string>

extern bool MachineScope;            // /K: the all-users variable
extern bool RepairType;              // /R: turn REG_SZ into REG_EXPAND_SZ
extern bool Silent;                  // /S: no output, no question
extern bool ShowHelp;                // the usage text instead of the job
extern std::int32_t ExitStatus;      // starts at 1: only explicit success gives 0
extern std::string FolderArg;        // as typed, then with its trailing backslash
extern bool FolderArgAltered;        // Windows mapped some character of it to another
extern std::string CurrentPathText;  // the variable as read
extern std::string NewPathText;      // the variable as built for writing
extern os::Handle StdInHandle;       // console input for the question
extern os::RegKey RootKey;           // HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE
extern std::string ValuePath;        // sub-key \ value name of the variable
extern std::uint32_t ValueKind;      // the variable's registry type as read

// Drops the program-wide texts at the end of the run.
void ReleaseGlobals();
