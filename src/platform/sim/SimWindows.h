// A small simulated Windows behind platform/Platform.h, for the unit tests and
// the fuzzer. It does what the command relies on, and maps and rewrites as
// Windows does where that can hide a fault: registry texts and the command
// line are kept in UTF-16 and mapped to the ANSI code page by the A calls,
// key handles allow only what they were opened for, and folder names lose
// their trailing blanks and dots. Any registry call can be refused.
//
// Tests set the machine up here, run the logic, then look at what it left.
#pragma once

#include "platform/Platform.h"

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace sim {

using os::u32;

struct Value {
    u32 type;
    std::string data; // the bytes as stored: texts in UTF-16LE
    bool operator==(const Value& o) const { return type == o.type && data == o.data; }
};

// A fresh machine: drive C: (its root the current folder), empty registry,
// a pipe as standard output, input a console with no key, code page 1252.
void Reset();

// ---- Registry: keys are "HKCU\Sub\Key" or "HKLM\..."; names and keys compare
// without regard to case.
void SetValue(const std::string& key, const std::string& name, const Value& value);
// Every value, as "HKCU\SUB\KEY\NAME" (upper-cased) -> value.
std::map<std::string, Value> AllValues();
extern int FailRegCallNumber;     // the registry call with this number (from 1) is refused
extern bool MachineReadOnly;      // no write under HKEY_LOCAL_MACHINE, as without admin rights
extern int DieAfterWriteNumber;   // ProcessDied is thrown after this successful write
struct ProcessDied {};
extern int RegCallCount;          // opens, creates, queries, sets, deletes so far
int OpenKeyCount();               // keys opened and not yet closed

// ---- Console and process
extern u32 StdOutType;            // what GetFileType says of standard output
extern std::string StdOut, StdErr;
extern int StdOutWriteCount;
extern int FailStdOutWriteNumber; // that WriteFile (from 1) to standard output fails
extern bool InputIsConsole;
extern std::deque<char> TypeAhead; // keys typed before the question: a flush drops them
extern std::deque<char> Keys;      // keys typed while the program waits; then reads fail
                                   // ('\0': a mouse event)
extern std::u16string CommandLine;
extern std::string ModulePath;

// ---- File system: folders by full path; a drive is its root folder.
void AddFolder(const std::string& path); // with its parents
void AddFile(const std::string& path);
std::set<std::string> Folders();         // each as Canonical gives it
std::string Canonical(std::string path); // upper-cased, without trailing backslashes
extern std::map<char, std::string> CurrentFolder; // per drive letter; else the root
extern std::set<std::string> RefusedFolders;     // CreateDirectoryA of these fails
extern std::map<std::string, std::string> FolderSecurity; // created folder -> its SDDL
extern bool SecurityConversionFails;

// ---- Code pages: 1252 (OEM 850), or 932 reduced to its lead bytes, each
// two-byte character standing for the UTF-16 unit lead * 256 + trail.
extern u32 AnsiCodePage;
std::u16string Widen(const std::string& ansi);

} // namespace sim
