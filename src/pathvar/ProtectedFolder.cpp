#include "pathvar/ProtectedFolder.h"

#include "common/Console.h"
#include "common/PathText.h"
#include "pathvar/SecurityDescriptor.h"

#include <cstdint>

namespace {

constexpr std::uint32_t kWriteData = 0x2, kAppendData = 0x4, kWriteExtendedAttributes = 0x10;
constexpr std::uint32_t kDeleteChild = 0x40, kWriteAttributes = 0x100, kDelete = 0x10000;
constexpr std::uint32_t kWriteDac = 0x40000, kWriteOwner = 0x80000;
constexpr std::uint32_t kGenericAll = 0x10000000, kGenericWrite = 0x40000000;

// The folder itself: put a program in it, change it, delete it, or take it over.
constexpr std::uint32_t kFolderRights = kWriteData | kAppendData | kWriteExtendedAttributes |
                                        kWriteAttributes | kDelete | kDeleteChild | kWriteDac |
                                        kWriteOwner | kGenericWrite | kGenericAll;
// A folder above it: enough to rename the levels below away and make them anew.
constexpr std::uint32_t kAboveRights =
    kDelete | kDeleteChild | kWriteDac | kWriteOwner | kGenericAll;
// The root: users may make folders at C:\ by default, which threatens no
// protected level; removing or taking over one does.
constexpr std::uint32_t kRootRights = kDeleteChild | kWriteDac | kWriteOwner | kGenericAll;

const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

bool IsTrusted(const std::string& sid, const std::string& user) {
    return IsSystemAdministratorsOrUser(sid, user) || sid == kTrustedInstaller;
}

bool OthersMayChange(const Descriptor& descriptor, std::uint32_t rights, const std::string& user) {
    if (!IsTrusted(descriptor.owner, user) || descriptor.nullDacl || descriptor.unreadAllow)
        return true;
    for (const AllowEntry& entry : descriptor.allowed)
        if (!IsTrusted(entry.trustee, user) && (entry.rights & rights)) return true;
    return false;
}

void RefuseLevel(const std::string& shown) {
    PrintFormatted(
        "Le dossier %s peut être modifié par d'autres utilisateurs que les administrateurs (variable Path non modifiée).",
        shown);
}

bool CheckLevel(const std::string& path, std::uint32_t rights, const std::string& user) {
    const std::string shown = AddTrailingBackslash(path);
    Descriptor descriptor;
    if (!ReadFileDescriptor(path, descriptor)) {
        PrintFormatted(
            "Les droits du dossier %s ne peuvent pas être lus (variable Path non modifiée).",
            shown);
        return false;
    }
    if (!OthersMayChange(descriptor, rights, user)) return true;
    RefuseLevel(shown);
    return false;
}

}  // namespace

bool CheckProtectedFolder(const std::string& folder) {
    const std::string drive = DrivePart(folder);
    const std::string root = AddTrailingBackslash(drive);
    // FAT and exFAT keep no permissions: anyone may change anything there.
    os::u32 flags = 0;
    if (!os::GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                   0) ||
        !(flags & os::FilePersistentAcls)) {
        RefuseLevel(folder);
        return false;
    }
    // Unknown, the user is not trusted: only SYSTEM and the administrators are.
    std::string user;
    ReadCurrentUserSid(user);
    std::uint32_t rights = kFolderRights;
    for (std::string level = DropTrailingBackslashes(folder); level.size() > drive.size();
         level = DropTrailingBackslashes(DirectoryPart(level))) {
        if (!CheckLevel(level, rights, user)) return false;
        rights = kAboveRights;
    }
    return CheckLevel(root, kRootRights, user);
}
