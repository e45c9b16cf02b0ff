// The test build's answers in Windows' place (see Faults.h). The run's plan is
// the environment variable WAYFOLD_FAULTS, entries separated by '|':
//   refuse N      registry call N (from 1) is refused: access denied
//   vanish N      before registry call N, another program deletes the value
//   retype N      before registry call N, another program makes the value REG_SZ
//                 if it was REG_EXPAND_SZ, and the other way round
//   grows N       right after each of the first N size queries, another
//                 program makes the value longer
//   kill N        the process is killed right after registry write N
//   short N       write N to standard output writes nothing
//   ahead PATH    another program makes the folder PATH right before the run does
//   sd PATH SDDL  the owner and DACL Windows reports for the folder PATH (-: none,
//                 access denied; hex:BYTES: the descriptor as stored)
//   volume acls|noacls   the volumes keep permissions (NTFS), or none (FAT)
//   nosddl        no security descriptor can be built
//   oom N         the first allocation after registry call N fails
// WAYFOLD_FAULT_LOG names a file that gets a line for each registry call
// ("call N" and its kind) and the descriptors that folders and the lock get.
#include "Faults.h"

#include <sddl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace {

struct Plan {
    std::set<std::string> words;                     // "refuse 3"
    std::map<std::string, std::string> descriptors;  // folder in capitals -> SDDL
    std::string volume;
    bool noSddl = false;
    int oomAfter = 0, grows = 0;
};

int calls = 0, writes = 0, outputWrites = 0, sizeQueries = 0;
bool allocationsFail = false;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    while (!text.empty() && text.back() == '\\') text.pop_back();
    return text;
}

const Plan& ThePlan() {
    static const Plan plan = [] {
        Plan read;
        const char* text = std::getenv("WAYFOLD_FAULTS");
        std::string rest = text ? text : "";
        while (!rest.empty()) {
            const std::size_t bar = rest.find('|');
            const std::string entry = rest.substr(0, bar);
            rest = bar == std::string::npos ? "" : rest.substr(bar + 1);
            const std::size_t blank = entry.find(' ');
            const std::string word = entry.substr(0, blank);
            const std::string value = blank == std::string::npos ? "" : entry.substr(blank + 1);
            if (word == "sd") {
                const std::size_t split = value.find(' ');
                read.descriptors[Upper(value.substr(0, split))] = value.substr(split + 1);
            } else if (word == "volume") {
                read.volume = value;
            } else if (word == "grows") {
                read.grows = std::atoi(value.c_str());
            } else if (word == "oom") {
                read.oomAfter = std::atoi(value.c_str());
            } else {
                read.noSddl |= word == "nosddl";
                read.words.insert(entry);
            }
        }
        return read;
    }();
    return plan;
}

bool Planned(const char* word, int n) {
    return ThePlan().words.count(std::string(word) + " " + std::to_string(n)) != 0;
}

void Log(const std::string& line) {
    const char* name = std::getenv("WAYFOLD_FAULT_LOG");
    if (!name) return;
    if (std::FILE* log = std::fopen(name, "a")) {
        std::fprintf(log, "%s\n", line.c_str());
        std::fclose(log);
    }
}

std::string Sddl(PSECURITY_DESCRIPTOR descriptor) {
    LPSTR text = nullptr;
    const SECURITY_INFORMATION all = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (!descriptor || !ConvertSecurityDescriptorToStringSecurityDescriptorA(
                           descriptor, SDDL_REVISION_1, all, &text, nullptr))
        return "-";
    const std::string sddl = text;
    LocalFree(text);
    return sddl;
}

// Another program's write to the value being read, through a handle of its
// own: the value deleted, lengthened by a zero character (the text the same),
// or rewritten with the other text type.
void ChangeValue(HKEY key, LPCWSTR name, const std::string& how) {
    HKEY writable = nullptr;
    if (RegOpenKeyExW(key, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &writable)) return;
    std::vector<BYTE> data(1 << 17);
    DWORD type = 0, size = static_cast<DWORD>(data.size());
    if (how == "vanish") {
        RegDeleteValueW(writable, name);
    } else if (!RegQueryValueExW(writable, name, nullptr, &type, data.data(), &size)) {
        data.resize(size + (how == "grows" ? sizeof(wchar_t) : 0));
        const DWORD retyped = type == REG_SZ ? REG_EXPAND_SZ : REG_SZ;
        RegSetValueExW(writable, name, 0, how == "retype" ? retyped : type, data.data(),
                       static_cast<DWORD>(data.size()));
    }
    RegCloseKey(writable);
}

// Counts a registry call; true when the plan refuses it.
bool Refused(const char* kind) {
    ++calls;
    Log("call " + std::to_string(calls) + " " + kind);
    allocationsFail |= calls == ThePlan().oomAfter;
    return Planned("refuse", calls);
}

LSTATUS Written(LSTATUS status) {
    ++writes;
    if (Planned("kill", writes)) TerminateProcess(GetCurrentProcess(), 9);
    return status;
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
void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }

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
    for (const char* how : {"vanish", "retype"})
        if (Planned(how, calls)) ChangeValue(key, name, how);
    const LSTATUS status = ::RegQueryValueExW(key, name, reserved, type, data, size);
    // Right after the run learnt the size it needs.
    if (!data && size && sizeQueries++ < ThePlan().grows) ChangeValue(key, name, "grows");
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

BOOL win::WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                    LPOVERLAPPED overlapped) {
    if (file == GetStdHandle(STD_OUTPUT_HANDLE) && Planned("short", ++outputWrites)) {
        *written = 0;
        return TRUE;
    }
    return ::WriteFile(file, data, size, written, overlapped);
}

BOOL win::CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    Log(std::string("folder ") + path + " " +
        Sddl(security ? security->lpSecurityDescriptor : nullptr));
    if (ThePlan().words.count("ahead " + std::string(path))) ::CreateDirectoryA(path, nullptr);
    return ::CreateDirectoryA(path, security);
}

HANDLE win::CreateMutexExW(LPSECURITY_ATTRIBUTES security, LPCWSTR name, DWORD flags,
                           DWORD access) {
    char narrow[256] = "";
    WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof narrow, nullptr, nullptr);
    Log(std::string("lock ") + narrow + " " + std::to_string(access) + " " +
        Sddl(security ? security->lpSecurityDescriptor : nullptr));
    return ::CreateMutexExW(security, name, flags, access);
}

// The descriptor a plan gives, as Windows stores it (self-relative): from its
// SDDL, or as bytes (hex:) where Wine cannot convert the SDDL (object entries).
std::vector<BYTE> PlannedDescriptor(const std::string& planned) {
    std::vector<BYTE> bytes;
    if (planned.rfind("hex:", 0) == 0) {
        for (std::size_t i = 4; i + 1 < planned.size(); i += 2)
            bytes.push_back(static_cast<BYTE>(std::stoi(planned.substr(i, 2), nullptr, 16)));
        return bytes;
    }
    PSECURITY_DESCRIPTOR made = nullptr;
    ULONG size = 0;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(planned.c_str(), SDDL_REVISION_1,
                                                                &made, &size))
        std::abort();  // a plan that names no descriptor is the test's own fault
    bytes.assign(static_cast<BYTE*>(made), static_cast<BYTE*>(made) + size);
    LocalFree(made);
    // Windows makes a NULL DACL of NO_ACCESS_CONTROL (present, at no offset);
    // Wine an empty one.
    const std::size_t daclOffset = 16;
    if (planned.find("D:NO_ACCESS_CONTROL") != std::string::npos)
        std::fill_n(bytes.begin() + daclOffset, sizeof(DWORD), 0);
    return bytes;
}

BOOL win::GetFileSecurityA(LPCSTR path, SECURITY_INFORMATION information,
                           PSECURITY_DESCRIPTOR descriptor, DWORD length, LPDWORD needed) {
    const auto planned = ThePlan().descriptors.find(Upper(path));
    if (planned == ThePlan().descriptors.end())
        return ::GetFileSecurityA(path, information, descriptor, length, needed);
    if (planned->second == "-") {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const std::vector<BYTE> bytes = PlannedDescriptor(planned->second);
    *needed = static_cast<DWORD>(bytes.size());
    const bool fits = bytes.size() <= length;
    if (fits) std::memcpy(descriptor, bytes.data(), bytes.size());
    SetLastError(fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER);
    return fits;
}

BOOL win::GetVolumeInformationA(LPCSTR root, LPSTR name, DWORD nameSize, LPDWORD serial,
                                LPDWORD longestName, LPDWORD flags, LPSTR fileSystem,
                                DWORD fileSystemSize) {
    if (ThePlan().volume.empty())
        return ::GetVolumeInformationA(root, name, nameSize, serial, longestName, flags, fileSystem,
                                       fileSystemSize);
    *flags = ThePlan().volume == "acls" ? FILE_PERSISTENT_ACLS : 0;
    return TRUE;
}

BOOL win::ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR sddl, DWORD revision,
                                                               PSECURITY_DESCRIPTOR* descriptor,
                                                               PULONG size) {
    if (ThePlan().noSddl) return FALSE;
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, revision, descriptor, size);
}
