// Makes sure the folder exists, creating its missing levels outermost first.
#pragma once

#include <string>

// True when the folder is in place at the end (found or created); prints
// nothing when it fails: the caller reports that.
bool EnsureFolder(std::string folder);
bool CreateFolderTree(const std::string& path);
bool CreateOneFolder(const std::string& path);
