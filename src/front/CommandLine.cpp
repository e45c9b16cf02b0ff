#include "front/CommandLine.h"
#include "front/Usage.h"

#include "common/Console.h"
#include "common/ProgramState.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"

#include <string>
#include <vector>

namespace {

bool IsBlank(char16_t c) { return c >= 1 && c <= 32; }

// Where the next argument begins: past blanks and control characters, and
// past empty quote pairs, which never make an argument of their own.
const char16_t* SkipToArgument(const char16_t* p) {
    for (;;) {
        while (IsBlank(*p)) ++p;
        if (p[0] == '"' && p[1] == '"')
            p += 2;
        else
            return p;
    }
}

// Arguments 0 (the command's name) to N of the command line as Windows keeps
// it, in UTF-16: only a real quote or blank counts, never a character that
// the ANSI code page would turn into one. Quotes may stand anywhere and are
// dropped; a backslash never escapes anything.
std::vector<std::u16string> Split(const char16_t* p) {
    std::vector<std::u16string> args;
    for (;;) {
        p = SkipToArgument(p);
        std::u16string arg;
        bool quoted = false;
        for (; *p != '\0' && (quoted || !IsBlank(*p)); ++p) {
            if (*p == '"')
                quoted = !quoted;
            else
                arg += *p;
        }
        if (arg.empty()) return args;  // the end, or a lone quote at the end
        args.push_back(arg);
    }
}

// Sets the switch an argument names, in either case; false when it is none.
bool ReadSwitch(const std::u16string& arg) {
    if (arg == u"?" || arg == u"/?") return ShowHelp = true;
    if (arg.size() != 2 || arg[0] != '/') return false;
    switch (arg[1] | 0x20) {  // ASCII lower case; other characters stay apart
        case 'k':
            return MachineScope = true;
        case 'r':
            return RepairType = true;
        case 's':
            return Silent = true;
        default:
            return false;
    }
}

}  // namespace

bool ParseCommandLine() {
    const std::vector<std::u16string> args = Split(os::GetCommandLineW());
    if (args.size() <= 1) ShowHelp = true;
    std::vector<std::u16string> folders;
    for (std::size_t i = 1; i < args.size(); ++i)
        if (!ReadSwitch(args[i]) && args[i][0] != '/') folders.push_back(args[i]);
    if (ShowHelp) {
        ShowUsage();
        return false;
    }
    // An unquoted folder with blanks arrives as several words: taking the
    // first would add another folder than the one meant.
    if (folders.size() > 1) {
        PrintConverted(
            "Un seul dossier peut être indiqué (un chemin avec des blancs se met entre guillemets).");
        return false;
    }
    // A character the ANSI code page lacks would name another folder than the
    // one typed: the folder is refused, shown as the ANSI calls would see it.
    if (!folders.empty()) {
        FolderArgAltered = !ToAnsiExactly(folders[0], FolderArg);
        if (FolderArgAltered) FolderArg = os::ToAnsi(folders[0]);
    }
    return true;
}
