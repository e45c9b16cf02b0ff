#include "SimFixture.h"

#include "front/wayFOLD.h"

namespace {

const std::string kUsage = Lines({
    "WAYFOLD v1.0 - Chemin pour variable PATH",
    "Ajoute un chemin \x85 la variable PATH et cr\x82" "e le dossier concern\x82.",
    " ",
    "Syntaxe     : wayfold x:\\chemin [/K] [/R] [/S]",
    " ",
    "  x:\\chemin : lecteur et chemin \x85 ajouter (et cr\x82" "er) si inexistant",
    "  /K        : ajoute \x85 la variable Path de tous les utilisateurs (HKLM)",
    "  /R        : r\x82pare \x82ventuellement le type de la variable Path (REG_EXPAND_SZ)",
    "  /S        : ajoute et cr\x82" "e le chemin sans affichage ni confirmation (SILENT)",
    " ",
    "              ERRORLEVEL=0 si aucune erreur (dossier et variable)",
    " ",
    "              /R peut \x88tre utilis\x82 seul sans chemin (r\x82paration sans ajout)",
    "              Syntaxe : wayfold /r ou wayfold /k /r",
    " ",
    "  Exemples  : wayfold %SystemRoot%\\wayFOLD",
    "              wayfold \"d:\\common utilities\\our cmds\" /k /r",
});

const std::string kQuestion = "Confirmez l'ajout et la cr\x82" "ation du dossier [O/N] ?";
const std::string kMachineKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const std::string kSystem32 = "%SystemRoot%\\system32";

std::string Z(const std::string& text) { return text + '\0'; }

class DriverTest : public SimTest {
protected:
    int Run(const char* line) {
        sim::CommandLine = line;
        return wayFOLD();
    }
    std::optional<sim::Value> MachinePath() {
        return sim::GetValue(os::HKeyLocalMachine, kMachineKey, "Path");
    }
};

} // namespace

TEST_F(DriverTest, UsageTextExitsWithOne) {
    const struct {
        const char* line;
        bool shown;
    } cases[] = {{"wayfold", true}, {"wayfold ?", true}, {"wayfold d:\\x /?", true},
                 {"wayfold /? /S", false}, {"wayfold /s ?", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        SetUp();
        EXPECT_EQ(Run(c.line), 1);
        EXPECT_EQ(sim::StdOut(), c.shown ? kUsage : "");
        EXPECT_EQ(sim::RegCallCount, 0);
    }
}

TEST_F(DriverTest, TypicalAddCreatesTheFolderAndWritesTheValue) {
    sim::AddDrive('D');
    sim::SetValue(os::HKeyLocalMachine, kMachineKey, "Path", os::RegExpandSz, Z(kSystem32));
    sim::TypeKeys("xo");
    EXPECT_EQ(Run("wayfold d:\\outils /K"), 0);
    EXPECT_EQ(sim::StdOut(), Lines({" ", "d:\\outils\\", kQuestion + "o", "",
                                    "Le chemin d:\\outils\\ a \x82t\x82 cr\x82\x82.", "",
                                    "Variable Path :", kSystem32, "",
                                    "Nouvelle variable Path :", kSystem32 + ";d:\\outils\\", "",
                                    "Variable Path (d\x82" "compos\x82" "e) :", kSystem32,
                                    "d:\\outils\\"}));
    EXPECT_EQ(sim::CreatedFolders, std::vector<std::string>{"d:\\outils"});
    EXPECT_EQ(MachinePath(), (sim::Value{os::RegExpandSz, Z(kSystem32 + ";d:\\outils\\")}));
}

TEST_F(DriverTest, SilentAddPrintsNothing) {
    sim::SetValue(os::HKeyLocalMachine, kMachineKey, "Path", os::RegExpandSz, Z(kSystem32));
    EXPECT_EQ(Run("wayfold /S C:\\a\\b /k"), 0);
    EXPECT_EQ(sim::StdOut(), "");
    EXPECT_EQ(sim::ReadConsoleCount, 0);
    EXPECT_EQ(sim::CreatedFolders, (std::vector<std::string>{"C:\\a", "C:\\a\\b"}));
    EXPECT_EQ(MachinePath(), (sim::Value{os::RegExpandSz, Z(kSystem32 + ";C:\\a\\b\\")}));
}

TEST_F(DriverTest, RunsThatStopBeforeTheVariableExitWithOne) {
    const struct {
        const char* line;
        const char* keys;
        std::string output;
        std::vector<std::string> created;
    } cases[] = {
        {"wayfold /K", "", Lines({"L'unit\x82 n'est pas sp\x82" "cifi\x82" "e."}), {}},
        {"wayfold /K /S", "", "", {}},
        {"wayfold C:\\a", "n", Lines({" ", "C:\\a\\", kQuestion + "n"}), {}},
        {"wayfold C:\\a\\b\\c", "o",
         Lines({" ", "C:\\a\\b\\c\\", kQuestion + "o",
                "Erreur dans la cr\x82" "ation du dossier C:\\a\\b\\c\\"}),
         {"C:\\a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        SetUp();
        sim::RefusedFolders = {"C:\\a\\b"};
        sim::TypeKeys(c.keys);
        EXPECT_EQ(Run(c.line), 1);
        EXPECT_EQ(sim::StdOut(), c.output);
        EXPECT_EQ(sim::CreatedFolders, c.created);
        EXPECT_EQ(sim::RegCallCount, 0);
    }
}
