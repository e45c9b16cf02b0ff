#include "SimFixture.h"

#include "folder/FolderCreation.h"
#include "folder/FolderValidation.h"
#include "front/RuntimeError.h"

namespace {

const std::string kNoDrive = Lines({"L'unit\x82 n'est pas sp\x82" "cifi\x82" "e."});
const std::string kNoName = Lines({"Le dossier n'est pas sp\x82" "cifi\x82."});

std::string Invalid(const std::string& name) {
    return Lines({"Le dossier " + name + " contient un caract\x8Are invalide."});
}
std::string Confirmed(const std::string& shown, const std::string& answer) {
    return Lines({" ", shown, "Confirmez l'ajout et la cr\x82" "ation du dossier [O/N] ?" + answer});
}
std::string Created(const std::string& shown) {
    return Lines({"", "Le chemin " + shown + " a \x82t\x82 cr\x82\x82.", ""});
}

} // namespace

TEST_F(SimTest, ValidateFolderRefusesOrRewritesAndAsks) {
    const struct {
        bool dbcs, silent;
        const char* keys;
        std::string folder;
        bool result;
        std::string after, output;
    } cases[] = {
        {0, 0, "", "", false, "", kNoDrive},
        {0, 0, "", "Outils", false, "Outils", kNoDrive},
        {0, 0, "", "\\Outils", false, "\\Outils", kNoDrive},
        {0, 0, "", "Q:\\Outils", false, "Q:\\Outils", Lines({"L'unit\x82 Q: n'est pas valide."})},
        {0, 0, "", "\\\\srv\\absent\\x", false, "\\\\srv\\absent\\x",
         Lines({"L'unit\x82 \\\\srv\\absent n'est pas valide."})},
        {0, 0, "", "C:", false, "C:\\", kNoName},
        {0, 0, "", "C:\\", false, "C:\\", kNoName},
        {0, 0, "", "C:\\Mes outils\\a?b", false, "C:\\Mes outils\\a?b\\", Invalid("Mes outils\\a?b")},
        {0, 0, "", "\\\\srv\\share\\a|b", false, "\\\\srv\\share\\a|b\\", Invalid("rv\\share\\a|b")},
        {0, 0, "o", "C:\\Outils", true, "C:\\Outils\\", Confirmed("C:\\Outils\\", "o")},
        {0, 0, "N", "C:\\Outils\\", false, "C:\\Outils\\", Confirmed("C:\\Outils\\", "N")},
        {0, 0, "o", "C:\\Outils\\\\", true, "C:\\Outils\\\\", Confirmed("C:\\Outils\\\\", "o")},
        {0, 0, "o", "C:\\a b\tc", true, "C:\\a b\tc\\", Confirmed("C:\\a b\tc\\", "o")},
        // Drive-relative: below the drive's current folder (its root here), made absolute.
        {0, 0, "o", "C:Outils", true, "C:\\Outils\\", Confirmed("C:\\Outils\\", "o")},
        {0, 0, "", "C:?Outils", false, "C:\\?Outils\\", Invalid("?Outils")},
        {0, 0, "o", "\\\\srv\\share\\x", true, "\\\\srv\\share\\x\\", Confirmed("\\\\srv\\share\\x\\", "o")},
        {0, 0, "o", "C:\\Caf\xE9", true, "C:\\Caf\xE9\\", Confirmed("C:\\Caf\x82\\", "o")},
        {0, 1, "", "C:\\Outils", true, "C:\\Outils\\", ""},
        {0, 1, "", "Q:\\Outils", false, "Q:\\Outils", ""},
        {1, 1, "", "C:\\\x81\\", true, "C:\\\x81\\\\", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        SetUp();
        sim::AddFolder("\\\\srv\\share");
        if (c.dbcs) UseCodePage932();
        Silent = c.silent;
        sim::TypeKeys(c.keys);
        std::string folder = c.folder;
        EXPECT_EQ(ValidateFolder(folder), c.result);
        EXPECT_EQ(folder, c.after);
        EXPECT_EQ(Output(), c.output);
        EXPECT_EQ(sim::ReadConsoleCount, c.keys[0] ? 1 : 0);
    }
}

TEST_F(SimTest, ValidateFolderRefusesEachInvalidCharacter) {
    // The semicolon too: it would split the folder into two Path entries.
    for (char invalid : std::string("\"*/:<>?|;")) {
        SetUp();
        std::string name = std::string("a") + invalid + "b", folder = "C:\\" + name;
        EXPECT_FALSE(ValidateFolder(folder)) << name;
        EXPECT_EQ(Output(), Invalid(name));
    }
}

TEST_F(SimTest, EnsureFolderFindsOrCreatesOutermostFirst) {
    const struct {
        const char *folder, *existing, *file;
        bool result;
        std::vector<std::string> created;
        std::string output;
    } cases[] = {
        {"C:\\Outils\\", "C:\\Outils", "", true, {},
         Lines({"", "Le chemin C:\\Outils\\ existe d\x82j\x85 sur le lecteur.", ""})},
        {"C:\\A\\B\\C\\", "", "", true, {"C:\\A", "C:\\A\\B", "C:\\A\\B\\C"}, Created("C:\\A\\B\\C\\")},
        {"C:\\A\\B\\", "C:\\A", "", true, {"C:\\A\\B"}, Created("C:\\A\\B\\")},
        {"C:\\A\\\\", "", "", true, {"C:\\A"}, Created("C:\\A\\\\")}, // both backslashes go
        {"C:Outils\\", "", "", true, {"C:Outils"}, Created("C:Outils\\")},
        {"C:\\Caf\xE9\\", "", "", true, {"C:\\Caf\xE9"}, Created("C:\\Caf\x82\\")},
        {"\\\\srv\\share\\a\\b\\", "\\\\srv\\share", "", true,
         {"\\\\srv\\share\\a", "\\\\srv\\share\\a\\b"}, Created("\\\\srv\\share\\a\\b\\")},
        {"C:\\A\\B\\", "", "C:\\A", false, {}, ""},               // a file in the way
        {"C:\\X\\Y\\Z\\", "", "", false, {"C:\\X"}, ""},          // C:\X\Y refused
        {"", "", "", false, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        SetUp();
        if (*c.existing) sim::AddFolder(c.existing);
        if (*c.file) sim::AddFile(c.file);
        sim::RefusedFolders = {"C:\\X\\Y"};
        EXPECT_EQ(EnsureFolder(c.folder), c.result);
        EXPECT_EQ(sim::CreatedFolders, c.created);
        EXPECT_EQ(Output(), c.output);
    }
}

// The trail byte 0x5C stays with its character; both real backslashes go.
TEST_F(SimTest, EnsureFolderSilentAndOnDoubleBytePage) {
    UseCodePage932();
    Silent = true;
    EXPECT_TRUE(EnsureFolder("C:\\\x81\\\\"));
    EXPECT_EQ(sim::CreatedFolders, std::vector<std::string>{"C:\\\x81\\"});
    EXPECT_EQ(Output(), "");
}

TEST_F(SimTest, EnsureFolderKeepsItsSuccessWhenPrintingFails) {
    sim::StdOutType = os::FileTypeChar;
    OpenStdOut();
    sim::FailStdOutWriteNumber = 1;
    EXPECT_TRUE(EnsureFolder("C:\\A\\"));
    EXPECT_EQ(sim::CreatedFolders, std::vector<std::string>{"C:\\A"});
}

TEST_F(SimTest, CreatingAnEmptyTreeIsAnInputOutputError) {
    try {
        CreateFolderTree("");
        ADD_FAILURE() << "no error raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(std::string(e.className) + " " + std::to_string(e.code) + " " + e.message,
                  "EInOutError 3 Impossible de cr\xE9" "er le r\xE9pertoire");
    }
}
