// Who owns an object and whom its DACL lets in, read from the descriptor
// Windows stores (self-relative), with every offset checked against its size.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <string>
#include <vector>

// An allow entry: its trustee as "S-1-5-...", the rights it grants, and
// whether they apply to the object itself (not only to what it will hold)
// and to the files made in it.
struct AllowEntry {
    std::string trustee;
    std::uint32_t rights;
    bool onObject;
    bool toFiles;
};

struct Descriptor {
    std::string owner;      // "S-1-5-...", empty when there is none
    bool nullDacl = false;  // no DACL at all: everyone may do everything
    std::vector<AllowEntry> allowed;
    // An entry that this reader does not take apart: one that allows by
    // object kind, a compound one, one of a kind it does not know.
    bool unreadEntry = false;
};

// False when the bytes are no well-formed descriptor.
bool ParseDescriptor(const std::vector<unsigned char>& bytes, Descriptor& descriptor);
// The owner and DACL of a file or folder, or of a kernel object; false when
// Windows does not give them.
bool ReadFileDescriptor(const std::string& path, Descriptor& descriptor);
bool ReadObjectDescriptor(os::Handle object, Descriptor& descriptor);
// The SID of the user the command runs as, as "S-1-5-21-..."; false if unknown.
bool ReadCurrentUserSid(std::string& sid);
bool IsSystemOrAdministrators(const std::string& sid);
