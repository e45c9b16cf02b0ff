// Makes sure the folder exists, creating its missing levels outermost first.
#pragma once

#include <string>

// True when the folder is in place at the end (found or created); prints
// nothing when it fails: the caller reports that. With /K the levels it
// creates may be changed by administrators only.
bool EnsureFolder(std::string folder);
// descriptor: the security descriptor every created level gets, or null for
// the permissions it inherits.
bool CreateFolderTree(const std::string& path, void* descriptor);
bool CreateOneFolder(const std::string& path, void* descriptor);
