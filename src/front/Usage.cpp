#include "front/Usage.h"

#include "common/Console.h"
#include "common/PathText.h"

namespace {
const char kProgramName[] = "wayFOLD";
}  // namespace

void ShowUsage() {
    const std::string separator = " ";
    PrintConverted(AsciiUpper(kProgramName) + " " + "v1.0" + " " + "- Chemin pour variable PATH");
    PrintConverted("Ajoute un chemin à la variable PATH et crée le dossier concerné.");
    PrintLine(separator);
    PrintConverted("Syntaxe     : wayfold x:\\chemin [/K] [/R] [/S]");
    PrintLine(separator);
    PrintConverted("  x:\\chemin : lecteur et chemin à ajouter (et créer) si inexistant");
    PrintConverted("  /K        : ajoute à la variable Path de tous les utilisateurs (HKLM)");
    PrintConverted(
        "  /R        : répare éventuellement le type de la variable Path (REG_EXPAND_SZ)");
    PrintConverted(
        "  /S        : ajoute et crée le chemin sans affichage ni confirmation (SILENT)");
    PrintLine(separator);
    PrintConverted("              ERRORLEVEL=0 si aucune erreur (dossier et variable)");
    PrintLine(separator);
    PrintConverted("              /R peut être utilisé seul sans chemin (réparation sans ajout)");
    PrintConverted("              Syntaxe : wayfold /r ou wayfold /k /r");
    PrintLine(separator);
    PrintConverted("  Exemples  : wayfold %SystemRoot%\\wayFOLD");
    PrintConverted("              wayfold \"d:\\common utilities\\our cmds\" /k /r");
}
