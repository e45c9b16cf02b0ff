#include "folder/FolderValidation.h"

#include "common/Console.h"
#include "common/FolderOnDisk.h"
#include "common/PathText.h"
#include "common/ProgramState.h"
#include "folder/FolderCreation.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"

#include <cstring>

namespace {

// The longest folder, trailing backslash included, that the ANSI folder calls
// take (CreateDirectoryA: MAX_PATH - 12 characters).
constexpr std::size_t kLongestFolder = 248;

// Characters a folder name may not hold: those Windows forbids (control
// characters too), ';', which separates Path entries, and '%', which a
// REG_EXPAND_SZ Path takes for the start of a variable's name.
const char kInvalidChars[] = "\"*/:<>?|;%";
// The ones that may not stand in the first three bytes either.
const char kNeverInFolder[] = ";%/";

bool IsOneOf(const char* set, char c) { return c != '\0' && std::strchr(set, c) != nullptr; }

bool IsInvalidInName(char c) {
    return static_cast<unsigned char>(c) < 32 || IsOneOf(kInvalidChars, c);
}

// A level Windows would not keep as typed: it drops trailing blanks and dots
// (so "." and ".." too), and takes device names, with any extension, for the
// device.
bool IsInvalidLevel(const std::string& level) {
    if (!level.empty() && (level.back() == ' ' || level.back() == '.')) return true;
    std::string base = AsciiUpper(level.substr(0, level.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    if (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0) return false;
    // The digit as Windows reads it, in UTF-16: the bytes of the superscripts
    // are other letters in other code pages.
    const std::u16string digit = os::ToWide(base.substr(3));
    return digit.size() == 1 &&
           std::u16string(u"0123456789¹²³").find(digit[0]) != std::u16string::npos;
}

// Checks the name below the drive part of a folder that ends in a backslash,
// and says why it is refused. The name shown is the folder without its first
// three bytes and its trailing backslash.
bool CheckName(const std::string& folder) {
    // Past "C:\" and before the trailing backslash; the root "C:\" has none.
    const std::string name = folder.size() > 4 ? folder.substr(3, folder.size() - 4) : "";
    if (name.find_first_not_of('\\') == std::string::npos) {  // the drive's root, however written
        PrintConverted("Le dossier n'est pas spécifié.");
        return false;
    }
    const std::size_t levelsFrom = DrivePart(folder).size();
    bool invalidInName = FolderArgAltered, invalidInFolder = false, invalidLevel = false;
    std::string level;
    // Character by character: the second byte of a two-byte character may be
    // a '|' or a '\' that is neither.
    for (std::size_t i = 0; i < folder.size(); ++i) {
        const std::size_t length = IsLeadByte(static_cast<unsigned char>(folder[i])) ? 2 : 1;
        if (length == 1) {
            invalidInName |= i >= 3 && IsInvalidInName(folder[i]);
            invalidInFolder |= IsOneOf(kNeverInFolder, folder[i]);
        }
        if (i >= levelsFrom && length == 1 && folder[i] == '\\') {
            invalidLevel |= IsInvalidLevel(level);
            level.clear();
        } else if (i >= levelsFrom) {
            level.append(folder, i, length);
        }
        i += length - 1;
    }
    if (invalidInName || invalidInFolder) {
        PrintFormatted("Le dossier %s contient un caractère invalide.",
                       invalidInName ? name : folder);
        return false;
    }
    if (!invalidLevel) return true;
    PrintFormatted("Le dossier %s contient un nom invalide.", name);
    return false;
}

// The absolute form of a folder, found from its exact UTF-16 name (the ANSI
// call would best-fit a current folder the code page cannot name); empty
// if Windows cannot give it (a longer one would be refused as too long).
std::u16string FullPath(const std::string& folder) {
    char16_t full[261];
    const os::u32 length = os::GetFullPathNameW(os::ToWide(folder).c_str(), 261, full, nullptr);
    return std::u16string(full, length < 261 ? length : 0);
}

}  // namespace

bool ValidateFolder(std::string& folder) {
    std::string delimited = AddTrailingBackslash(folder);
    std::string drive = DrivePart(delimited);
    if (drive.empty()) {
        PrintConverted("L'unité n'est pas spécifiée.");
        return false;
    }
    // A drive's root: "C:" alone names the current folder of C:, which may
    // have been deleted.
    if (!FolderExists(drive[1] == ':' ? drive + '\\' : drive)) {
        PrintFormatted("L'unité %s n'est pas valide.", drive);
        return false;
    }
    folder = delimited;
    // A drive-relative folder (C:outils) lies below the current folder of its
    // drive, which differs from one process to the next: the Path entry must
    // name the folder created here, so it is made absolute. Its levels are
    // checked first as typed, before Windows rewrites them.
    if (folder.size() > 2 && folder[1] == ':' && folder[2] != '\\' && folder[2] != '/') {
        if (!CheckName(drive + '\\' + folder.substr(2))) return false;
        const std::u16string full = FullPath(folder);
        if (full.empty()) {
            ReportCreationError(folder);
            return false;
        }
        if (!ToAnsiExactly(full, folder)) {
            PrintFormatted(
                "Le dossier courant de l'unité %s contient des caractères hors de la page de code ANSI.",
                drive);
            return false;
        }
    }
    if (!CheckName(folder)) return false;
    // Refused now rather than half created later.
    if (os::ToWide(folder).size() > kLongestFolder) {
        ReportCreationError(folder);
        return false;
    }
    PrintLine(" ");
    PrintConverted(folder);
    return AskConfirmation("Confirmez l'ajout et la création du dossier");
}
