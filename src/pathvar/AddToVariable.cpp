#include "pathvar/AddToVariable.h"

#include "MiniReg/MiniReg.h"
#include "common/Console.h"
#include "common/ProgramState.h"
#include "pathvar/PathList.h"
#include "pathvar/ProtectedFolder.h"
#include "pathvar/TypeRepair.h"
#include "platform/AnsiText.h"

#include <cstdint>

namespace {

// Windows gives a process no variable longer than this (its zero left out).
constexpr std::size_t kLongestVariable = 32766;

// What both add flows start with: the value exists, has this type, and its
// list is read into CurrentPathText; the list as it will stand after the run
// (the folder appended unless it is there) goes into updated.
bool ReadList(std::uint32_t expectedType, const char* wrongTypeMessage, const std::string& folder,
              std::string& updated) {
    std::uint32_t type = 0;
    if (!FetchVariableType(type)) return false;
    if (type != expectedType) {
        PrintConverted(wrongTypeMessage);
        return false;
    }
    if (!ReadVariableText(type, CurrentPathText)) return false;
    // Windows reads the variable only up to its first zero: a folder added
    // after one would never be seen.
    if (CurrentPathText.find('\0') != std::string::npos) {
        PrintConverted("La variable Path contient un caractère nul (non modifiée).");
        return false;
    }
    updated = PathListContains(folder, CurrentPathText) ? CurrentPathText
                                                        : AppendToPathList(CurrentPathText, folder);
    // Too long, the Path reaches no process, the folder with it: refused
    // before anything is written, the repair of /R included.
    if (os::ToWide(updated).size() > kLongestVariable) {
        PrintConverted("La variable Path dépasserait 32767 caractères (non modifiée).");
        return false;
    }
    // Checked here, under the lock and right before the write (or the repair
    // that comes first with /R), after the folder was made: a level another
    // user made or changed in the meantime fails it all the same.
    return !MachineScope || updated == CurrentPathText || CheckProtectedFolder(folder);
}

// The list written back with its type, unless the folder is there already.
bool Add(const std::string& folder, const std::string& updated, std::uint32_t type) {
    if (updated == CurrentPathText) {
        PrintFormatted("Le chemin %s existe déjà dans la variable Path.", folder);
        PrintLine("");
        return true;
    }
    NewPathText = updated;
    if (type == os::RegSz ? PutSzValue(RootKey, ValuePath, NewPathText)
                          : PutExpandSzValue(RootKey, ValuePath, NewPathText))
        return true;
    PrintConverted("Ecriture de la variable Path échouée (droits requis).");
    return false;
}

}  // namespace

bool EnsureVariable(os::RegKey root, const std::string& valuePath) {
    bool missing = false;
    if (HasValue(root, valuePath, missing)) return true;
    // Only a value the registry says is not there gets created: a read refused
    // for any other reason would otherwise replace the user's Path with nothing.
    if (!missing || !PutExpandSzValue(root, valuePath, "")) return false;
    PrintConverted("La variable Path (inexistante) a été créée.");
    PrintLine("");
    return true;
}

bool AddToExpandSzVariable(const std::string& folder) {
    std::string updated;
    if (!ReadList(os::RegExpandSz, "La variable Path ne possède pas le type REG_EXPAND_SZ.", folder,
                  updated))
        return false;
    return Add(folder, updated, os::RegExpandSz);
}

bool AddToSzVariable(const std::string& folder) {
    std::string updated;
    if (!ReadList(os::RegSz, "La variable Path ne possède pas le type REG_SZ.", folder, updated))
        return false;
    if (RepairType) {
        if (!RepairVariableType()) return false;
        return AddToExpandSzVariable(folder);
    }
    PrintConverted("La variable Path possède le type REG_SZ (réparation recommandée).");
    PrintLine("");
    return Add(folder, updated, os::RegSz);
}
