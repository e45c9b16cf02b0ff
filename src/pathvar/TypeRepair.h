// Turns a REG_SZ Path value into REG_EXPAND_SZ, protected by a backup value.
#pragma once

#include <cstdint>
#include <string>

bool RepairVariableType();

// The variable's registry type, read the way the repair and add flows start:
// a missing value or an unreadable type is reported and gives false.
bool FetchVariableType(std::uint32_t& type);
// The variable's text, of a type already checked: a failed read, or a text
// the ANSI code page cannot carry, is reported and gives false.
bool ReadVariableText(std::uint32_t type, std::string& text);
