// Simulated drives and folders, named as Windows names them: without regard to
// case, with '/' for '\', without the trailing blanks and dots of the last
// level, a drive letter alone standing for the current folder of that drive.
#include "platform/sim/SimWindows.h"

#include <algorithm>
#include <cstring>

namespace sim {

std::map<char, std::string> CurrentFolder;
std::set<std::string> RefusedFolders;
std::map<std::string, std::string> FolderSecurity;
bool SecurityConversionFails;

namespace {

std::set<std::string> folders, files; // as Canonical gives them

bool DriveRelative(const std::string& p) {
    return p.size() >= 2 && p[1] == ':' && (p.size() == 2 || (p[2] != '\\' && p[2] != '/'));
}

std::string Parent(const std::string& path) {
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos || cut < 2 ? "" : path.substr(0, cut);
}

} // namespace

std::string Canonical(std::string path) {
    if (DriveRelative(path)) {
        auto current = CurrentFolder.find(static_cast<char>(path[0] & ~0x20));
        path = (current == CurrentFolder.end() ? path.substr(0, 2) : current->second) + "\\" + path.substr(2);
    }
    os::CharUpperBuffA(path.data(), static_cast<u32>(path.size()));
    std::replace(path.begin(), path.end(), '/', '\\');
    while (!path.empty() && std::strchr("\\ .", path.back())) path.pop_back();
    return path;
}

void ResetFiles() {
    folders = {"C:"};
    files = RefusedFolders = {};
    CurrentFolder.clear();
    FolderSecurity.clear();
    SecurityConversionFails = false;
}

void AddFolder(const std::string& path) {
    for (std::string p = Canonical(path); !p.empty(); p = Parent(p)) folders.insert(p);
}

void AddFile(const std::string& path) { files.insert(Canonical(path)); }

std::set<std::string> Folders() { return folders; }

} // namespace sim

namespace os {

u32 GetFileAttributesA(const char* path) {
    const std::string c = sim::Canonical(path);
    return sim::folders.count(c) ? FileAttributeDirectory : sim::files.count(c) ? 0x20 : InvalidFileAttributes;
}

bool CreateDirectoryA(const char* path, SecurityAttributes* security) {
    const std::string c = sim::Canonical(path);
    std::string name = c.substr(c.rfind('\\') + 1);
    name = name.substr(0, name.find('.'));
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" ||
        (name.size() == 4 && (!name.rfind("COM", 0) || !name.rfind("LPT", 0)) && name[3] >= '1' && name[3] <= '9'))
        return true; // a device: nothing is made
    if (sim::folders.count(c) || sim::files.count(c) || !sim::folders.count(sim::Parent(c)) ||
        sim::RefusedFolders.count(c))
        return false;
    sim::folders.insert(c);
    if (security) sim::FolderSecurity[c] = *static_cast<std::string*>(security->SecurityDescriptor);
    return true;
}

u32 GetFullPathNameA(const char* path, u32 size, char* buffer, char**) {
    std::string full = path;
    if (full.size() >= 260) return 0; // more than the ANSI call converts
    std::replace(full.begin(), full.end(), '/', '\\');
    if (sim::DriveRelative(full)) {
        auto current = sim::CurrentFolder.find(static_cast<char>(full[0] & ~0x20));
        const std::string folder = current == sim::CurrentFolder.end() ? full.substr(0, 2) : current->second;
        full = folder + (folder.back() == '\\' ? "" : "\\") + full.substr(2);
    }
    if (full.size() >= size) return static_cast<u32>(full.size() + 1);
    std::strcpy(buffer, full.c_str());
    return static_cast<u32>(full.size());
}

bool ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, u32, void** descriptor, u32*) {
    *descriptor = sim::SecurityConversionFails ? nullptr : new std::string(sddl);
    return *descriptor != nullptr;
}

void* LocalFree(void* memory) {
    delete static_cast<std::string*>(memory);
    return nullptr;
}

} // namespace os
