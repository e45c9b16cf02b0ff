// Adding the folder to the Path variable, keeping the value's type.
#pragma once

#include "platform/Platform.h"

#include <string>

bool EnsureVariable(os::RegKey root, const std::string& valuePath);
bool AddToExpandSzVariable(const std::string& folder);
bool AddToSzVariable(const std::string& folder);
