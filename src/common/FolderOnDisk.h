// What stands on disk under a name: a folder, or a link (junction, symbolic
// link, mount point) and where it leads.
#pragma once

#include <string>

// True when path names an existing folder (a file does not count); a link
// counts only when it leads to one.
bool FolderExists(const std::string& path);
// True when the name is a reparse point, which a link is.
bool IsReparsePoint(const std::string& path);
// Where opening the name leads, every link on the way followed, as
// "C:\..." or "\\server\share\..."; false when it leads nowhere: a dangling
// link, a volume without a drive letter, a name the ANSI code page cannot
// carry.
bool ResolveLink(const std::string& path, std::string& target);
