#include "pathvar/AddToVariable.h"

#include "MiniReg/MiniReg.h"
#include "front/AnsiText.h"
#include "front/Console.h"
#include "front/ProgramState.h"
#include "pathvar/PathList.h"
#include "pathvar/TypeRepair.h"

#include <cstdint>

namespace {

// Windows gives a process no variable longer than this (its zero left out).
constexpr std::size_t kLongestVariable = 32766;

// What both add flows start with: the value exists, has this type, and its
// list is read into CurrentPathText.
bool ReadList(std::uint32_t expectedType, const char* wrongTypeMessage) {
    std::uint32_t type = 0;
    if (!FetchVariableType(type)) return false;
    if (type != expectedType) {
        PrintConverted(wrongTypeMessage);
        return false;
    }
    if (!ReadVariableText(type, CurrentPathText)) return false;
    // Windows reads the variable only up to its first zero: a folder added
    // after one would never be seen.
    if (CurrentPathText.find('\0') == std::string::npos) return true;
    PrintConverted("La variable Path contient un caract\xE8re nul (non modifi\xE9" "e).");
    return false;
}

// The folder appended, unless it is there already, and the list written back
// with its type.
bool Add(const std::string& folder, std::uint32_t type) {
    if (PathListContains(folder, CurrentPathText)) {
        PrintFormatted("Le chemin %s existe d\xE9j\xE0 dans la variable Path.", folder);
        PrintLine("");
        return true;
    }
    NewPathText = AppendToPathList(CurrentPathText, folder);
    // Too long, the Path would reach no process, and the folder with it.
    if (ToWide(NewPathText).size() > kLongestVariable) {
        PrintConverted("La variable Path d\xE9passerait 32767 caract\xE8res (non modifi\xE9" "e).");
        return false;
    }
    if (type == os::RegSz ? PutSzValue(RootKey, ValuePath, NewPathText)
                          : PutExpandSzValue(RootKey, ValuePath, NewPathText))
        return true;
    PrintConverted("Ecriture de la variable Path \xE9" "chou\xE9" "e (droits requis).");
    return false;
}

} // namespace

bool EnsureVariable(os::RegKey root, const std::string& valuePath) {
    bool missing = false;
    if (HasValue(root, valuePath, missing)) return true;
    // Only a value the registry says is not there gets created: a read refused
    // for any other reason would otherwise replace the user's Path with nothing.
    if (!missing || !PutExpandSzValue(root, valuePath, "")) return false;
    PrintConverted("La variable Path (inexistante) a \xE9t\xE9 cr\xE9\xE9" "e.");
    PrintLine("");
    return true;
}

bool AddToExpandSzVariable(const std::string& folder) {
    if (!ReadList(os::RegExpandSz, "La variable Path ne poss\xE8" "de pas le type REG_EXPAND_SZ."))
        return false;
    return Add(folder, os::RegExpandSz);
}

bool AddToSzVariable(const std::string& folder) {
    if (!ReadList(os::RegSz, "La variable Path ne poss\xE8" "de pas le type REG_SZ.")) return false;
    if (RepairType) {
        if (!RepairVariableType()) return false;
        return AddToExpandSzVariable(folder);
    }
    PrintConverted("La variable Path poss\xE8" "de le type REG_SZ (r\xE9paration recommand\xE9" "e).");
    PrintLine("");
    return Add(folder, os::RegSz);
}
