// Simulated drives and folders, named as Windows names them: without regard to
// case, with '/' for '\', a trailing blank or dot dropped from the last level,
// a drive letter alone standing for the current folder of that drive.
#include "platform/sim/SimWindows.h"

#include <cstring>

namespace sim {

std::map<char, std::string> CurrentFolder;
std::set<std::string> RefusedFolders;
std::map<std::string, std::string> FolderSecurity;
bool SecurityConversionFails;

namespace {

std::set<std::string> folders, files; // as Canonical gives them

} // namespace

std::string Canonical(std::string path) {
    if (path.size() >= 2 && path[1] == ':' && (path.size() == 2 || (path[2] != '\\' && path[2] != '/'))) {
        auto current = CurrentFolder.find(static_cast<char>(path[0] & ~0x20));
        path = (current == CurrentFolder.end() ? path.substr(0, 2) : current->second) + "\\" + path.substr(2);
    }
    os::CharUpperBuffA(path.data(), static_cast<u32>(path.size()));
    for (char& c : path)
        if (c == '/') c = '\\';
    while (!path.empty() && (path.back() == '\\' || path.back() == ' ' || path.back() == '.'))
        path.pop_back();
    return path;
}

namespace {

std::string Parent(const std::string& path) {
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos || cut < 2 ? "" : path.substr(0, cut);
}

// What Windows takes for a device, wherever it stands.
bool IsDevice(const std::string& path) {
    std::string name = path.substr(path.rfind('\\') + 1);
    name = name.substr(0, name.find('.'));
    return name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" ||
           (name.size() == 4 && (name.rfind("COM", 0) == 0 || name.rfind("LPT", 0) == 0) &&
            name[3] >= '1' && name[3] <= '9');
}

} // namespace

void ResetFiles() {
    folders = {"C:"};
    files.clear();
    CurrentFolder.clear();
    RefusedFolders.clear();
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
    if (sim::folders.count(c)) return FileAttributeDirectory;
    // A file is not found through a name that ends in a backslash.
    if (sim::files.count(c) && std::string(path).back() != '\\') return 0x20; // archive
    return InvalidFileAttributes;
}

bool CreateDirectoryA(const char* path, SecurityAttributes* security) {
    const std::string c = sim::Canonical(path);
    if (sim::IsDevice(c)) return true; // and nothing is made
    for (const char* p = c.c_str() + 2; *p; p = CharNextA(p))
        if (CharNextA(p) == p + 1 && std::strchr("\"*<>?|:", *p)) return false;
    if (sim::folders.count(c) || sim::files.count(c) || !sim::folders.count(sim::Parent(c)) ||
        sim::RefusedFolders.count(c))
        return false;
    sim::folders.insert(c);
    if (security) sim::FolderSecurity[c] = *static_cast<std::string*>(security->SecurityDescriptor);
    return true;
}

u32 GetFullPathNameA(const char* path, u32 size, char* buffer, char** filePart) {
    std::string full = path;
    if (full.size() >= 260) return 0; // beyond what the ANSI call converts
    for (char& c : full)
        if (c == '/') c = '\\';
    if (full.size() >= 2 && full[1] == ':' && (full.size() == 2 || full[2] != '\\')) {
        auto current = sim::CurrentFolder.find(static_cast<char>(full[0] & ~0x20));
        std::string folder = current == sim::CurrentFolder.end() ? full.substr(0, 2) : current->second;
        full = folder + (folder.back() == '\\' ? "" : "\\") + full.substr(2);
    }
    if (filePart) *filePart = nullptr;
    if (full.size() >= size) return static_cast<u32>(full.size() + 1);
    full.copy(buffer, full.size());
    buffer[full.size()] = '\0';
    return static_cast<u32>(full.size());
}

bool ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, u32, void** descriptor,
                                                          u32*) {
    *descriptor = sim::SecurityConversionFails ? nullptr : new std::string(sddl);
    return *descriptor != nullptr;
}

void* LocalFree(void* memory) {
    delete static_cast<std::string*>(memory);
    return nullptr;
}

} // namespace os
