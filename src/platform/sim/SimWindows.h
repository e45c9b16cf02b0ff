// A small simulated Windows behind platform/Platform.h, for the unit tests and
// the fuzzer. It does what the command relies on, and maps and rewrites as
// Windows does where that can hide a fault: registry texts and the command
// line are kept in UTF-16 and mapped to the ANSI code page by the A calls, key
// handles allow only what they were opened for, folder names lose their
// trailing blanks and dots. Any registry call can be refused.
//
// Tests set the machine up here, run the logic, then look at what it left.
#pragma once

#include "platform/Platform.h"

#include <deque>
#include <map>
#include <set>
#include <string>

namespace sim {

using os::u32;

struct Value {
    u32 type;
    std::string data; // the bytes as stored: texts in UTF-16LE
    bool operator==(const Value& o) const { return type == o.type && data == o.data; }
};

// A fresh machine: drive C: (the root its current folder), an empty registry,
// a pipe as standard output, input a console with no key, code page 1252.
void Reset();

// Registry. Keys are "HKCU\Sub\Key" or "HKLM\..."; names are compared in capitals.
void SetValue(const std::string& key, const std::string& name, const Value& value);
std::map<std::string, Value> AllValues(); // "HKCU\SUB\KEY\NAME" -> value
extern int FailRegCallNumber;   // the registry call with this number (from 1) is refused
extern int DieAfterWriteNumber; // ProcessDied is thrown after this successful write
struct ProcessDied {};
extern bool MachineReadOnly;    // HKEY_LOCAL_MACHINE cannot be written, as without admin rights
extern int RegCallCount;        // opens, creates, queries, sets and deletes so far
int OpenKeyCount();             // keys opened and not closed

// Console and process.
extern u32 StdOutType;                 // what GetFileType says of standard output
extern std::string StdOut, StdErr, ModulePath;
extern int StdOutWriteCount, FailStdOutWriteNumber; // that write to standard output fails
extern bool InputIsConsole;
extern std::deque<char> TypeAhead, Keys; // typed before the question (a flush drops
                                         // them), and while it waits ('\0': a mouse event)
extern std::u16string CommandLine;

// File system: folders by full path, a drive by its root.
void AddFolder(const std::string& path); // with its parents
void AddFile(const std::string& path);
std::string Canonical(std::string path); // as the sets hold it: in capitals, no trailing '\'
std::set<std::string> Folders();
extern std::map<char, std::string> CurrentFolder;         // per drive letter, else its root
extern std::set<std::string> RefusedFolders;              // their creation fails
extern std::map<std::string, std::string> FolderSecurity; // folder made -> its SDDL
extern bool SecurityConversionFails;

// Code pages: 1252 (OEM 850), or 932 reduced to its lead bytes, a pair
// standing for the UTF-16 unit lead * 256 + trail.
extern u32 AnsiCodePage;
std::u16string Widen(const std::string& ansi);

} // namespace sim
