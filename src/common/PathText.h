// Operations on path texts, safe for double-byte code pages: a backslash that
// is the second byte of a two-byte character is not a separator. Positions
// count from 1, as in the rest of the command.
#pragma once

#include <string>

enum class ByteKind { Single, Lead, Trail };

// Reads the lead bytes of the ANSI code page; once, at start.
void ReadLeadByteSet();
bool IsLeadByte(unsigned char byte);

ByteKind ByteKindAt(const std::string& text, std::size_t i);
bool IsBackslashAt(const std::string& text, std::size_t i);
std::string AddTrailingBackslash(const std::string& text);
std::string DropTrailingBackslash(const std::string& text);
// Every trailing backslash gone, the second byte of a two-byte character kept.
std::string DropTrailingBackslashes(const std::string& text);
std::size_t LastSeparatorPos(const std::string& text);  // 0 when none
std::string DirectoryPart(const std::string& text);
std::string DrivePart(const std::string& text);
// Only 'a' to 'z' change, whatever the locale: for names Windows itself
// compares that way.
std::string AsciiUpper(std::string text);
