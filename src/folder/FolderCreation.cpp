#include "folder/FolderCreation.h"

#include "common/Console.h"
#include "common/FolderOnDisk.h"
#include "common/PathText.h"
#include "common/ProgramState.h"
#include "platform/Platform.h"

#include <vector>

namespace {

// With /K the folder goes on every user's Path, administrators' and services'
// included: like Program Files, it may be changed by administrators only, or
// any user could put there a program that an administrator then runs. They
// own it too: an owner may always rewrite the permissions, and Windows gives
// that owner only to a process with administrator rights.
const char kMachineFolderSddl[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

}  // namespace

bool EnsureFolder(std::string folder) {
    if (folder.empty()) return false;
    bool found = false, made = false;
    void* descriptor = nullptr;
    try {
        found = FolderExists(folder);
        if (!found &&
            (!MachineScope || os::ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                  kMachineFolderSddl, os::SddlRevision1, &descriptor, nullptr))) {
            made = CreateFolderTree(folder, descriptor);
            found = FolderExists(folder);
        }
    } catch (...) {
        // Whatever went wrong in the creation, the folder is as found says.
    }
    if (descriptor) os::LocalFree(descriptor);
    if (!found) return false;
    // Outside the creation's catch: an output error ends the run here,
    // before the Path is locked or touched.
    PrintLine("");
    PrintFormatted(made ? "Le chemin %s a été créé." : "Le chemin %s existe déjà sur le lecteur.",
                   folder);
    PrintLine("");
    return true;
}

void ReportCreationError(const std::string& folder) {
    PrintFormatted("Erreur dans la création du dossier %s", folder);
}

bool CreateFolderTree(const std::string& path, void* descriptor) {
    // Up from the folder to its first level that exists (a bare drive is taken
    // as present), then the missing ones, outermost first. Every trailing
    // backslash goes: with one left, a level would be its own parent.
    std::vector<std::string> missing;
    for (std::string level = DropTrailingBackslashes(path);
         level.size() >= 3 && !FolderExists(level);) {
        std::string parent = DirectoryPart(level);
        if (parent == level) break;
        missing.push_back(level);
        level = DropTrailingBackslashes(parent);
    }
    bool made = false;
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
        made = CreateOneFolder(*level, descriptor);
        // Another run may make the same level at the same moment: it is there all the same.
        if (!made && (os::GetLastError() != os::ErrorAlreadyExists || !FolderExists(*level)))
            return false;
    }
    return made;
}

bool CreateOneFolder(const std::string& path, void* descriptor) {
    os::SecurityAttributes security{descriptor};
    return os::CreateDirectoryA(path.c_str(), descriptor ? &security : nullptr);
}
