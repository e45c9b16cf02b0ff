// The seam's real side: each call forwards to Windows, converting only the
// handle and integer types.
#include "platform/Platform.h"

#include <windows.h>
// Declared with the types of <windows.h>.
#include <sddl.h>

// The calls whose answers the tests may choose where Wine cannot give
// Windows' own (a refused call, a folder's owner and DACL, a kill after a
// write), or that they watch, go through this table. In the program it holds
// Windows' own; the test build (tests/fault) fills it with calls of its own.
#ifdef WAYFOLD_FAULTS
#include "Faults.h"
#else
namespace win {
using ::ConvertStringSecurityDescriptorToSecurityDescriptorA;
using ::CreateDirectoryA;
using ::CreateFileA;
using ::CreateMutexExW;
using ::GetFileAttributesA;
using ::GetFileSecurityA;
using ::GetVolumeInformationA;
using ::RegCreateKeyExA;
using ::RegDeleteValueA;
using ::RegOpenKeyExA;
using ::RegQueryValueExW;
using ::RegSetValueExA;
using ::ReleaseMutex;
}  // namespace win
#endif

namespace os {

namespace {
HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
HANDLE ToHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
// Null for none, as Windows takes it.
SECURITY_ATTRIBUTES* ToAttributes(SecurityAttributes* security, SECURITY_ATTRIBUTES& attributes) {
    attributes = {sizeof attributes, security ? security->SecurityDescriptor : nullptr, FALSE};
    return security ? &attributes : nullptr;
}
}  // namespace

Status RegCreateKeyExA(RegKey key, const char* subKey, u32 reserved, char* keyClass, u32 options,
                       u32 access, void* security, RegKey* result, u32* disposition) {
    HKEY opened = nullptr;
    DWORD how = 0;
    LSTATUS status =
        win::RegCreateKeyExA(ToHkey(key), subKey, reserved, keyClass, options, access,
                             static_cast<LPSECURITY_ATTRIBUTES>(security), &opened, &how);
    if (result) *result = reinterpret_cast<RegKey>(opened);
    if (disposition) *disposition = how;
    return status;
}

Status RegOpenKeyExA(RegKey key, const char* subKey, u32 options, u32 access, RegKey* result) {
    HKEY opened = nullptr;
    LSTATUS status = win::RegOpenKeyExA(ToHkey(key), subKey, options, access, &opened);
    if (result) *result = reinterpret_cast<RegKey>(opened);
    return status;
}

// DWORD and u32 are distinct types, so type and size go through copies.
Status RegQueryValueExW(RegKey key, const wchar* valueName, u32* reserved, u32* type,
                        unsigned char* data, u32* size) {
    DWORD valueType = 0;
    DWORD valueSize = size ? *size : 0;
    LSTATUS status = win::RegQueryValueExW(
        ToHkey(key), reinterpret_cast<LPCWSTR>(valueName), reinterpret_cast<LPDWORD>(reserved),
        type ? &valueType : nullptr, data, size ? &valueSize : nullptr);
    if (type) *type = valueType;
    if (size) *size = valueSize;
    return status;
}

Status RegSetValueExA(RegKey key, const char* valueName, u32 reserved, u32 type,
                      const unsigned char* data, u32 size) {
    return win::RegSetValueExA(ToHkey(key), valueName, reserved, type, data, size);
}

Status RegDeleteValueA(RegKey key, const char* valueName) {
    return win::RegDeleteValueA(ToHkey(key), valueName);
}

Status RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

Handle GetStdHandle(u32 which) { return reinterpret_cast<Handle>(::GetStdHandle(which)); }

u32 GetFileType(Handle file) { return ::GetFileType(ToHandle(file)); }

bool WriteFile(Handle file, const void* data, u32 size, u32* written) {
    DWORD done = 0;
    BOOL ok = ::WriteFile(ToHandle(file), data, size, &done, nullptr);
    if (written) *written = done;
    return ok != FALSE;
}

bool FlushConsoleInputBuffer(Handle input) {
    return ::FlushConsoleInputBuffer(ToHandle(input)) != FALSE;
}

bool ReadConsoleInputA(Handle input, InputRecord* records, u32 length, u32* read) {
    // One record at a time is all the question ever asks for.
    if (length == 0) return false;
    INPUT_RECORD record{};
    DWORD count = 0;
    BOOL ok = ::ReadConsoleInputA(ToHandle(input), &record, 1, &count);
    if (read) *read = count;
    if (!ok || count == 0) return ok != FALSE;
    const bool key = record.EventType == KEY_EVENT;
    records[0].EventType = record.EventType;
    records[0].KeyDown = key && record.Event.KeyEvent.bKeyDown;
    records[0].AsciiChar = key ? record.Event.KeyEvent.uChar.AsciiChar : '\0';
    return true;
}

u32 GetLastError() { return ::GetLastError(); }

bool CharToOemBuffA(const char* source, char* target, u32 length) {
    return ::CharToOemBuffA(source, target, length) != FALSE;
}

u32 CharUpperBuffA(char* text, u32 length) { return ::CharUpperBuffA(text, length); }

std::u16string ToWide(const std::string& text) {
    const int length = static_cast<int>(text.size());
    std::u16string wide(
        text.empty() ? 0 : ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0),
        u'\0');
    if (!wide.empty())
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<LPWSTR>(wide.data()),
                              static_cast<int>(wide.size()));
    return wide;
}

std::string ToAnsi(const std::u16string& wide) {
    const int length = static_cast<int>(wide.size());
    const LPCWSTR text = reinterpret_cast<LPCWSTR>(wide.data());
    std::string ansi(
        wide.empty() ? 0
                     : ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr),
        '\0');
    if (!ansi.empty())
        ::WideCharToMultiByte(CP_ACP, 0, text, length, ansi.data(), static_cast<int>(ansi.size()),
                              nullptr, nullptr);
    return ansi;
}

const wchar* GetCommandLineW() { return reinterpret_cast<const wchar*>(::GetCommandLineW()); }

u32 GetModuleFileNameA(void* module, char* name, u32 size) {
    return ::GetModuleFileNameA(static_cast<HMODULE>(module), name, size);
}

u32 GetFileAttributesA(const char* path) { return win::GetFileAttributesA(path); }

bool CreateDirectoryA(const char* path, SecurityAttributes* security) {
    SECURITY_ATTRIBUTES attributes;
    return win::CreateDirectoryA(path, ToAttributes(security, attributes)) != FALSE;
}

bool ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, u32 revision,
                                                          void** descriptor, u32* size) {
    PSECURITY_DESCRIPTOR made = nullptr;
    ULONG length = 0;
    BOOL ok =
        win::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, revision, &made, &length);
    *descriptor = ok ? made : nullptr;
    if (size) *size = ok ? length : 0;
    return ok != FALSE;
}

void* LocalFree(void* memory) { return ::LocalFree(memory); }

bool GetFileSecurityA(const char* path, u32 information, void* descriptor, u32 length,
                      u32* needed) {
    DWORD size = 0;
    const BOOL ok = win::GetFileSecurityA(path, information, descriptor, length, &size);
    if (needed) *needed = size;
    return ok != FALSE;
}

bool GetKernelObjectSecurity(Handle object, u32 information, void* descriptor, u32 length,
                             u32* needed) {
    DWORD size = 0;
    const BOOL ok =
        ::GetKernelObjectSecurity(ToHandle(object), information, descriptor, length, &size);
    if (needed) *needed = size;
    return ok != FALSE;
}

Handle GetCurrentProcess() { return reinterpret_cast<Handle>(::GetCurrentProcess()); }

bool OpenProcessToken(Handle process, u32 access, Handle* token) {
    HANDLE opened = nullptr;
    const BOOL ok = ::OpenProcessToken(ToHandle(process), access, &opened);
    *token = reinterpret_cast<Handle>(opened);
    return ok != FALSE;
}

bool GetTokenInformation(Handle token, u32 informationClass, void* information, u32 length,
                         u32* returned) {
    DWORD size = 0;
    const BOOL ok = ::GetTokenInformation(ToHandle(token),
                                          static_cast<TOKEN_INFORMATION_CLASS>(informationClass),
                                          information, length, &size);
    if (returned) *returned = size;
    return ok != FALSE;
}

bool GetVolumeInformationA(const char* root, char* name, u32 nameSize, u32* serial,
                           u32* longestName, u32* flags, char* fileSystem, u32 fileSystemSize) {
    DWORD serialNumber = 0, longest = 0, found = 0;
    const BOOL ok = win::GetVolumeInformationA(root, name, nameSize, &serialNumber, &longest,
                                               &found, fileSystem, fileSystemSize);
    if (serial) *serial = serialNumber;
    if (longestName) *longestName = longest;
    if (flags) *flags = found;
    return ok != FALSE;
}

u32 GetFullPathNameW(const wchar* path, u32 size, wchar* buffer, wchar** filePart) {
    return ::GetFullPathNameW(reinterpret_cast<LPCWSTR>(path), size,
                              reinterpret_cast<LPWSTR>(buffer),
                              reinterpret_cast<LPWSTR*>(filePart));
}

Handle CreateFileA(const char* path, u32 access, u32 share, SecurityAttributes* security,
                   u32 disposition, u32 flags, Handle templateFile) {
    SECURITY_ATTRIBUTES attributes;
    return reinterpret_cast<Handle>(win::CreateFileA(path, access, share,
                                                     ToAttributes(security, attributes),
                                                     disposition, flags, ToHandle(templateFile)));
}

u32 GetFinalPathNameByHandleW(Handle file, wchar* path, u32 size, u32 flags) {
    return ::GetFinalPathNameByHandleW(ToHandle(file), reinterpret_cast<LPWSTR>(path), size, flags);
}

namespace {
void Keep(const WIN32_FIND_DATAW& data, FindData* found) {
    found->FileAttributes = data.dwFileAttributes;
    found->FileName = reinterpret_cast<const wchar*>(data.cFileName);
}
}  // namespace

Handle FindFirstFileW(const wchar* pattern, FindData* found) {
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW(reinterpret_cast<LPCWSTR>(pattern), &data);
    if (find != INVALID_HANDLE_VALUE) Keep(data, found);
    return reinterpret_cast<Handle>(find);
}

bool FindNextFileW(Handle find, FindData* found) {
    WIN32_FIND_DATAW data;
    if (!::FindNextFileW(ToHandle(find), &data)) return false;
    Keep(data, found);
    return true;
}

bool FindClose(Handle find) { return ::FindClose(ToHandle(find)) != FALSE; }

Handle CreateMutexExW(SecurityAttributes* security, const wchar* name, u32 access) {
    SECURITY_ATTRIBUTES attributes;
    return reinterpret_cast<Handle>(win::CreateMutexExW(
        ToAttributes(security, attributes), reinterpret_cast<LPCWSTR>(name), 0, access));
}

u32 WaitForSingleObject(Handle object, u32 milliseconds) {
    return ::WaitForSingleObject(ToHandle(object), milliseconds);
}

bool ReleaseMutex(Handle mutex) { return win::ReleaseMutex(ToHandle(mutex)) != FALSE; }

bool CloseHandle(Handle object) { return ::CloseHandle(ToHandle(object)) != FALSE; }

bool GetCPInfo(u32 codePage, CpInfo* info) {
    CPINFO cp{};
    if (!::GetCPInfo(codePage, &cp)) return false;
    info->MaxCharSize = cp.MaxCharSize;
    for (int i = 0; i < 12; ++i) info->LeadByte[i] = cp.LeadByte[i];
    return true;
}

}  // namespace os
