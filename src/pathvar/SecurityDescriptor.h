// Who owns an object and whom its DACL lets in, read from the descriptor
// Windows stores (self-relative), with every offset checked against its size.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <string>
#include <vector>

// An allow entry that applies to the object itself (not one it only passes on
// to what it holds): its trustee as "S-1-5-..." and the rights it grants.
struct AllowEntry {
    std::string trustee;
    std::uint32_t rights;
};

struct Descriptor {
    std::string owner;      // "S-1-5-...", empty when there is none
    bool nullDacl = false;  // no DACL at all: everyone may do everything
    std::vector<AllowEntry> allowed;
    bool unreadAllow = false;  // an allow entry of a kind this reader does not take apart
};

// False when the bytes are no well-formed descriptor.
bool ParseDescriptor(const std::vector<unsigned char>& bytes, Descriptor& descriptor);
// The owner and DACL of a file or folder, or of a kernel object; false when
// Windows does not give them.
bool ReadFileDescriptor(const std::string& path, Descriptor& descriptor);
bool ReadObjectDescriptor(os::Handle object, Descriptor& descriptor);
// The SID of the user the command runs as, as "S-1-5-21-..."; false if unknown.
bool ReadCurrentUserSid(std::string& sid);
// SYSTEM, Administrators, or the user running the command.
bool IsSystemAdministratorsOrUser(const std::string& sid, const std::string& user);
