// A small simulated Windows behind platform/Platform.h, for what Wine cannot
// show: any registry call refused, the process killed after a write, another
// program changing the Path or holding the lock, the descriptor a folder is
// made with, a folder another run makes at the same moment, a failing
// console. Where it stands in for Windows it does as Windows does, for the
// texts and names the tests use (code page 1252, OEM 850): registry texts
// kept in UTF-16, names compared without regard to case, a key handle
// allowing only what it was opened for.
//
// A test sets the machine up, runs the logic, then looks at what it left.
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
};

// The whole machine; a fresh one is Machine{}: drive C:, an empty registry,
// a pipe as standard output, no console input.
struct Machine {
    // Registry: the keys ("HKCU\ENVIRONMENT") and values ("HKCU\ENVIRONMENT\PATH"),
    // in capitals; the open handles (the roots too) -> key and access.
    std::set<std::string> RegistryKeys{"HKCU", "HKLM"};
    std::map<std::string, Value> RegistryValues;
    std::map<os::RegKey, std::pair<std::string, u32>> Handles{{os::HKeyCurrentUser, {"HKCU", ~0u}},
                                                              {os::HKeyLocalMachine, {"HKLM", ~0u}}};
    std::string Calls;                 // a letter a call: Open, Create, Query, Set, Delete
    int Writes = 0;                    // sets and deletes
    int FailCall = 0;                  // this call (from 1) is refused with FailStatus
    os::Status FailStatus = 5;         // denied; not found: another program just deleted the value
    int DieAfterWrite = 0;             // the process is killed after this write (from 1)
    int ChangeAfterCall = -1;          // after this call, another program does Change
    std::function<void()> Die, Change;

    // The lock: free (0), held by another run (1), left by a run that died (2).
    int MutexState = 0;
    bool MutexOwned = false;
    int LockViolations = 0;            // registry calls out of turn, questions in turn

    // Console and process.
    u32 StdOutType = os::FileTypePipe; // what GetFileType says of standard output
    std::string StdOut, StdErr, ModulePath = "C:\\outils\\wayfold.exe";
    int StdOutWrites = 0, FailStdOutWrite = 0; // that write fails (-N: "succeeds", writing nothing)
    u32 LastError = 0;
    std::deque<char> Keys;             // key presses; none: input is not a console
    std::u16string CommandLine = u"wayfold";

    // File system: folders and files by Canonical name, a drive by its letter and ':'.
    std::set<std::string> Folders{"C:"}, Files,
        Refused,                       // their creation is denied
        Raced;                         // another run makes them just before this one
    std::map<char, std::string> CurrentFolder; // per drive letter, else its root
    std::map<std::string, std::string> FolderSecurity; // folder made -> its SDDL
    bool SecurityConversionFails = false;
};
extern Machine machine;

void SetValue(const std::string& id, const Value& value); // "HKCU\ENVIRONMENT\PATH"
int OpenKeyCount();                       // keys opened and not closed
void AddFolder(const std::string& path);  // with its parents
std::string Canonical(std::string path);  // in capitals, without trailing '\'
std::u16string Widen(const std::string& ansi);

} // namespace sim
