#include "front/CommandLine.h"

#include "folder/PathText.h"
#include "front/AnsiText.h"
#include "front/Console.h"
#include "front/ProgramState.h"
#include "platform/Platform.h"

#include <string>
#include <vector>

namespace {

const char kProgramName[] = "wayFOLD";

template <typename Char>
bool IsBlank(Char c) {
    return c >= 1 && c <= 32;
}

// One character on: ANSI texts may hold two-byte characters.
const char* Next(const char* p) { return os::CharNextA(p); }
const os::wchar* Next(const os::wchar* p) { return *p ? p + 1 : p; }

// Where the next argument begins: past blanks and control characters, and
// past empty quote pairs, which never make an argument of their own.
template <typename Char>
const Char* SkipToArgument(const Char* p) {
    for (;;) {
        while (IsBlank(*p)) p = Next(p);
        if (p[0] == '"' && p[1] == '"')
            p += 2;
        else
            return p;
    }
}

// Arguments 0 (the command's name) to N of a raw command line, ANSI or
// UTF-16. Quotes may stand anywhere and are dropped; a backslash never
// escapes anything.
template <typename Char>
std::vector<std::basic_string<Char>> Split(const Char* line) {
    std::vector<std::basic_string<Char>> args;
    const Char* p = line;
    for (;;) {
        p = SkipToArgument(p);
        std::basic_string<Char> arg;
        bool quoted = false;
        while (*p != '\0' && (quoted || !IsBlank(*p))) {
            const Char* next = Next(p);
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

// The first argument after the command's name that is not a switch.
template <typename Char>
std::basic_string<Char> FolderArgument(const std::vector<std::basic_string<Char>>& args) {
    for (std::size_t i = 1; i < args.size(); ++i)
        if (args[i][0] != '/') return args[i];
    return {};
}

} // namespace

bool ParseCommandLine() {
    const std::vector<std::string> args = Split(os::GetCommandLineA());
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
        }
    }
    FolderArg = FolderArgument(args);
    // GetCommandLineA hands over the line already mapped to the ANSI code
    // page: a character it lacks arrives as another one, which would name
    // another folder than the one typed.
    std::string asTyped;
    FolderArgAltered = !ToAnsiExactly(FolderArgument(Split(os::GetCommandLineW())), asTyped) ||
                       asTyped != FolderArg;
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
