#include "folder/FolderCreation.h"

#include "folder/PathText.h"
#include "front/Console.h"
#include "front/ProgramState.h"
#include "front/RuntimeError.h"
#include "platform/Platform.h"

#include <vector>

namespace {

constexpr int kPathNotFound = 3;

// With /K the folder goes on every user's Path, administrators' and services'
// included: like Program Files, it may be changed by administrators only, or
// any user could put there a program that an administrator then runs.
const char kMachineFolderSddl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

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
    void* descriptor = nullptr;
    try {
        if (FolderExists(folder)) {
            result = true;
            PrintLine("");
            PrintFormatted("Le chemin %s existe d\xE9j\xE0 sur le lecteur.", folder);
            PrintLine("");
        } else if (!MachineScope || os::ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                        kMachineFolderSddl, os::SddlRevision1, &descriptor, nullptr)) {
            CreateFolderTree(folder, descriptor);
            result = FolderExists(folder);
            if (result) {
                PrintLine("");
                PrintFormatted("Le chemin %s a \xE9t\xE9 cr\xE9\xE9.", folder);
                PrintLine("");
            }
        }
    } catch (...) {
        // Whatever went wrong, the folder is as the result says.
    }
    if (descriptor) os::LocalFree(descriptor);
    return result;
}

void ReportCreationError(const std::string& folder) {
    PrintFormatted("Erreur dans la cr\xE9" "ation du dossier %s", folder);
}

void CreateFolderTree(const std::string& path, void* descriptor) {
    if (path.empty()) RaiseInOutError(kPathNotFound, "Impossible de cr\xE9" "er le r\xE9pertoire");
    // Up from the folder to its first level that exists (a bare drive is taken
    // as present), then the missing ones, outermost first. Every trailing
    // backslash goes: with one left, a level would be its own parent.
    std::vector<std::string> missing;
    for (std::string level = WithoutTrailingBackslashes(path);
         level.size() >= 3 && !FolderExists(level);) {
        std::string parent = DirectoryPart(level);
        if (parent == level) break;
        missing.push_back(level);
        level = WithoutTrailingBackslashes(parent);
    }
    for (auto level = missing.rbegin(); level != missing.rend(); ++level)
        if (!CreateOneFolder(*level, descriptor)) return;
}

bool CreateOneFolder(const std::string& path, void* descriptor) {
    os::SecurityAttributes security{descriptor};
    return os::CreateDirectoryA(path.c_str(), descriptor ? &security : nullptr);
}
