#include "folder/FolderCreation.h"

#include "folder/PathText.h"
#include "front/Console.h"
#include "front/RuntimeError.h"
#include "platform/Platform.h"

namespace {

constexpr int kPathNotFound = 3;

std::string WithoutTrailingBackslashes(std::string path) {
    for (std::string shorter = DropTrailingBackslash(path); shorter != path;
         shorter = DropTrailingBackslash(path))
        path = shorter;
    return path;
}

} // namespace

bool EnsureFolder(std::string folder) {
    bool result = false;
    if (folder.empty()) return false;
    try {
        if (FolderExists(folder)) {
            result = true;
            PrintLine("");
            PrintFormatted("Le chemin %s existe d\xE9j\xE0 sur le lecteur.", folder);
            PrintLine("");
        } else if (CreateFolderTree(folder)) {
            result = true;
            PrintLine("");
            PrintFormatted("Le chemin %s a \xE9t\xE9 cr\xE9\xE9.", folder);
            PrintLine("");
        }
    } catch (...) {
        // Whatever went wrong, the folder is as the result says.
    }
    return result;
}

bool CreateFolderTree(const std::string& path) {
    if (path.empty()) RaiseInOutError(kPathNotFound, "Impossible de cr\xE9" "er le r\xE9pertoire");
    // Every trailing backslash goes: with one left, the level would be its own
    // parent and the folder would be reported created without being created.
    std::string level = WithoutTrailingBackslashes(path);
    if (level.size() < 3) return true; // a bare drive
    if (FolderExists(level)) return true;
    std::string parent = DirectoryPart(level);
    if (parent == level) return true;
    if (!CreateFolderTree(parent)) return false;
    return CreateOneFolder(level);
}

bool CreateOneFolder(const std::string& path) {
    return os::CreateDirectoryA(path.c_str(), nullptr);
}
