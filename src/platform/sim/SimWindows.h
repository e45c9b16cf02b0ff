// A small simulated Windows behind platform/Platform.h, for the native unit
// tests and the fuzzers: an in-memory registry whose calls can be refused,
// captured standard output and error, scripted console keys, in-memory drives
// and folders, and the Windows-1252 / OEM 850 tables of a French system.
//
// Tests set the machine up through this namespace, run the logic, then look
// at what it left behind. sim::Reset() gives a fresh machine.
#pragma once

#include "platform/Platform.h"

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace sim {

using os::u32;

struct Value {
    u32 type;
    std::string data; // raw bytes as stored
    bool operator==(const Value& o) const { return type == o.type && data == o.data; }
};

// A fresh machine: drive C: with its root folder, empty registry roots, a
// pipe as standard output, no console keys, code page 1252 without lead bytes.
void Reset();

// ---- Registry -------------------------------------------------------------
// Keys are named by root and sub-key ("Environment", "A\\B"); names are
// compared without regard to letter case, as Windows does.
void SetValue(os::RegKey root, const std::string& subKey, const std::string& name,
              u32 type, const std::string& data);
std::optional<Value> GetValue(os::RegKey root, const std::string& subKey,
                              const std::string& name);
void AddKey(os::RegKey root, const std::string& subKey);
bool KeyExists(os::RegKey root, const std::string& subKey);
// Every value of the registry, as "ROOT\\sub\\key\\name" -> value.
std::map<std::string, Value> AllValues();

// Each registry call (open, create, query, set, delete; not close) gets the
// next number from 1. The call with this number fails with access denied.
extern int FailRegCallNumber;
// Writes under this root (create or write-open of a key) are refused, as for a
// user without administrator rights on HKEY_LOCAL_MACHINE.
extern std::optional<os::RegKey> ReadOnlyRoot;
// Every registry call as text, in order, e.g.
//   RegOpenKeyExA(HKCU, "Environment", 0, 0x20019) -> #1
// and the number of registry calls made so far.
extern std::vector<std::string> RegLog;
extern int RegCallCount;
int OpenKeyCount(); // keys opened and not yet closed

// Thrown right after the successful registry write (set or delete) with this
// number (from 1): the process dies there.
extern int DieAfterWriteNumber;
struct ProcessDied {};

// ---- Console ---------------------------------------------------------------
extern u32 StdOutType;               // what GetFileType says of standard output
extern std::vector<std::string> StdOutWrites; // each WriteFile to standard output
extern int FailStdOutWriteNumber;    // that WriteFile (from 1) fails
std::string StdOut();                // all of standard output
extern std::string StdErr;
// Keys typed before the question is asked: read before Keys unless
// FlushConsoleInputBuffer drops them first.
extern std::deque<os::InputRecord> TypeAhead;
// Records typed while the program waits: each ReadConsoleInputA takes the
// next one. When none is left, or InputIsConsole is false, the read fails.
extern std::deque<os::InputRecord> Keys;
extern bool InputIsConsole;
extern int ReadConsoleCount;
void TypeKeys(const std::string& chars); // one key event per char, into Keys

// ---- Process -----------------------------------------------------------------
extern std::string CommandLine;
extern std::string ModulePath;

// ---- File system -------------------------------------------------------------
void AddDrive(char letter);          // the drive and its root folder
void AddFolder(const std::string& path);
void AddFile(const std::string& path);
bool FolderExists(const std::string& path);
extern std::vector<std::string> CreatedFolders; // each successful CreateDirectoryA
extern std::set<std::string> RefusedFolders;    // CreateDirectoryA of these fails

// ---- Code pages --------------------------------------------------------------
extern u32 AnsiCodePage;
void SetLeadByteRanges(const std::vector<std::pair<unsigned char, unsigned char>>& ranges);
bool IsLeadByte(unsigned char byte);

} // namespace sim
