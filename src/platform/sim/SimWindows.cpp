#include "platform/sim/SimWindows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

sim::Machine sim::machine;

namespace {

sim::Machine& m = sim::machine;

std::string Folder(const std::string& path) {
    return sim::Upper(path.substr(0, path.find_last_not_of('\\') + 1));
}  // as compared

// The id of the key, or of its subkey or value NAME, for a call of this kind;
// empty, with *status, when the call is refused or the handle was not opened
// for what it needs.
std::string Id(char kind, os::RegKey key, os::u32 need, const std::string& name,
               os::Status* status) {
    m.Calls += kind;
    m.OutOfTurn += !m.InTurn;
    const auto it = m.Handles.find(key);
    *status = it == m.Handles.end() ? 6 : 5;
    if (it == m.Handles.end() || !(it->second.second & need)) return "";
    const std::string id = it->second.first + (name.empty() ? "" : "\\" + sim::Upper(name));
    if (static_cast<int>(m.Calls.size()) != m.FailCall) return id;
    if ((*status = m.FailStatus) == os::ErrorFileNotFound) m.Values.erase(id);
    return "";
}

os::Status Open(char kind, os::RegKey root, const char* subKey, os::u32 access,
                os::RegKey* result) {
    os::Status status;
    const std::string id = Id(kind, root, ~0u, subKey, &status);
    if (id.empty()) return status;
    if (kind == 'C') sim::AddKey(id);
    if (!m.RegistryKeys.count(id)) return os::ErrorFileNotFound;
    m.Handles[*result = 0x100 + m.Calls.size()] = {id, access};  // numbered after its call
    return os::ErrorSuccess;
}

os::Status Written() {
    if (++m.Writes == m.DieAfterWrite) m.Die();
    return os::ErrorSuccess;
}

}  // namespace

void sim::AddKey(const std::string& id) {
    for (std::size_t at = 0; at != std::string::npos;)
        m.RegistryKeys.insert(id.substr(0, at = id.find('\\', at + 1)));
}

std::string sim::Upper(std::string text) {  // as far as ASCII goes
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    return text;
}

namespace os {

Status RegCreateKeyExA(RegKey key, const char* sub, u32, char*, u32, u32 access, void*,
                       RegKey* result, u32*) {
    return Open('C', key, sub, access, result);
}
Status RegOpenKeyExA(RegKey key, const char* sub, u32, u32 access, RegKey* result) {
    return Open('O', key, sub, access, result);
}

Status RegQueryValueExW(RegKey key, const wchar* name, u32*, u32* type, unsigned char* data,
                        u32* size) {
    Status status;  // (the names the command queries are ASCII)
    const std::string id =
        Id('Q', key, 1, std::string(name, name + std::char_traits<wchar>::length(name)), &status);
    const auto it = m.Values.find(id);
    if (id.empty() || it == m.Values.end()) return id.empty() ? status : ErrorFileNotFound;
    const bool fits = !data || *size >= it->second.data.size();
    if (data && fits) std::copy(it->second.data.begin(), it->second.data.end(), data);
    if (type) *type = it->second.type;
    if (size) *size = static_cast<u32>(it->second.data.size());
    if (size && !data && m.Grows && m.Grows--) it->second.data += std::string(2, '\0');
    return fits ? ErrorSuccess : ErrorMoreData;
}

Status RegSetValueExA(RegKey key, const char* name, u32, u32 type, const unsigned char* data,
                      u32 size) {
    Status status;
    const std::string id = Id('S', key, 2, name, &status);
    std::string bytes;  // Windows keeps texts in UTF-16
    for (u32 i = 0; i < size; ++i)
        bytes += type == RegSz || type == RegExpandSz ? std::string{char(data[i]), 0}
                                                      : std::string(1, data[i]);
    if (id.empty()) return status;
    m.Values[id] = {type, bytes};
    return Written();
}

Status RegDeleteValueA(RegKey key, const char* name) {
    Status status;
    const std::string id = Id('D', key, 2, name, &status);
    return id.empty() ? status : !m.Values.erase(id) ? ErrorFileNotFound : Written();
}

Status RegCloseKey(RegKey key) { return key > 0xFFFF || !m.Handles.erase(key) ? 6 : ErrorSuccess; }
Handle GetStdHandle(u32 which) { return which; }  // a standard handle is its own number
u32 GetFileType(Handle file) { return file == StdOutputHandle ? FileTypeDisk : FileTypeChar; }

bool WriteFile(Handle file, const void* data, u32 size,
               u32* written) {  // a failing one, or one writing nothing
    const int number = file == StdOutputHandle ? ++m.StdOutWrites : 0;
    m.LastError = number && number == m.FailStdOutWrite ? 232 : 0;  // the pipe is being closed
    *written = number && std::abs(m.FailStdOutWrite) == number ? 0 : size;
    (file == StdOutputHandle ? m.StdOut : m.StdErr)
        .append(static_cast<const char*>(data), *written);
    return !m.LastError;
}

bool FlushConsoleInputBuffer(Handle) { return false; }  // no console: the question is answered no
bool ReadConsoleInputA(Handle, InputRecord*, u32, u32* read) { return *read = 0, false; }
u32 GetLastError() { return m.LastError; }
bool CharToOemBuffA(const char* source, char* target, u32 length) {
    return std::copy(source, source + length, target) != nullptr;
}
u32 CharUpperBuffA(char* text, u32 length) { return sim::Upper({text, length}).copy(text, length); }

std::u16string ToWide(const std::string& text) {
    return {text.begin(), text.end()};
}  // as far as ASCII goes

std::string ToAnsi(
    const std::u16string& wide) {  // a character 1252 lacks becomes '?' (or a near letter)
    std::string ansi;
    for (char16_t c : wide) ansi += c < 0x80 ? static_cast<char>(c) : '?';
    return ansi;
}

const wchar* GetCommandLineW() { return m.CommandLine.c_str(); }
u32 GetModuleFileNameA(void*, char* name, u32 size) {
    return std::strlen(std::strncpy(name, "C:\\outils\\wayfold.exe", size));
}
u32 GetFileAttributesA(const char* path) {
    return m.Folders.count(Folder(path)) ? FileAttributeDirectory : InvalidFileAttributes;
}

bool CreateDirectoryA(const char* path, SecurityAttributes* security) {  // in a folder that exists
    const std::string c = Folder(path);
    if ((m.LastError = m.Folders.count(c)                             ? ErrorAlreadyExists
                       : !m.Folders.count(c.substr(0, c.rfind('\\'))) ? 3
                                                                      : 0))
        return false;
    m.Folders.insert(c);
    m.Made[c] = security ? *static_cast<std::string*>(security->SecurityDescriptor) : "";
    return true;
}

u32 GetFullPathNameW(const wchar* path, u32 size, wchar* buffer,
                     wchar**) {  // of an absolute path only
    const std::u16string full = path;
    if (full.size() < size) std::copy(full.c_str(), full.c_str() + full.size() + 1, buffer);
    return static_cast<u32>(full.size() < size ? full.size() : full.size() + 1);
}

bool ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, u32, void** descriptor,
                                                          u32*) {
    return (*descriptor = m.NoDescriptor ? nullptr : new std::string(sddl)) != nullptr;
}
void* LocalFree(void* memory) {
    delete static_cast<std::string*>(memory);
    return nullptr;
}
// Another run's mutex opens for a standard user with the rights its descriptor gives every user.
Handle CreateMutexExW(SecurityAttributes*, const wchar*, u32 access) {
    return m.Mutex && (access & ~0x100001u) ? 0 : 0x4D;
}
u32 WaitForSingleObject(Handle, u32) {
    return (m.InTurn = m.Mutex != 1) ? (m.Mutex ? WaitAbandoned : WaitObject0) : 0x102;
}  // timed out
bool ReleaseMutex(Handle) { return !(m.InTurn = false); }
bool CloseHandle(Handle) { return true; }
bool GetCPInfo(u32, CpInfo* info) {
    *info = CpInfo{1, {}};
    return true;
}  // no lead bytes

}  // namespace os
