#include "pathvar/TypeRepair.h"

#include "MiniReg/MiniReg.h"
#include "common/Console.h"
#include "common/ProgramState.h"
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
        PrintConverted(
            "La variable Path contient des caractères hors de la page de code ANSI (non modifiée).");
    else if (type == os::RegSz)
        PrintConverted("Lecture de la variable Path REG_SZ échouée.");
    else
        PrintConverted("Lecture de la variable Path REG_EXPAND_SZ échouée.");
    return false;
}

bool FetchVariableType(std::uint32_t& type) {
    if (!HasValue(RootKey, ValuePath)) {
        PrintConverted("La variable Path n'existe pas.");
        return false;
    }
    if (!FetchValueType(RootKey, ValuePath, type)) {
        PrintConverted("Lecture du type de la variable Path échouée.");
        return false;
    }
    return true;
}

// The text is always held by the variable, the backup or both: backup
// written first, variable rewritten next, backup deleted last. The three
// steps are done before any of them is reported: an output error (a pipe
// whose reader is gone) ends the run, and in between it would leave the
// backup behind, an environment variable of every process after the next
// logon. The line that announces them comes first, so that a run that cannot
// print at all stops before it writes anything.
bool RepairVariableType() {
    std::uint32_t type = 0;
    if (!FetchVariableType(type)) return false;
    if (type == os::RegExpandSz) {
        if (!ReadVariableText(type, CurrentPathText)) return false;
        PrintConverted("Une réparation n'est pas nécessaire (REG_EXPAND_SZ détecté).");
        PrintLine("");
        return true;
    }
    if (type != os::RegSz) {
        PrintConverted("La variable Path ne possède pas le type REG_SZ (réparation impossible).");
        return false;
    }
    std::string text;
    if (!ReadVariableText(type, text)) return false;
    PrintConverted("La variable Path possède le type REG_SZ (réparation en cours).");
    const std::string backupPath = ValuePath + kBackupSuffix;
    const bool saved = PutSzValue(RootKey, backupPath, text);
    const bool rewritten = saved && PutExpandSzValue(RootKey, ValuePath, text);
    const bool removed = rewritten && RemoveValue(RootKey, backupPath);
    if (!saved) {
        PrintConverted("Sauvegarde de la variable Path échouée (droits requis).");
    } else {
        PrintConverted("Sauvegarde de la variable REG_SZ effectuée.");
        if (!rewritten) {
            PrintConverted("Ecriture de la variable Path échouée (droits requis).");
        } else {
            PrintConverted("Modification du type REG_SZ en REG_EXPAND_SZ effectuée.");
            if (removed)
                PrintConverted("Suppression de la sauvegarde REG_SZ effectuée.");
            else
                PrintConverted("Suppression de la sauvegarde REG_SZ échouée.");
        }
    }
    PrintLine("");
    return rewritten;
}
