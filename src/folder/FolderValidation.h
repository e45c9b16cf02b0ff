// Checks the folder named on the command line, brings it to its form with a
// trailing backslash, shows it and asks for confirmation.
#pragma once

#include <string>

bool ValidateFolder(std::string& folder);
