// Simulated drives and folders, named as Windows names them: without regard to
// case, with '/' for '\', without the trailing blanks and dots of the last
// level, a drive letter alone standing for the current folder of that drive.
#include "platform/sim/SimWindows.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

std::string Absolute(std::string path) { // what GetFullPathNameA gives
    std::replace(path.begin(), path.end(), '/', '\\');
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
    while (!path.empty() && std::strchr("\\ .", path.back())) path.pop_back();
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
    const std::string c = sim::Canonical(path), last = c.substr(c.rfind('\\') + 1);
    const std::string name = last.substr(0, last.find('.'));
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" ||
        (name.size() == 4 && (!name.rfind("COM", 0) || !name.rfind("LPT", 0)) &&
         ((name[3] >= '1' && name[3] <= '9') || std::strchr("\xB9\xB2\xB3", name[3])))) // ¹ ² ³ too
        return true; // a device: nothing is made
    sim::Machine& m = sim::machine;
    if (m.Folders.count(c) || m.Files.count(c) || m.RefusedFolders.count(c) ||
        !m.Folders.count(sim::Parent(c)))
        return false;
    m.Folders.insert(c);
    if (security) m.FolderSecurity[c] = *static_cast<std::string*>(security->SecurityDescriptor);
    return true;
}

u32 GetFullPathNameA(const char* path, u32 size, char* buffer, char**) {
    const std::string full = sim::Absolute(path);
    if (std::strlen(path) >= 260) return 0; // more than the ANSI call converts
    if (full.size() >= size) return static_cast<u32>(full.size() + 1);
    std::strcpy(buffer, full.c_str());
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
