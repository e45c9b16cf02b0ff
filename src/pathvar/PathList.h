// The ';'-separated list held by a Path variable.
#pragma once

#include <string>

bool PathListContains(const std::string& folder, const std::string& list);
std::string AppendToPathList(const std::string& list, const std::string& folder);
void ShowPathVariable(const std::string& current, const std::string& updated);
