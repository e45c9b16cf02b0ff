// Simulated drives and folders, named as Windows names them: without regard
// to case or to a trailing backslash, a drive letter alone standing for the
// current folder of that drive.
#include "platform/sim/SimWindows.h"

#include <cstring>

namespace sim {

namespace {

std::string Absolute(const std::string& path) { // a drive-relative path from its drive's current folder
    if (path.size() < 2 || path[1] != ':' || (path.size() > 2 && path[2] == '\\')) return path;
    const auto current = machine.CurrentFolder.find(static_cast<char>(path[0] & ~0x20));
    const std::string folder = current == machine.CurrentFolder.end() ? path.substr(0, 2) : current->second;
    return folder + (folder.back() == '\\' ? "" : "\\") + path.substr(2);
}

std::string Parent(const std::string& path) {
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos || cut < 2 ? "" : path.substr(0, cut);
}

} // namespace

std::string Canonical(std::string path) {
    path = Absolute(path);
    os::CharUpperBuffA(path.data(), static_cast<u32>(path.size()));
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

void AddFolder(const std::string& path) {
    for (std::string p = Canonical(path); !p.empty(); p = Parent(p)) machine.Folders.insert(p);
}

} // namespace sim

namespace os {

u32 GetFileAttributesA(const char* path) {
    const std::string c = sim::Canonical(path);
    return sim::machine.Folders.count(c) ? FileAttributeDirectory
           : sim::machine.Files.count(c) ? 0x20 : InvalidFileAttributes;
}

bool CreateDirectoryA(const char* path, SecurityAttributes* security) {
    sim::Machine& m = sim::machine;
    const std::string c = sim::Canonical(path);
    if (m.Raced.count(c)) m.Folders.insert(c); // another run was quicker
    const bool exists = m.Folders.count(c) || m.Files.count(c);
    m.LastError = exists ? ErrorAlreadyExists : m.Refused.count(c) ? 5 : !m.Folders.count(sim::Parent(c)) ? 3 : 0;
    if (m.LastError) return false;
    m.Folders.insert(c);
    if (security) m.FolderSecurity[c] = *static_cast<std::string*>(security->SecurityDescriptor);
    return true;
}

u32 GetFullPathNameW(const wchar* path, u32 size, wchar* buffer, wchar**) {
    std::string ansi;
    for (const wchar* c = path; *c; ++c) ansi += static_cast<char>(*c); // the tests' names are ASCII
    const std::u16string full = sim::Widen(sim::Absolute(ansi));
    if (full.size() >= size) return static_cast<u32>(full.size() + 1);
    std::memcpy(buffer, full.c_str(), (full.size() + 1) * sizeof(wchar));
    return static_cast<u32>(full.size());
}

bool ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, u32, void** descriptor, u32*) {
    *descriptor = sim::machine.SecurityConversionFails ? nullptr : new std::string(sddl);
    return *descriptor != nullptr;
}

void* LocalFree(void* memory) {
    delete static_cast<std::string*>(memory);
    return nullptr;
}

} // namespace os
