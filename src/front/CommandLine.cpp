#include "front/CommandLine.h"

#include "front/Console.h"
#include "front/ProgramState.h"
#include "platform/Platform.h"

namespace {

const char kProgramName[] = "wayFOLD";

bool IsBlank(char c) {
    unsigned char b = static_cast<unsigned char>(c);
    return b >= 1 && b <= 32;
}

// Where the next argument begins: past blanks and control characters, and
// past empty quote pairs, which never make an argument of their own.
const char* SkipToArgument(const char* p) {
    for (;;) {
        while (IsBlank(*p)) p = os::CharNextA(p);
        if (p[0] == '"' && p[1] == '"')
            p += 2;
        else
            return p;
    }
}

std::string AsciiUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

std::vector<std::string> SplitCommandLine(const char* line) {
    std::vector<std::string> args;
    const char* p = line;
    for (;;) {
        p = SkipToArgument(p);
        std::string arg;
        bool quoted = false;
        while (*p != '\0' && (quoted || !IsBlank(*p))) {
            const char* next = os::CharNextA(p);
            if (*p == '"')
                quoted = !quoted;
            else
                arg.append(p, next - p);
            p = next;
        }
        if (arg.empty()) return args; // the end, or a lone quote at the end
        args.push_back(arg);
    }
}

bool ParseCommandLine() {
    std::vector<std::string> args = SplitCommandLine(os::GetCommandLineA());
    if (args.size() <= 1) ShowHelp = true;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string upper = args[i];
        os::CharUpperBuffA(upper.data(), static_cast<os::u32>(upper.size()));
        if (upper == "?") ShowHelp = true;
        if (upper[0] == '/') {
            if (upper.size() != 2) continue;
            switch (upper[1]) {
            case '?': ShowHelp = true; break;
            case 'K': MachineScope = true; break;
            case 'R': RepairType = true; break;
            case 'S': Silent = true; break;
            default: break;
            }
        } else if (FolderArg.empty()) {
            FolderArg = args[i];
        }
    }
    if (!ShowHelp) return true;
    ShowUsage();
    return false;
}

void ShowUsage() {
    const std::string separator = " ";
    PrintConverted(AsciiUpper(kProgramName) + " " + "v1.0" + " " +
                   "- Chemin pour variable PATH");
    PrintConverted("Ajoute un chemin \xE0 la variable PATH et cr\xE9" "e le dossier concern\xE9.");
    PrintLine(separator);
    PrintConverted("Syntaxe     : wayfold x:\\chemin [/K] [/R] [/S]");
    PrintLine(separator);
    PrintConverted("  x:\\chemin : lecteur et chemin \xE0 ajouter (et cr\xE9" "er) si inexistant");
    PrintConverted("  /K        : ajoute \xE0 la variable Path de tous les utilisateurs (HKLM)");
    PrintConverted("  /R        : r\xE9pare \xE9ventuellement le type de la variable Path "
                   "(REG_EXPAND_SZ)");
    PrintConverted("  /S        : ajoute et cr\xE9" "e le chemin sans affichage ni confirmation "
                   "(SILENT)");
    PrintLine(separator);
    PrintConverted("              ERRORLEVEL=0 si aucune erreur (dossier et variable)");
    PrintLine(separator);
    PrintConverted("              /R peut \xEAtre utilis\xE9 seul sans chemin "
                   "(r\xE9paration sans ajout)");
    PrintConverted("              Syntaxe : wayfold /r ou wayfold /k /r");
    PrintLine(separator);
    PrintConverted("  Exemples  : wayfold %SystemRoot%\\wayFOLD");
    PrintConverted("              wayfold \"d:\\common utilities\\our cmds\" /k /r");
}
