// One registry value at a time, addressed by a root key and a value path:
// sub-key and value name split at the last backslash. Each operation opens
// the sub-key, does one thing and closes it again; nothing is printed.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <string>
#include <vector>

bool PutRawValue(os::RegKey root, const std::string& valuePath, std::uint32_t type,
                 const unsigned char* data, std::uint32_t size);
// On success data holds the bytes as stored: texts in UTF-16.
bool FetchRawValue(os::RegKey root, const std::string& valuePath, std::uint32_t expectedType,
                   std::vector<unsigned char>& data);
bool PutSzValue(os::RegKey root, const std::string& valuePath, const std::string& text);
bool PutExpandSzValue(os::RegKey root, const std::string& valuePath, const std::string& text);
// The text of a REG_SZ or REG_EXPAND_SZ value in the ANSI code page. On
// false the text is unchanged, and notAnsi tells a text that the code page
// cannot carry (or a size that is no whole number of UTF-16 characters) from
// a read that failed or found another type.
bool FetchSzValue(os::RegKey root, const std::string& valuePath, std::string& text, bool& notAnsi);
bool FetchExpandSzValue(os::RegKey root, const std::string& valuePath, std::string& text,
                        bool& notAnsi);
bool HasValue(os::RegKey root, const std::string& valuePath);
// The same, and on false whether the registry said the key or value is not
// there, as against refusing or failing the read.
bool HasValue(os::RegKey root, const std::string& valuePath, bool& missing);
bool FetchValueType(os::RegKey root, const std::string& valuePath, std::uint32_t& type);
bool RemoveValue(os::RegKey root, const std::string& valuePath);

std::int32_t LastCharPos(char ch, const std::string& text);
