#include "front/wayFOLD.h"

#include "MiniReg/MiniReg.h"
#include "common/Console.h"
#include "common/PathText.h"
#include "common/ProgramState.h"
#include "folder/FolderCreation.h"
#include "folder/FolderValidation.h"
#include "front/CommandLine.h"
#include "front/ExceptionReport.h"
#include "pathvar/AddToVariable.h"
#include "pathvar/PathList.h"
#include "pathvar/TypeRepair.h"
#include "pathvar/VariableLocation.h"
#include "pathvar/VariableLock.h"

#include <exception>

namespace {

// Every registry call of the job is made in this run's turn (no other run
// in between), and the turn never waits for a key.
void RepairOnly() {
    if (!LockVariable()) return;
    ExitStatus = RepairVariableType() ? 0 : 1;
    UnlockVariable();
    ShowPathVariable(CurrentPathText, NewPathText);
}

// The folder added to the variable, which is made if missing; false when it
// was not, the reason said.
bool AddToVariable() {
    if (!EnsureVariable(RootKey, ValuePath)) {
        PrintConverted("Création de la variable Path échouée (droits requis).");
        return false;
    }
    if (!FetchValueType(RootKey, ValuePath, ValueKind)) {
        PrintConverted("Lecture du type de la variable Path échouée.");
        return false;
    }
    if (ValueKind == os::RegSz) return AddToSzVariable(FolderArg);
    if (ValueKind == os::RegExpandSz) return AddToExpandSzVariable(FolderArg);
    return false;  // neither text type: nothing to say, status stays 1
}

void AddFolder() {
    if (!ValidateFolder(FolderArg)) return;
    if (!EnsureFolder(FolderArg)) {
        ReportCreationError(FolderArg);
        return;
    }
    if (!LockVariable()) return;
    const bool added = AddToVariable();
    UnlockVariable();
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

}  // namespace

std::int32_t wayFOLD() {
    std::int32_t status;
    try {
        ReadLeadByteSet();
        StdInHandle = os::GetStdHandle(os::StdInputHandle);
        OpenStdOut();
        try {
            RunOnePass();
        } catch (...) {
            // An output error may end the run in its turn: let the turn go
            // rather than leave it abandoned to the next run.
            UnlockVariable();
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
