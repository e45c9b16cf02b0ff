#include "pathvar/SecurityDescriptor.h"

#include <cstddef>

namespace {

constexpr std::uint16_t kDaclPresent = 0x0004;
constexpr unsigned char kAccessAllowed = 0, kAccessAllowedCallback = 9;
constexpr unsigned char kAccessDenied = 1, kAccessDeniedObject = 6;
constexpr unsigned char kAccessDeniedCallback = 0x0A, kAccessDeniedCallbackObject = 0x0C;
constexpr unsigned char kObjectInherit = 0x01, kInheritOnly = 0x08;
constexpr std::size_t kDescriptorHeader = 20, kAclHeader = 8, kAceHeader = 4, kSidHeader = 8;

const char kSystem[] = "S-1-5-18";
const char kAdministrators[] = "S-1-5-32-544";

// Little-endian numbers at an offset already known to lie inside the bytes.
std::uint32_t Number(const std::vector<unsigned char>& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
    return value;
}

// The SID at an offset as "S-R-A-S1-S2...", or false when it does not fit.
bool SidAt(const std::vector<unsigned char>& bytes, std::size_t at, std::size_t end,
           std::string& text) {
    if (at + kSidHeader > end) return false;
    const std::size_t count = bytes[at + 1];
    if (at + kSidHeader + 4 * count > end) return false;
    std::uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) authority = authority << 8 | bytes[at + i];
    text = "S-" + std::to_string(bytes[at]) + "-";
    // As Windows writes it: an authority beyond 32 bits in hexadecimal.
    if (authority >> 32) {
        static const char digits[] = "0123456789ABCDEF";
        std::string hex;
        for (; authority; authority >>= 4) hex.insert(hex.begin(), digits[authority & 15]);
        text += "0x" + hex;
    } else {
        text += std::to_string(authority);
    }
    for (std::size_t i = 0; i < count; ++i)
        text += "-" + std::to_string(Number(bytes, at + kSidHeader + 4 * i, 4));
    return true;
}

bool ParseDacl(const std::vector<unsigned char>& bytes, std::size_t at, Descriptor& descriptor) {
    if (at + kAclHeader > bytes.size()) return false;
    const std::size_t end = at + Number(bytes, at + 2, 2);
    if (end > bytes.size() || end < at + kAclHeader) return false;
    const std::uint32_t count = Number(bytes, at + 4, 2);
    std::size_t ace = at + kAclHeader;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (ace + kAceHeader > end) return false;
        const unsigned char type = bytes[ace], flags = bytes[ace + 1];
        const std::size_t size = Number(bytes, ace + 2, 2);
        if (size < kAceHeader || ace + size > end) return false;
        switch (type) {
            case kAccessAllowed:
            case kAccessAllowedCallback: {
                AllowEntry entry{"", 0, !(flags & kInheritOnly), (flags & kObjectInherit) != 0};
                // The mask, then the SID, both inside the entry.
                if (size < kAceHeader + 4 ||
                    !SidAt(bytes, ace + kAceHeader + 4, ace + size, entry.trustee))
                    return false;
                entry.rights = Number(bytes, ace + kAceHeader, 4);
                descriptor.allowed.push_back(entry);
                break;
            }
            case kAccessDenied:
            case kAccessDeniedObject:
            case kAccessDeniedCallback:
            case kAccessDeniedCallbackObject:
                break;  // a denial lets no one in
            default:
                descriptor.unreadEntry = true;
        }
        ace += size;
    }
    return true;
}

// Asks the size first, then reads: the descriptor may be of any length.
template <typename Read>
bool ReadDescriptor(Read read, Descriptor& descriptor) {
    const os::u32 information = os::OwnerSecurityInformation | os::DaclSecurityInformation;
    std::vector<unsigned char> bytes(256);
    os::u32 needed = 0;
    if (!read(information, bytes.data(), static_cast<os::u32>(bytes.size()), &needed)) {
        if (os::GetLastError() != os::ErrorInsufficientBuffer || needed <= bytes.size())
            return false;
        bytes.resize(needed);
        if (!read(information, bytes.data(), needed, &needed)) return false;
    }
    // Only what Windows wrote is read: an offset past it is the descriptor's fault.
    if (needed < bytes.size()) bytes.resize(needed);
    return ParseDescriptor(bytes, descriptor);
}

}  // namespace

bool ParseDescriptor(const std::vector<unsigned char>& bytes, Descriptor& descriptor) {
    descriptor = Descriptor();
    if (bytes.size() < kDescriptorHeader) return false;
    const std::uint32_t control = Number(bytes, 2, 2);
    const std::uint32_t owner = Number(bytes, 4, 4), dacl = Number(bytes, 16, 4);
    if (owner && !SidAt(bytes, owner, bytes.size(), descriptor.owner)) return false;
    descriptor.nullDacl = !(control & kDaclPresent) || dacl == 0;
    return descriptor.nullDacl || ParseDacl(bytes, dacl, descriptor);
}

bool ReadFileDescriptor(const std::string& path, Descriptor& descriptor) {
    return ReadDescriptor(
        [&](os::u32 information, void* bytes, os::u32 length, os::u32* needed) {
            return os::GetFileSecurityA(path.c_str(), information, bytes, length, needed);
        },
        descriptor);
}

bool ReadObjectDescriptor(os::Handle object, Descriptor& descriptor) {
    return ReadDescriptor(
        [&](os::u32 information, void* bytes, os::u32 length, os::u32* needed) {
            return os::GetKernelObjectSecurity(object, information, bytes, length, needed);
        },
        descriptor);
}

bool ReadCurrentUserSid(std::string& sid) {
    os::Handle token = 0;
    if (!os::OpenProcessToken(os::GetCurrentProcess(), os::TokenQuery, &token)) return false;
    // A TOKEN_USER: the address of the SID, which lies in the same buffer.
    std::vector<unsigned char> user(256);
    os::u32 size = 0;
    const bool read = os::GetTokenInformation(token, os::TokenUserClass, user.data(),
                                              static_cast<os::u32>(user.size()), &size);
    os::CloseHandle(token);
    if (!read || size > user.size()) return false;
    const unsigned char* at = *reinterpret_cast<unsigned char* const*>(user.data());
    if (at < user.data() || at >= user.data() + size) return false;
    return SidAt(user, static_cast<std::size_t>(at - user.data()), size, sid);
}

bool IsSystemOrAdministrators(const std::string& sid) {
    return sid == kSystem || sid == kAdministrators;
}
