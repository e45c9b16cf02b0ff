// Simulated drives and folders. Paths are compared without regard to case;
// a trailing backslash is ignored as Windows ignores it for a folder.
#include "platform/sim/SimWindows.h"

namespace sim {

std::vector<std::string> CreatedFolders;
std::set<std::string> RefusedFolders;

namespace {

std::set<std::string> folders; // canonical form, see Canonical
std::set<std::string> files;
std::set<char> drives;

// Upper-cased, without trailing backslashes (but "C:\" stays the root), and
// a drive-relative "C:name" taken relative to the root of C:.
std::string Canonical(std::string path) {
    os::CharUpperBuffA(path.data(), static_cast<u32>(path.size()));
    if (path.size() >= 2 && path[1] == ':' && (path.size() == 2 || path[2] != '\\'))
        path.insert(2, "\\");
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

std::string Parent(const std::string& canonical) {
    size_t cut = canonical.find_last_of('\\');
    if (cut == std::string::npos) return "";
    if (cut == 2 && canonical[1] == ':') return canonical.substr(0, 3);
    return canonical.substr(0, cut);
}

bool ValidName(const std::string& path) {
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (c < 32 || std::string("\"*/<>?|").find(static_cast<char>(c)) != std::string::npos)
            return false;
        if (c == ':' && i != 1) return false;
    }
    return true;
}

bool IsRefused(const std::string& canonical) {
    for (const auto& refused : RefusedFolders)
        if (Canonical(refused) == canonical) return true;
    return false;
}

} // namespace

void ResetFiles() {
    folders.clear();
    files.clear();
    drives.clear();
    CreatedFolders.clear();
    RefusedFolders.clear();
    AddDrive('C');
}

void AddDrive(char letter) {
    char upper = static_cast<char>(letter & ~0x20);
    drives.insert(upper);
    folders.insert(std::string(1, upper) + ":\\");
}

void AddFolder(const std::string& path) {
    std::string c = Canonical(path);
    for (std::string p = c; !p.empty() && p.size() > 2; p = Parent(p)) {
        folders.insert(p);
        if (Parent(p) == p) break;
    }
}

void AddFile(const std::string& path) { files.insert(Canonical(path)); }

bool FolderExists(const std::string& path) { return folders.count(Canonical(path)) != 0; }

} // namespace sim

namespace os {

u32 GetFileAttributesA(const char* path) {
    std::string c = sim::Canonical(path);
    if (c.empty()) return InvalidFileAttributes;
    if (sim::folders.count(c)) return FileAttributeDirectory;
    // A file named with a trailing backslash is not found, as on Windows.
    std::string raw = path;
    if (sim::files.count(c) && (raw.empty() || raw.back() != '\\')) return 0x20; // archive
    return InvalidFileAttributes;
}

bool CreateDirectoryA(const char* path, void*) {
    std::string c = sim::Canonical(path);
    std::string parent = sim::Parent(c);
    if (c.empty() || sim::folders.count(c) || sim::files.count(c) || !sim::ValidName(path) ||
        parent.empty() || parent == c || !sim::folders.count(parent) ||
        sim::IsRefused(c))
        return false;
    sim::folders.insert(c);
    sim::CreatedFolders.push_back(path);
    return true;
}

// The current folder of every drive is its root.
u32 GetFullPathNameA(const char* path, u32 size, char* buffer, char** filePart) {
    std::string full = path;
    if (full.size() >= 2 && full[1] == ':' && (full.size() == 2 || full[2] != '\\'))
        full.insert(2, "\\");
    if (filePart) *filePart = nullptr;
    if (full.size() >= size) return static_cast<u32>(full.size() + 1);
    full.copy(buffer, full.size());
    buffer[full.size()] = '\0';
    return static_cast<u32>(full.size());
}

} // namespace os
