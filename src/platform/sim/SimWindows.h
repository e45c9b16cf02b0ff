// A small simulated Windows behind platform/Platform.h, for the unit tests and
// the fuzzer. It does what the command relies on, and maps and rewrites as
// Windows does where that can hide a fault: registry texts and the command
// line are kept in UTF-16 and mapped to the ANSI code page by the A calls, key
// handles allow only what they were opened for, folder names lose their
// trailing blanks and dots. Any registry call can be refused.
//
// Tests set the machine up, run the logic, then look at what it left.
#pragma once

#include "platform/Platform.h"

#include <deque>
#include <functional>
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

// The whole machine; a fresh one is Machine{}: drive C: (the root its current
// folder), an empty registry, a pipe as standard output, input a console with
// no key, code page 1252.
struct Machine {
    // Registry: the keys ("HKCU\SUB\KEY"), the values ("HKCU\SUB\KEY\NAME"),
    // in capitals; the open handles (the roots too) -> key and access.
    std::set<std::string> RegistryKeys{"HKCU", "HKLM"};
    std::map<std::string, Value> RegistryValues;
    std::map<os::RegKey, std::pair<std::string, u32>> Handles{{os::HKeyCurrentUser, {"HKCU", ~0u}},
                                                              {os::HKeyLocalMachine, {"HKLM", ~0u}}};
    int RegCallCount = 0, WriteCount = 0; // opens, creates, queries, sets and deletes; sets and deletes
    int FailRegCallNumber = 0;            // this registry call (from 1) is refused
    int DieAfterWriteNumber = 0;          // ProcessDied is thrown after this write (from 1)
    int ChangeAfterCall = -1;             // after this call, another program does Change
    std::function<void()> Change;

    // Console and process.
    u32 StdOutType = os::FileTypePipe;    // what GetFileType says of standard output
    std::string StdOut, StdErr, ModulePath = "C:\\outils\\wayfold.exe", CommandLineA;
    int StdOutWriteCount = 0, FailStdOutWriteNumber = 0; // that write to standard output fails
    u32 LastError = 0;
    bool InputIsConsole = true;
    std::deque<char> TypeAhead, Keys;     // typed before the question (a flush drops them), and
                                          // while it waits ('\0': a mouse event)
    std::u16string CommandLine = u"wayfold";

    // File system: folders and files by full path as Canonical gives them, a drive by its root.
    std::set<std::string> Folders{"C:"}, Files, RefusedFolders; // the creation of these fails
    std::map<char, std::string> CurrentFolder;                  // per drive letter, else its root
    std::map<std::string, std::string> FolderSecurity;          // folder made -> its SDDL
    bool SecurityConversionFails = false;

    // Code pages: 1252 (OEM 850), or 932 reduced to its lead bytes, a pair
    // standing for the UTF-16 unit lead * 256 + trail.
    u32 AnsiCodePage = 1252;
};
extern Machine machine;
struct ProcessDied {};

void SetValue(const std::string& id, const Value& value); // "HKCU\SUB\KEY\NAME"
int OpenKeyCount();                       // keys opened and not closed
void AddFolder(const std::string& path);  // with its parents
std::string Canonical(std::string path);  // in capitals, without trailing '\'
std::u16string Widen(const std::string& ansi); // MultiByteToWideChar
std::string Narrow(const std::u16string& wide); // WideCharToMultiByte

} // namespace sim
