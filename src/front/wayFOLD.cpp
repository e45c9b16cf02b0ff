#include "front/wayFOLD.h"

#include "MiniReg/MiniReg.h"
#include "folder/FolderCreation.h"
#include "folder/FolderValidation.h"
#include "folder/PathText.h"
#include "front/CommandLine.h"
#include "front/Console.h"
#include "front/ProgramState.h"
#include "front/RuntimeError.h"
#include "pathvar/AddToVariable.h"
#include "pathvar/PathList.h"
#include "pathvar/TypeRepair.h"
#include "pathvar/VariableLocation.h"

#include <exception>

namespace {

void RepairOnly() {
    ExitStatus = RepairVariableType() ? 0 : 1;
    ShowPathVariable(CurrentPathText, NewPathText);
}

void AddFolder() {
    if (!ValidateFolder(FolderArg)) return;
    if (!EnsureFolder(FolderArg)) {
        ReportCreationError(FolderArg);
        return;
    }
    if (!EnsureVariable(RootKey, ValuePath)) {
        PrintConverted("Cr\xE9" "ation de la variable Path \xE9" "chou\xE9" "e (droits requis).");
        return;
    }
    if (!FetchValueType(RootKey, ValuePath, ValueKind)) {
        PrintConverted("Lecture du type de la variable Path \xE9" "chou\xE9" "e.");
        return;
    }
    bool added;
    if (ValueKind == os::RegSz)
        added = AddToSzVariable(FolderArg);
    else if (ValueKind == os::RegExpandSz)
        added = AddToExpandSzVariable(FolderArg);
    else
        return; // neither text type: nothing to say, status stays 1
    if (!added) return;
    ExitStatus = 0;
    ShowPathVariable(CurrentPathText, NewPathText);
}

void RunOnePass() {
    if (!ParseCommandLine()) return;
    ChooseVariable();
    if (RepairType && FolderArg.empty())
        RepairOnly();
    else
        AddFolder();
}

} // namespace

std::int32_t wayFOLD() {
    std::int32_t status;
    try {
        ReadLeadByteSet();
        StdInHandle = os::GetStdHandle(os::StdInputHandle);
        OpenStdOut();
        try {
            RunOnePass();
        } catch (...) {
            CloseStdOut();
            throw;
        }
        CloseStdOut();
        status = ExitStatus;
    } catch (...) {
        ReportUnhandledException(std::current_exception());
        status = 1;
    }
    return status;
}
