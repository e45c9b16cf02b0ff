#include "folder/FolderValidation.h"

#include "folder/PathText.h"
#include "front/Console.h"
#include "platform/Platform.h"

#include <cstring>

namespace {

// Characters a folder name may not hold. The semicolon is among them: it
// separates Path entries, so a folder holding one could never be found there.
const char InvalidFolderChars[] = "\"*/:<>?|;";

bool HasInvalidChar(const std::string& name) {
    for (char c : name)
        if (std::memchr(InvalidFolderChars, c, sizeof InvalidFolderChars - 1)) return true;
    return false;
}

// The absolute form of a folder, or the empty text if Windows cannot give it.
std::string FullPath(const std::string& folder) {
    os::u32 size = os::GetFullPathNameA(folder.c_str(), 0, nullptr, nullptr);
    std::string full(size, '\0');
    os::u32 length = size ? os::GetFullPathNameA(folder.c_str(), size, full.data(), nullptr) : 0;
    full.resize(length < size ? length : 0);
    return full;
}

} // namespace

bool ValidateFolder(std::string& folder) {
    std::string delimited = AddTrailingBackslash(folder);
    std::string drive = DrivePart(delimited);
    if (drive.empty()) {
        PrintConverted("L'unit\xE9 n'est pas sp\xE9" "cifi\xE9" "e.");
        return false;
    }
    if (!FolderExists(drive)) {
        PrintFormatted("L'unit\xE9 %s n'est pas valide.", drive);
        return false;
    }
    folder = delimited;
    // A drive-relative folder (C:outils) lies below the current folder of its
    // drive, which differs from one process to the next: the Path entry must
    // name the folder created here, so it is made absolute before any check.
    if (folder.size() > 2 && folder[1] == ':' && folder[2] != '\\') folder = FullPath(folder);
    // The name part starts at the fourth byte, whatever the drive part's length.
    std::string name = folder.size() > 4 ? folder.substr(3, folder.size() - 4) : std::string();
    if (name.empty()) {
        PrintConverted("Le dossier n'est pas sp\xE9" "cifi\xE9.");
        return false;
    }
    // A ';' splits the Path entry wherever it stands, so the first three bytes,
    // which the name part leaves out, may not hold one either.
    if (HasInvalidChar(name) || folder.find(';') != std::string::npos) {
        PrintFormatted("Le dossier %s contient un caract\xE8re invalide.",
                       HasInvalidChar(name) ? name : folder);
        return false;
    }
    PrintLine(" ");
    PrintConverted(folder);
    return AskConfirmation("Confirmez l'ajout et la cr\xE9" "ation du dossier");
}
