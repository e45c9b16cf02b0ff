#include "pathvar/TypeRepair.h"

#include "MiniReg/MiniReg.h"
#include "front/Console.h"
#include "front/ProgramState.h"
#include "platform/Platform.h"

#include <cstdint>
#include <string>

namespace {
const char kBackupSuffix[] = "_wayFOLD_BACKUP";
}

bool ReadVariableText(std::uint32_t type, std::string& text) {
    bool notAnsi = false;
    if (type == os::RegSz ? FetchSzValue(RootKey, ValuePath, text, notAnsi)
                          : FetchExpandSzValue(RootKey, ValuePath, text, notAnsi))
        return true;
    // Written back, the characters Windows would have mapped to others would
    // change entries that this run did not add.
    if (notAnsi)
        PrintConverted("La variable Path contient des caract\xE8res hors de la page de code ANSI "
                       "(non modifi\xE9" "e).");
    else if (type == os::RegSz)
        PrintConverted("Lecture de la variable Path REG_SZ \xE9" "chou\xE9" "e.");
    else
        PrintConverted("Lecture de la variable Path REG_EXPAND_SZ \xE9" "chou\xE9" "e.");
    return false;
}

bool FetchVariableType(std::uint32_t& type) {
    if (!HasValue(RootKey, ValuePath)) {
        PrintConverted("La variable Path n'existe pas.");
        return false;
    }
    if (!FetchValueType(RootKey, ValuePath, type)) {
        PrintConverted("Lecture du type de la variable Path \xE9" "chou\xE9" "e.");
        return false;
    }
    return true;
}

// The text is always held by the variable, the backup or both: backup
// written first, variable rewritten next, backup deleted last.
bool RepairVariableType() {
    std::uint32_t type = 0;
    if (!FetchVariableType(type)) return false;
    if (type == os::RegExpandSz) {
        if (!ReadVariableText(type, CurrentPathText)) return false;
        PrintConverted("Une r\xE9paration n'est pas n\xE9" "cessaire (REG_EXPAND_SZ d\xE9tect\xE9).");
        PrintLine("");
        return true;
    }
    if (type != os::RegSz) {
        PrintConverted("La variable Path ne poss\xE8" "de pas le type REG_SZ (r\xE9paration impossible).");
        return false;
    }
    std::string text;
    if (!ReadVariableText(type, text)) return false;
    PrintConverted("La variable Path poss\xE8" "de le type REG_SZ (r\xE9paration en cours).");
    const std::string backupPath = ValuePath + kBackupSuffix;
    bool result = false;
    if (!PutSzValue(RootKey, backupPath, text)) {
        PrintConverted("Sauvegarde de la variable Path \xE9" "chou\xE9" "e (droits requis).");
    } else {
        PrintConverted("Sauvegarde de la variable REG_SZ effectu\xE9" "e.");
        if (!PutExpandSzValue(RootKey, ValuePath, text)) {
            PrintConverted("Ecriture de la variable Path \xE9" "chou\xE9" "e (droits requis).");
        } else {
            result = true;
            PrintConverted("Modification du type REG_SZ en REG_EXPAND_SZ effectu\xE9" "e.");
            if (RemoveValue(RootKey, backupPath))
                PrintConverted("Suppression de la sauvegarde REG_SZ effectu\xE9" "e.");
            else
                PrintConverted("Suppression de la sauvegarde REG_SZ \xE9" "chou\xE9" "e.");
        }
    }
    PrintLine("");
    return result;
}
