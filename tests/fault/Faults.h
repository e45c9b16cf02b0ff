// The test build's stand-ins for the Windows calls whose answers a test may
// choose, where Wine cannot give Windows' own (Faults.cpp). The seam's real
// side makes these calls through the namespace win: in the program they are
// Windows' own, in the test build these, which forward to Windows unless the
// run's plan says otherwise.
#pragma once

#include <windows.h>
// Declared with the types of <windows.h>.
#include <sddl.h>

namespace win {

decltype(::RegCreateKeyExA) RegCreateKeyExA;
decltype(::RegOpenKeyExA) RegOpenKeyExA;
decltype(::RegQueryValueExW) RegQueryValueExW;
decltype(::RegSetValueExA) RegSetValueExA;
decltype(::RegDeleteValueA) RegDeleteValueA;
decltype(::CreateDirectoryA) CreateDirectoryA;
decltype(::CreateFileA) CreateFileA;
decltype(::GetFileAttributesA) GetFileAttributesA;
decltype(::CreateMutexExW) CreateMutexExW;
decltype(::ReleaseMutex) ReleaseMutex;
decltype(::GetFileSecurityA) GetFileSecurityA;
decltype(::GetVolumeInformationA) GetVolumeInformationA;
decltype(::ConvertStringSecurityDescriptorToSecurityDescriptorA)
    ConvertStringSecurityDescriptorToSecurityDescriptorA;

}  // namespace win
