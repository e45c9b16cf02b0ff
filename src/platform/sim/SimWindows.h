// A small simulated Windows behind platform/Platform.h, for what Wine cannot
// show: any registry call refused, the process killed after a write, another
// run holding the lock, the descriptor a folder is made with, a console write
// that fails, a value that grows between two queries. Where it stands in for
// Windows it does as Windows does for the texts and names those tests give it
// (ASCII): registry texts kept in UTF-16, names compared without regard to
// case, a key handle allowing only what it was opened for, another run's lock
// opened with a standard user's rights, a folder made only in one that exists,
// no console input.
#pragma once

#include "platform/Platform.h"

#include <functional>
#include <map>
#include <set>
#include <string>

namespace sim {

struct Value {
    os::u32 type;
    std::string data;  // the bytes as stored: texts in UTF-16LE
};

// The whole machine; a fresh one is Machine{}: drive C:, an empty registry,
// a file as standard output.
struct Machine {
    // Registry: the keys ("HKCU\ENVIRONMENT") and values ("HKCU\ENVIRONMENT\PATH"),
    // in capitals; the open handles (the roots too) -> key and access.
    std::set<std::string> RegistryKeys{"HKCU", "HKLM"};
    std::map<std::string, Value> Values;
    std::map<os::RegKey, std::pair<std::string, os::u32>> Handles{
        {os::HKeyCurrentUser, {"HKCU", ~0u}}, {os::HKeyLocalMachine, {"HKLM", ~0u}}};
    std::string Calls;  // a letter a call: Open, Create, Query, Set, Delete
    // Writes: sets and deletes. This call (from 1) gets this status: 5 denied, 2 not found (another
    // program deleted the value). The process is killed after this write.
    int Writes = 0, FailCall = 0, FailStatus = 5, DieAfterWrite = 0;
    // Another program lengthens the value by a zero character right after each of the first N
    // size queries.
    int Grows = 0;
    std::function<void()> Die;
    // The lock: free, held by another run, abandoned; whether this run holds it; calls made out of
    // turn.
    int Mutex = 0, OutOfTurn = 0;
    bool InTurn = false, NoDescriptor = false;  // (none can be built)

    std::string StdOut, StdErr;  // standard output a file
    int StdOutWrites = 0,
        FailStdOutWrite = 0;  // that write to standard output fails (-N: writes nothing)
    std::u16string CommandLine;
    std::set<std::string> Folders{"C:"};      // in capitals, without trailing '\'
    std::map<std::string, std::string> Made;  // folder made -> its descriptor's SDDL
    os::u32 LastError = 0;
};
extern Machine machine;

void AddKey(const std::string& id);   // with every level above it
std::string Upper(std::string text);  // as the simulated CharUpperBuffA does

}  // namespace sim
