// The one seam between wayFOLD and Windows.
//
// Every call the command makes to the operating system goes through the
// functions below. They keep the names, argument order and results of the
// ANSI Win32 calls they stand for, with plain fixed-size types instead of
// <windows.h>, so the logic reads like Win32 code. Win32Platform.cpp forwards
// them to Windows; the benchmarks link a stand-in of the few that the list
// operations reach (bench/BenchPlatform.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace os {

using u32 = std::uint32_t;
using Status = std::int32_t;    // LSTATUS of the registry calls
using Handle = std::uintptr_t;  // HANDLE
using RegKey = std::uintptr_t;  // HKEY
using wchar = char16_t;         // WCHAR: Windows keeps its texts in UTF-16

// Predefined root keys, sign-extended as <windows.h> makes them on 64 bits.
constexpr RegKey HKeyCurrentUser = RegKey(0xFFFFFFFF80000001ull);
constexpr RegKey HKeyLocalMachine = RegKey(0xFFFFFFFF80000002ull);

constexpr Status ErrorSuccess = 0;
constexpr Status ErrorFileNotFound = 2;
constexpr Status ErrorMoreData = 234;
constexpr u32 ErrorAlreadyExists = 183;
constexpr u32 RegSz = 1;
constexpr u32 RegExpandSz = 2;
constexpr u32 KeyRead = 0x20019;
constexpr u32 KeyWrite = 0x20006;

constexpr u32 StdInputHandle = u32(-10);
constexpr u32 StdOutputHandle = u32(-11);
constexpr u32 StdErrorHandle = u32(-12);

constexpr u32 FileTypeUnknown = 0;
constexpr u32 FileTypeDisk = 1;
constexpr u32 FileTypeChar = 2;
constexpr u32 FileTypePipe = 3;

constexpr u32 InvalidFileAttributes = 0xFFFFFFFFu;
constexpr u32 FileAttributeDirectory = 0x10;
constexpr u32 FileAttributeReparsePoint = 0x400;  // a link, or another kind of reparse point
constexpr Handle InvalidHandleValue = Handle(-1);
constexpr u32 FileShareAll = 7;  // read, write and delete
constexpr u32 OpenExisting = 3;
constexpr u32 FileFlagBackupSemantics = 0x02000000;  // lets a folder be opened

constexpr std::uint16_t KeyEvent = 1;
constexpr u32 CpAcp = 0;
constexpr u32 SddlRevision1 = 1;
constexpr u32 WaitObject0 = 0, WaitAbandoned = 0x80;
constexpr u32 ErrorInsufficientBuffer = 122;
constexpr u32 OwnerSecurityInformation = 1;
constexpr u32 DaclSecurityInformation = 4;
constexpr u32 TokenQuery = 8;
constexpr u32 TokenUserClass = 1;      // TokenUser: a TOKEN_USER, its SID behind it
constexpr u32 FilePersistentAcls = 8;  // the volume keeps each file's security

// The part of an INPUT_RECORD that the confirmation question looks at.
struct InputRecord {
    std::uint16_t EventType;
    bool KeyDown;    // of a key event: pressed, not released
    char AsciiChar;  // of a key event
};

// The part of a CPINFO that tells the lead bytes of a code page.
struct CpInfo {
    u32 MaxCharSize;
    unsigned char LeadByte[12];  // pairs of inclusive ranges, ended by 0, 0
};

// The part of a WIN32_FIND_DATAW that the check of a folder's files looks at.
struct FindData {
    u32 FileAttributes;
    std::u16string FileName;
};

// The part of a SECURITY_ATTRIBUTES that a folder or mutex creation passes on.
struct SecurityAttributes {
    void* SecurityDescriptor;
};

// Registry (advapi32)
Status RegCreateKeyExA(RegKey key, const char* subKey, u32 reserved, char* keyClass, u32 options,
                       u32 access, void* security, RegKey* result, u32* disposition);
Status RegOpenKeyExA(RegKey key, const char* subKey, u32 options, u32 access, RegKey* result);
Status RegQueryValueExW(RegKey key, const wchar* valueName, u32* reserved, u32* type,
                        unsigned char* data, u32* size);
Status RegSetValueExA(RegKey key, const char* valueName, u32 reserved, u32 type,
                      const unsigned char* data, u32 size);
Status RegDeleteValueA(RegKey key, const char* valueName);
Status RegCloseKey(RegKey key);

// Console and standard handles (kernel32)
Handle GetStdHandle(u32 which);
u32 GetFileType(Handle file);
bool WriteFile(Handle file, const void* data, u32 size, u32* written);
bool FlushConsoleInputBuffer(Handle input);
bool ReadConsoleInputA(Handle input, InputRecord* records, u32 length, u32* read);
u32 GetLastError();

// Text in the ANSI code page (user32)
bool CharToOemBuffA(const char* source, char* target, u32 length);
u32 CharUpperBuffA(char* text, u32 length);
// Texts between the ANSI code page and UTF-16, as the ANSI calls convert
// them: a character the code page lacks becomes another one (best fit, '?').
std::u16string ToWide(const std::string& text);
std::string ToAnsi(const std::u16string& wide);

// Process
const wchar* GetCommandLineW();
u32 GetModuleFileNameA(void* module, char* name, u32 size);

// File system (kernel32)
u32 GetFileAttributesA(const char* path);
bool CreateDirectoryA(const char* path, SecurityAttributes* security);
u32 GetFullPathNameW(const wchar* path, u32 size, wchar* buffer, wchar** filePart);
// Opening a link reaches what it leads to, whose name Windows then gives
// with every link followed (\\?\C:\..., \\?\UNC\server\share\...).
Handle CreateFileA(const char* path, u32 access, u32 share, SecurityAttributes* security,
                   u32 disposition, u32 flags, Handle templateFile);
u32 GetFinalPathNameByHandleW(Handle file, wchar* path, u32 size, u32 flags);
// What a folder holds, "." and ".." included.
Handle FindFirstFileW(const wchar* pattern, FindData* found);
bool FindNextFileW(Handle find, FindData* found);
bool FindClose(Handle find);

// Security descriptors (advapi32); LocalFree frees the converted one (kernel32)
bool ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, u32 revision,
                                                          void** descriptor, u32* size);
void* LocalFree(void* memory);
// Self-relative descriptors, as stored: of a file or folder, and of a kernel
// object such as a mutex.
bool GetFileSecurityA(const char* path, u32 information, void* descriptor, u32 length, u32* needed);
bool GetKernelObjectSecurity(Handle object, u32 information, void* descriptor, u32 length,
                             u32* needed);
// The user the process runs as (advapi32).
Handle GetCurrentProcess();
bool OpenProcessToken(Handle process, u32 access, Handle* token);
bool GetTokenInformation(Handle token, u32 informationClass, void* information, u32 length,
                         u32* returned);
// The flags of the volume whose root is given (C:\, \\server\share\).
bool GetVolumeInformationA(const char* root, char* name, u32 nameSize, u32* serial,
                           u32* longestName, u32* flags, char* fileSystem, u32 fileSystemSize);

// A mutex shared by every process of the machine (kernel32)
// Created, or opened with the access asked for: CreateMutexW would ask all
// access of a mutex that exists, which its descriptor may refuse.
Handle CreateMutexExW(SecurityAttributes* security, const wchar* name, u32 access);
u32 WaitForSingleObject(Handle object, u32 milliseconds);
bool ReleaseMutex(Handle mutex);
bool CloseHandle(Handle object);

// Code pages (kernel32)
bool GetCPInfo(u32 codePage, CpInfo* info);

}  // namespace os
