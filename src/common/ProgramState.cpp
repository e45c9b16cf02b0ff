#include "common/ProgramState.h"

bool MachineScope = false;
bool RepairType = false;
bool Silent = false;
bool ShowHelp = false;
std::int32_t ExitStatus = 1;
std::string FolderArg;
bool FolderArgAltered = false;
std::string CurrentPathText;
std::string NewPathText;
os::Handle StdInHandle = 0;
os::RegKey RootKey = 0;
std::string ValuePath;
std::uint32_t ValueKind = 0;

void ReleaseGlobals() {
    FolderArg.clear();
    CurrentPathText.clear();
    NewPathText.clear();
    ValuePath.clear();
}
