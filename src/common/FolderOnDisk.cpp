#include "common/FolderOnDisk.h"

#include "common/PathText.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"

namespace {

// The name Windows gives, with its \\?\ before it, and its zero.
constexpr os::u32 kLongestFinalName = 4 + 260;

bool IsFolder(os::u32 attributes) {
    return attributes != os::InvalidFileAttributes && (attributes & os::FileAttributeDirectory);
}

// Opened for no access at all, which any name allows: what a link leads to.
os::Handle OpenFollowingLinks(const std::string& path) {
    return os::CreateFileA(path.c_str(), 0, os::FileShareAll, nullptr, os::OpenExisting,
                           os::FileFlagBackupSemantics, 0);
}

}  // namespace

bool FolderExists(const std::string& path) {
    const os::u32 attributes = os::GetFileAttributesA(path.c_str());
    if (!IsFolder(attributes)) return false;
    if (!(attributes & os::FileAttributeReparsePoint)) return true;
    // A link reports its own attributes, even when nothing is left behind it.
    const os::Handle target = OpenFollowingLinks(path);
    if (target == os::InvalidHandleValue) return false;
    os::CloseHandle(target);
    return true;
}

bool IsReparsePoint(const std::string& path) {
    const os::u32 attributes = os::GetFileAttributesA(path.c_str());
    return attributes != os::InvalidFileAttributes && (attributes & os::FileAttributeReparsePoint);
}

bool ResolveLink(const std::string& path, std::string& target) {
    const os::Handle file = OpenFollowingLinks(path);
    if (file == os::InvalidHandleValue) return false;
    char16_t name[kLongestFinalName];
    const os::u32 length = os::GetFinalPathNameByHandleW(file, name, kLongestFinalName, 0);
    os::CloseHandle(file);
    if (length >= kLongestFinalName) return false;  // too long for the ANSI calls
    // Windows puts \\?\ before C:\..., and \\?\UNC\ for \\server\share\...
    std::u16string wide(name, length);
    if (wide.compare(0, 8, u"\\\\?\\UNC\\") == 0)
        wide.replace(0, 8, u"\\\\");
    else
        wide.erase(0, 4);
    // Neither a drive nor a share: a volume without a drive letter.
    return ToAnsiExactly(wide, target) && !DrivePart(target).empty();
}
