// Makes sure the folder exists, creating its missing levels outermost first.
#pragma once

#include <string>

// True when the folder is in place at the end (found or created); prints
// nothing when it fails: the caller reports that. With /K the levels it
// creates may be changed by administrators only.
bool EnsureFolder(std::string folder);
// The one message for a folder that cannot be made, whether found out before
// creating it or by trying.
void ReportCreationError(const std::string& folder);
// Creates the missing levels up to the first one that fails; true when it
// made the last one. Whether the folder is there afterwards, Windows tells:
// it may report a name it takes for a device as created. descriptor: the
// security descriptor every level made gets, or null for the permissions it
// inherits.
bool CreateFolderTree(const std::string& path, void* descriptor);
bool CreateOneFolder(const std::string& path, void* descriptor);
