// The all-users Path reaches every user, administrators and services
// included: a folder that another user could change, or replace by changing
// a folder above it, would let that user put there a program that an
// administrator then runs.
#pragma once

#include <string>

// True when only SYSTEM, Administrators and TrustedInstaller can change the
// folder (which ends in a backslash), what it holds and what its files will
// inherit, or replace it through a level above it, links followed; else
// says what fails and gives false.
bool CheckProtectedFolder(const std::string& folder);
