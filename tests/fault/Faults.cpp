// The test build's answers in Windows' place (see Faults.h), as the run's
// environment plans them:
//   WAYFOLD_REFUSE=N   registry call N (from 1) is refused: access denied
//   WAYFOLD_VANISH=N   before registry call N, another program deletes the value
//   WAYFOLD_RETYPE=N   before registry call N, another program makes the value
//                      REG_SZ if it was REG_EXPAND_SZ, and the other way round
//   WAYFOLD_GROWS=N    right after each of the first N size queries, another
//                      program lengthens the value by a zero character
//   WAYFOLD_KILL=N     the process is killed right after registry write N
//   WAYFOLD_OOM=N      the first allocation after registry call N fails
//   WAYFOLD_AHEAD=PATH another program makes the folder PATH right before the run
//   WAYFOLD_SD=PATH SDDL   the owner and DACL Windows reports for the folder
//                      PATH (-: they cannot be read; hex:BYTES: as stored)
//   WAYFOLD_VOLUME=acls|noacls   volumes keep permissions (NTFS), or none (FAT)
//   WAYFOLD_NOSDDL=1   no security descriptor can be built
//   WAYFOLD_LOCK=KIND  under the lock's name before the run opens it: a mutex
//                      that another run holds (held) or held when it ended
//                      (abandoned), a semaphore, a mutex that refuses the run
//                      (refusing), one that another user owns (foreign)
// WAYFOLD_LOG names a file that gets a line for each registry call ("call N
// KIND"), the descriptor each folder is made with ("folder PATH SDDL"), the
// lock opened ("lock NAME ACCESS SDDL") and released ("release").
#include "Faults.h"

#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

const UINT kKilled = 9;  // the status of a process that another one killed
int calls = 0;
int writes = 0;
int sizeQueries = 0;
bool allocationsFail = false;

std::string Planned(const std::string& word) {
    const char* value = std::getenv(("WAYFOLD_" + word).c_str());
    return value ? value : "";
}

int Numbered(const char* word) { return std::atoi(Planned(word).c_str()); }

bool SameFolder(std::string path, std::string other) {  // in any case, however it ends
    while (!path.empty() && path.back() == '\\') path.pop_back();
    while (!other.empty() && other.back() == '\\') other.pop_back();
    return !path.empty() && !_stricmp(path.c_str(), other.c_str());
}

void Log(const std::string& line) {
    std::FILE* log = std::fopen(Planned("LOG").c_str(), "a");
    if (!log) return;
    std::fprintf(log, "%s\n", line.c_str());
    std::fclose(log);
}

std::string Sddl(LPSECURITY_ATTRIBUTES security) {
    LPSTR text = nullptr;
    const SECURITY_INFORMATION all = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (!security || !ConvertSecurityDescriptorToStringSecurityDescriptorA(
                         security->lpSecurityDescriptor, SDDL_REVISION_1, all, &text, nullptr))
        return "-";
    const std::string sddl = text;
    LocalFree(text);
    return sddl;
}

// Another program's write to the value being read, through a handle of its
// own: the value deleted, lengthened by a zero character (the text the same),
// or rewritten with the other text type.
void ChangeValue(HKEY key, LPCWSTR name, const std::string& how) {
    HKEY own = nullptr;
    RegOpenKeyExW(key, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &own);
    std::vector<BYTE> data(1 << 17);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    if (how == "vanish") {
        RegDeleteValueW(own, name);
    } else if (!RegQueryValueExW(own, name, nullptr, &type, data.data(), &size)) {
        size += how == "grows" ? sizeof(wchar_t) : 0;
        const DWORD retyped = type == REG_SZ ? REG_EXPAND_SZ : REG_SZ;
        RegSetValueExW(own, name, 0, how == "retype" ? retyped : type, data.data(), size);
    }
    RegCloseKey(own);
}

// Counts a registry call; true when the plan refuses it.
bool Refused(const char* kind) {
    Log("call " + std::to_string(++calls) + " " + kind);
    const bool refused = calls == Numbered("REFUSE");
    allocationsFail = calls == Numbered("OOM");
    return refused;
}

LSTATUS Written(LSTATUS status) {
    if (++writes == Numbered("KILL")) TerminateProcess(GetCurrentProcess(), kKilled);
    return status;
}

// A descriptor as Windows stores it (self-relative): from its SDDL, or as
// bytes (hex:) where Wine cannot convert the SDDL (object entries) or
// converts it otherwise (NO_ACCESS_CONTROL, a NULL DACL, is an empty one).
std::vector<BYTE> DescriptorBytes(const std::string& text) {
    std::vector<BYTE> bytes;
    for (std::size_t i = 4; text.rfind("hex:", 0) == 0 && i < text.size(); i += 2)
        bytes.push_back(static_cast<BYTE>(std::stoi(text.substr(i, 2), nullptr, 16)));
    PSECURITY_DESCRIPTOR made = nullptr;
    ULONG size = 0;
    if (bytes.empty() && ::ConvertStringSecurityDescriptorToSecurityDescriptorA(
                             text.c_str(), SDDL_REVISION_1, &made, &size))
        bytes.assign(static_cast<BYTE*>(made), static_cast<BYTE*>(made) + size);
    LocalFree(made);
    return bytes;
}

HANDLE lockTaken = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// Another run's thread, which takes the lock and keeps it, or ends with it.
DWORD WINAPI TakeLock(void* mutex) {
    WaitForSingleObject(mutex, INFINITE);
    SetEvent(lockTaken);
    if (Planned("LOCK") == "held") Sleep(INFINITE);
    return 0;
}

void PutUnderLockName(LPSECURITY_ATTRIBUTES security, LPCWSTR name) {
    const std::string kind = Planned("LOCK");
    if (kind == "semaphore") CreateSemaphoreW(nullptr, 0, 1, name);
    if (kind == "refusing" || kind == "foreign") {
        std::vector<BYTE> other =
            DescriptorBytes(kind == "refusing" ? "D:P" : "O:S-1-5-21-1-2-3-4D:(A;;GA;;;WD)");
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, other.data(), FALSE};
        ::CreateMutexExW(&attributes, name, 0, SYNCHRONIZE);
    }
    if (kind != "held" && kind != "abandoned") return;
    CreateThread(nullptr, 0, TakeLock, ::CreateMutexExW(security, name, 0, SYNCHRONIZE), 0, 0);
    WaitForSingleObject(lockTaken, INFINITE);
}

}  // namespace

// Allocations go through malloc and free, so that the plan can make them fail.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    void* memory = allocationsFail ? nullptr : std::malloc(size ? size : 1);
    allocationsFail = false;
    if (!memory) throw std::bad_alloc();
    return memory;
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

LSTATUS win::RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                             REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                             LPDWORD disposition) {
    if (Refused("create")) return ERROR_ACCESS_DENIED;
    return ::RegCreateKeyExA(key, subKey, reserved, keyClass, options, access, security, result,
                             disposition);
}

LSTATUS win::RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    if (Refused("open")) return ERROR_ACCESS_DENIED;
    return ::RegOpenKeyExA(key, subKey, options, access, result);
}

LSTATUS win::RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                              LPDWORD size) {
    if (Refused("query")) return ERROR_ACCESS_DENIED;
    if (calls == Numbered("VANISH")) ChangeValue(key, name, "vanish");
    if (calls == Numbered("RETYPE")) ChangeValue(key, name, "retype");
    const LSTATUS status = ::RegQueryValueExW(key, name, reserved, type, data, size);
    // Right after the run learnt the size it needs.
    if (!data && size && sizeQueries++ < Numbered("GROWS")) ChangeValue(key, name, "grows");
    return status;
}

LSTATUS win::RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                            DWORD size) {
    if (Refused("set")) return ERROR_ACCESS_DENIED;
    return Written(::RegSetValueExA(key, name, reserved, type, data, size));
}

LSTATUS win::RegDeleteValueA(HKEY key, LPCSTR name) {
    if (Refused("delete")) return ERROR_ACCESS_DENIED;
    return Written(::RegDeleteValueA(key, name));
}

BOOL win::CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    Log(std::string("folder ") + path + " " + Sddl(security));
    if (SameFolder(path, Planned("AHEAD"))) ::CreateDirectoryA(path, nullptr);
    return ::CreateDirectoryA(path, security);
}

HANDLE win::CreateMutexExW(LPSECURITY_ATTRIBUTES security, LPCWSTR name, DWORD flags,
                           DWORD access) {
    char narrow[256] = "";
    WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof narrow, nullptr, nullptr);
    Log(std::string("lock ") + narrow + " " + std::to_string(access) + " " + Sddl(security));
    PutUnderLockName(security, name);
    return ::CreateMutexExW(security, name, flags, access);
}

BOOL win::ReleaseMutex(HANDLE mutex) {
    Log("release");
    return ::ReleaseMutex(mutex);
}

BOOL win::GetFileSecurityA(LPCSTR path, SECURITY_INFORMATION information,
                           PSECURITY_DESCRIPTOR descriptor, DWORD length, LPDWORD needed) {
    const std::string planned = Planned("SD");
    const std::size_t blank = planned.find(' ');
    if (!SameFolder(path, planned.substr(0, blank)))
        return ::GetFileSecurityA(path, information, descriptor, length, needed);
    const std::vector<BYTE> bytes = DescriptorBytes(planned.substr(blank + 1));
    *needed = static_cast<DWORD>(bytes.size());
    SetLastError(bytes.empty() ? ERROR_ACCESS_DENIED : ERROR_INSUFFICIENT_BUFFER);
    if (bytes.empty() || bytes.size() > length) return FALSE;
    std::memcpy(descriptor, bytes.data(), bytes.size());
    return TRUE;
}

BOOL win::GetVolumeInformationA(LPCSTR root, LPSTR name, DWORD nameSize, LPDWORD serial,
                                LPDWORD longestName, LPDWORD flags, LPSTR fileSystem,
                                DWORD fileSystemSize) {
    if (Planned("VOLUME").empty())
        return ::GetVolumeInformationA(root, name, nameSize, serial, longestName, flags, fileSystem,
                                       fileSystemSize);
    *flags = Planned("VOLUME") == "acls" ? FILE_PERSISTENT_ACLS : 0;
    return TRUE;
}

BOOL win::ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR sddl, DWORD revision,
                                                               PSECURITY_DESCRIPTOR* descriptor,
                                                               PULONG size) {
    if (!Planned("NOSDDL").empty()) return FALSE;
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, revision, descriptor, size);
}
