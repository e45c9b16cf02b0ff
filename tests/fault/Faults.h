// The test build's stand-ins for the Windows calls whose answers a test may
// choose, where Wine cannot give Windows' own. The seam's real side makes
// these calls through the namespace win and, in the test build only,
// includes this file once in place of its table of Windows' own calls. Each
// forwards to Windows unless the run's environment plans otherwise:
//   WAYFOLD_REFUSE=N   registry call N (from 1) is refused: access denied
//   WAYFOLD_VANISH=N   before registry call N, another program deletes the value
//   WAYFOLD_RETYPE=N   before registry call N, another program makes the value
//                      REG_SZ if it was REG_EXPAND_SZ, and the other way round
//   WAYFOLD_GROWS=N    right after each of the first N size queries, another
//                      program appends an x to the value's text
//   WAYFOLD_KILL=N     the process is killed right after registry write N
//   WAYFOLD_OOM=N      the first allocation after registry call N fails
//   WAYFOLD_AHEAD=PATH another program makes the folder PATH right before the run
//   WAYFOLD_SD=PATH SDDL|...   the owner and DACL Windows reports for the
//                      folder or file PATH (-: they cannot be read; hex:BYTES:
//                      as stored); any other reports those of one under
//                      C:\Program Files: owned by Administrators; full
//                      control to SYSTEM and Administrators, read and execute
//                      to Users, all to CREATOR OWNER on what is made in it
//   WAYFOLD_LINK=PATH TARGET|...   PATH is a junction to the folder TARGET:
//                      its attributes say so, and opening it or a name below
//                      it reaches TARGET
//   WAYFOLD_VOLUME=fat volumes keep no permissions (else all keep them, as NTFS)
//   WAYFOLD_NOSDDL=1   no security descriptor can be built
//   WAYFOLD_LOCK=KIND  under the lock's name before the run opens it, a mutex
//                      that another run holds (held) or held when it ended
//                      (abandoned), or that another user made and holds (foreign)
// Paths are compared in any case, however many backslashes end them.
// WAYFOLD_LOG names a file that gets, in order, a line for each registry call
// ("call N KIND"), the descriptor each folder is made with ("folder PATH
// SDDL"), the lock opened ("lock NAME SDDL") and released ("release").
#pragma once

#include <windows.h>
// Declared with the types of <windows.h>.
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace {

const UINT kKilled = 9;  // the status of a process that another one killed
const wchar_t kProgramFiles[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)";
int calls = 0;
int writes = 0;
int sizeQueries = 0;
bool allocationsFail = false;

std::wstring Planned(const wchar_t* word) {
    const wchar_t* value = _wgetenv((L"WAYFOLD_" + std::wstring(word)).c_str());
    return value ? value : L"";
}

int Numbered(const wchar_t* word) { return _wtoi(Planned(word).c_str()); }

std::wstring Wide(const std::string& text) {
    std::vector<wchar_t> wide(text.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return wide.data();
}

std::wstring Trimmed(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

// The value that "PATH VALUE|..." plans for the name, or for a name below
// PATH when below is allowed (with what follows PATH); none: empty.
std::wstring PlannedFor(const char* path, const wchar_t* word, bool below = false) {
    const std::wstring name = Trimmed(Wide(path));
    std::wistringstream entries(Planned(word));
    for (std::wstring folder, value;
         std::getline(entries, folder, L' ') && std::getline(entries, value, L'|');) {
        const std::size_t n = Trimmed(folder).size();
        if (!_wcsnicmp(name.c_str(), folder.c_str(), n) &&
            (name.size() == n || (below && name[n] == L'\\')))
            return value + name.substr(n);
    }
    return L"";
}

void Log(const std::string& line) {
    std::FILE* log = _wfopen(Planned(L"LOG").c_str(), L"a");
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
// own: the value deleted, its text given one more character, or rewritten
// with the other text type.
void ChangeValue(HKEY key, LPCWSTR name, const std::string& how) {
    HKEY own = nullptr;
    RegOpenKeyExW(key, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &own);
    std::wstring text(1 << 16, L'\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    RegQueryValueExW(own, name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size);
    if (how == "grows") {
        text = text.c_str() + std::wstring(L"x");
        size = static_cast<DWORD>(text.size() + 1) * sizeof(wchar_t);
    }
    if (how == "retype") type = type == REG_SZ ? REG_EXPAND_SZ : REG_SZ;
    if (how == "vanish")
        RegDeleteValueW(own, name);
    else
        RegSetValueExW(own, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()), size);
    RegCloseKey(own);
}

// Counts a registry call; true when the plan refuses it.
bool Refused(const char* kind) {
    Log("call " + std::to_string(++calls) + " " + kind);
    const bool refused = calls == Numbered(L"REFUSE");
    allocationsFail = calls == Numbered(L"OOM");
    return refused;
}

LSTATUS Written(LSTATUS status) {
    if (++writes == Numbered(L"KILL")) TerminateProcess(GetCurrentProcess(), kKilled);
    return status;
}

// A descriptor as Windows stores it (self-relative): from its SDDL, or as
// bytes (hex:) where Wine cannot convert the SDDL (a compound entry) or
// converts it otherwise (NO_ACCESS_CONTROL, a NULL DACL, is an empty one).
std::vector<BYTE> DescriptorBytes(const std::wstring& text) {
    std::vector<BYTE> bytes;
    for (std::size_t i = 4; text.rfind(L"hex:", 0) == 0 && i < text.size(); i += 2)
        bytes.push_back(static_cast<BYTE>(std::stoi(text.substr(i, 2), nullptr, 16)));
    PSECURITY_DESCRIPTOR made = nullptr;
    ULONG size = 0;
    if (bytes.empty() && ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
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
    if (Planned(L"LOCK") != L"abandoned") Sleep(INFINITE);
    return 0;
}

// What another run, or another user, made under the lock's name and took.
void PutUnderLockName(LPSECURITY_ATTRIBUTES security, LPCWSTR name) {
    const std::wstring kind = Planned(L"LOCK");
    if (kind.empty()) return;
    std::vector<BYTE> foreign = DescriptorBytes(L"O:S-1-5-21-1-2-3-4D:(A;;GA;;;WD)");
    SECURITY_ATTRIBUTES other = {sizeof other, foreign.data(), FALSE};
    const HANDLE mutex =
        ::CreateMutexExW(kind == L"foreign" ? &other : security, name, 0, SYNCHRONIZE);
    CreateThread(nullptr, 0, TakeLock, mutex, 0, nullptr);
    WaitForSingleObject(lockTaken, INFINITE);
}

}  // namespace

// Allocations go through malloc, which the runtime's delete frees, so that
// the plan can make them fail.

void* operator new(std::size_t size) {
    void* memory = allocationsFail ? nullptr : std::malloc(size ? size : 1);
    allocationsFail = false;
    if (!memory) throw std::bad_alloc();
    return memory;
}

namespace win {

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                        REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                        LPDWORD disposition) {
    if (Refused("create")) return ERROR_ACCESS_DENIED;
    return ::RegCreateKeyExA(key, subKey, reserved, keyClass, options, access, security, result,
                             disposition);
}

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    if (Refused("open")) return ERROR_ACCESS_DENIED;
    return ::RegOpenKeyExA(key, subKey, options, access, result);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD size) {
    if (Refused("query")) return ERROR_ACCESS_DENIED;
    if (calls == Numbered(L"VANISH")) ChangeValue(key, name, "vanish");
    if (calls == Numbered(L"RETYPE")) ChangeValue(key, name, "retype");
    const LSTATUS status = ::RegQueryValueExW(key, name, reserved, type, data, size);
    // Right after the run learnt the size it needs.
    if (!data && size && sizeQueries++ < Numbered(L"GROWS")) ChangeValue(key, name, "grows");
    return status;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD size) {
    if (Refused("set")) return ERROR_ACCESS_DENIED;
    return Written(::RegSetValueExA(key, name, reserved, type, data, size));
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR name) {
    if (Refused("delete")) return ERROR_ACCESS_DENIED;
    return Written(::RegDeleteValueA(key, name));
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    Log(std::string("folder ") + path + " " + Sddl(security));
    if (!_wcsicmp(Trimmed(Wide(path)).c_str(), Trimmed(Planned(L"AHEAD")).c_str()))
        ::CreateDirectoryA(path, nullptr);
    return ::CreateDirectoryA(path, security);
}

HANDLE CreateMutexExW(LPSECURITY_ATTRIBUTES security, LPCWSTR name, DWORD flags, DWORD access) {
    char narrow[256] = "";
    WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof narrow, nullptr, nullptr);
    Log(std::string("lock ") + narrow + " " + Sddl(security));
    PutUnderLockName(security, name);
    return ::CreateMutexExW(security, name, flags, access);
}

BOOL ReleaseMutex(HANDLE mutex) {
    Log("release");
    return ::ReleaseMutex(mutex);
}

BOOL GetFileSecurityA(LPCSTR path, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR descriptor,
                      DWORD length, LPDWORD needed) {
    const std::wstring planned = PlannedFor(path, L"SD");
    const std::vector<BYTE> bytes = DescriptorBytes(planned.empty() ? kProgramFiles : planned);
    *needed = static_cast<DWORD>(bytes.size());
    SetLastError(bytes.empty() ? ERROR_ACCESS_DENIED : ERROR_INSUFFICIENT_BUFFER);
    if (bytes.empty() || bytes.size() > length) return FALSE;
    std::memcpy(descriptor, bytes.data(), bytes.size());
    return TRUE;
}

BOOL GetVolumeInformationA(LPCSTR, LPSTR, DWORD, LPDWORD, LPDWORD, LPDWORD flags, LPSTR, DWORD) {
    *flags = Planned(L"VOLUME") == L"fat" ? 0 : FILE_PERSISTENT_ACLS;
    return TRUE;
}

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR sddl, DWORD revision,
                                                          PSECURITY_DESCRIPTOR* descriptor,
                                                          PULONG size) {
    if (!Planned(L"NOSDDL").empty()) return FALSE;
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, revision, descriptor, size);
}

// A junction reports its own attributes, even when what it led to is gone.
DWORD GetFileAttributesA(LPCSTR path) {
    const DWORD attributes = ::GetFileAttributesA(path);
    if (PlannedFor(path, L"LINK").empty()) return attributes;
    const DWORD folder =
        attributes == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_DIRECTORY : attributes;
    return folder | FILE_ATTRIBUTE_REPARSE_POINT;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    const std::wstring target = PlannedFor(path, L"LINK", true);
    if (target.empty())
        return ::CreateFileA(path, access, share, security, disposition, flags, templateFile);
    return CreateFileW(target.c_str(), access, share, security, disposition, flags, templateFile);
}

}  // namespace win
