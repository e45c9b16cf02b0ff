#include "pathvar/ProtectedFolder.h"

#include "common/Console.h"
#include "common/FolderOnDisk.h"
#include "common/PathText.h"
#include "pathvar/SecurityDescriptor.h"
#include "platform/AnsiText.h"

#include <cstdint>

namespace {

constexpr std::uint32_t kWriteData = 0x2, kAppendData = 0x4, kWriteExtendedAttributes = 0x10;
constexpr std::uint32_t kDeleteChild = 0x40, kWriteAttributes = 0x100, kDelete = 0x10000;
constexpr std::uint32_t kWriteDac = 0x40000, kWriteOwner = 0x80000;
constexpr std::uint32_t kGenericAll = 0x10000000, kGenericWrite = 0x40000000;

// A file: change it, replace it, or take it over.
constexpr std::uint32_t kFileRights = kWriteData | kAppendData | kWriteExtendedAttributes |
                                      kWriteAttributes | kDelete | kWriteDac | kWriteOwner |
                                      kGenericWrite | kGenericAll;
// The folder itself: put a program in it too, or delete what it holds.
constexpr std::uint32_t kFolderRights = kFileRights | kDeleteChild;
// A folder above it: enough to rename the levels below away and make them anew.
constexpr std::uint32_t kAboveRights =
    kDelete | kDeleteChild | kWriteDac | kWriteOwner | kGenericAll;
// The root: users may make folders at C:\ by default, which threatens no
// protected level; removing or taking over one does.
constexpr std::uint32_t kRootRights = kDeleteChild | kWriteDac | kWriteOwner | kGenericAll;

enum class Role { File, Folder, Above, Root };

const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const char kCreatorOwner[] = "S-1-3-0";
const char kOwnerRights[] = "S-1-3-4";

bool IsTrusted(const std::string& sid) {
    return IsSystemOrAdministrators(sid) || sid == kTrustedInstaller;
}

// CREATOR OWNER matches no one when access is checked, and what it passes
// on goes to a file's maker, who had to be let in to make it; OWNER RIGHTS
// is the owner.
bool GrantsOthers(const AllowEntry& entry, const std::string& owner) {
    if (entry.trustee == kCreatorOwner) return false;
    return !IsTrusted(entry.trustee == kOwnerRights ? owner : entry.trustee);
}

std::uint32_t RightsOf(Role role) {
    switch (role) {
        case Role::File:
            return kFileRights;
        case Role::Folder:
            return kFolderRights;
        case Role::Above:
            return kAboveRights;
        default:
            return kRootRights;
    }
}

bool OthersMayChange(const Descriptor& descriptor, Role role) {
    if (!IsTrusted(descriptor.owner) || descriptor.nullDacl || descriptor.unreadEntry) return true;
    // What the folder passes on to the files made in it later counts as
    // much as what the files there now allow.
    const std::uint32_t inherited = role == Role::Folder ? kFileRights : 0;
    for (const AllowEntry& entry : descriptor.allowed) {
        const std::uint32_t counted =
            (entry.onObject ? RightsOf(role) : 0) | (entry.toFiles ? inherited : 0);
        if ((entry.rights & counted) && GrantsOthers(entry, descriptor.owner)) return true;
    }
    return false;
}

// A file as it is named, a folder with its trailing backslash.
std::string Shown(const std::string& path, Role role) {
    return role == Role::File ? path : AddTrailingBackslash(path);
}

void Refuse(const std::string& path, Role role) {
    PrintFormatted(
        role == Role::File
            ? "Le fichier %s peut être modifié par d'autres utilisateurs que les administrateurs (variable Path non modifiée)."
            : "Le dossier %s peut être modifié par d'autres utilisateurs que les administrateurs (variable Path non modifiée).",
        Shown(path, role));
}

void RefuseUnread(const std::string& path, Role role) {
    PrintFormatted(
        role == Role::File
            ? "Les droits du fichier %s ne peuvent pas être lus (variable Path non modifiée)."
            : "Les droits du dossier %s ne peuvent pas être lus (variable Path non modifiée).",
        Shown(path, role));
}

bool CheckLevel(const std::string& path, Role role);

// Every file the folder holds now (its sub-folders are on no Path), each on
// its own: the levels above it are the folder's.
bool CheckFiles(const std::string& folder) {
    os::FindData found{};
    const os::Handle find = os::FindFirstFileW(os::ToWide(folder + "\\*").c_str(), &found);
    if (find == os::InvalidHandleValue) {
        RefuseUnread(folder, Role::Folder);
        return false;
    }
    bool kept = true;
    do {
        if (found.FileAttributes & os::FileAttributeDirectory) continue;
        std::string name;
        // A name the code page cannot carry would be read as another file's.
        if (!ToAnsiExactly(found.FileName, name)) {
            RefuseUnread(folder + "\\" + os::ToAnsi(found.FileName), Role::File);
            kept = false;
        } else {
            kept = CheckLevel(folder + "\\" + name, Role::File);
        }
    } while (kept && os::FindNextFileW(find, &found));
    os::FindClose(find);
    return kept;
}

bool CheckPath(const std::string& path, Role role);

// One level: its own descriptor (a link's is the link's), then what a link
// leads to, as if it stood there, and the files of the folder.
bool CheckLevel(const std::string& path, Role role) {
    Descriptor descriptor;
    if (!ReadFileDescriptor(path, descriptor)) {
        RefuseUnread(path, role);
        return false;
    }
    if (OthersMayChange(descriptor, role)) {
        Refuse(path, role);
        return false;
    }
    if (role == Role::Root) return true;
    std::string target;
    if (IsReparsePoint(path)) {
        if (!ResolveLink(path, target)) {
            PrintFormatted(
                "La cible du lien %s ne peut pas être trouvée (variable Path non modifiée).",
                Shown(path, role));
            return false;
        }
        // A mount point, or another reparse point that is no link, leads to itself.
        if (target != path) return CheckPath(target, role);
    }
    return role != Role::Folder || CheckFiles(path);
}

// The path in its role, and every level above it up to its drive's root.
bool CheckPath(const std::string& path, Role role) {
    const std::string drive = DrivePart(path);
    const std::string root = AddTrailingBackslash(drive);
    // FAT and exFAT keep no permissions: anyone may change anything there.
    os::u32 flags = 0;
    if (!os::GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                   0) ||
        !(flags & os::FilePersistentAcls)) {
        Refuse(path, role);
        return false;
    }
    for (std::string level = DropTrailingBackslashes(path); level.size() > drive.size();
         level = DropTrailingBackslashes(DirectoryPart(level))) {
        if (!CheckLevel(level, role)) return false;
        role = Role::Above;
    }
    return CheckLevel(root, Role::Root);
}

}  // namespace

bool CheckProtectedFolder(const std::string& folder) { return CheckPath(folder, Role::Folder); }
