// Inputs the fuzzers found that the command once got wrong.
#include "SimFixture.h"

#include "front/wayFOLD.h"

namespace {

const std::string kPath = std::string("C:\\Windows\0", 11);

// A ';' in the first three bytes of the folder, which the name test leaves
// out, used to get through: the folder was created and "added" as two broken
// entries ("d:" and "outils\"), and the run ended with status 0.
TEST_F(SimTest, SemicolonAnywhereInTheFolderIsRefused) {
    const struct {
        const char *line, *output;
    } cases[] = {
        {"wayfold d:;outils", "Le dossier ;outils contient un caract\x8Are invalide.\r\n"},
        {"wayfold \\\\;srv\\share\\x",
         "Le dossier \\\\;srv\\share\\x\\ contient un caract\x8Are invalide.\r\n"},
        {"wayfold d:\\a;b", "Le dossier a;b contient un caract\x8Are invalide.\r\n"},
        {"wayfold d:;outils /S", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        SetUp();
        sim::AddDrive('D');
        sim::AddFolder("\\\\;srv\\share");
        sim::SetValue(os::HKeyCurrentUser, "Environment", "Path", os::RegExpandSz, kPath);
        sim::TypeKeys("o");
        sim::CommandLine = c.line;
        EXPECT_EQ(wayFOLD(), 1);
        EXPECT_EQ(sim::StdOut(), c.output);
        const auto path = sim::GetValue(os::HKeyCurrentUser, "Environment", "Path");
        ASSERT_TRUE(path);
        EXPECT_EQ(path->type, os::RegExpandSz);
        EXPECT_EQ(path->data, kPath);
        EXPECT_TRUE(sim::CreatedFolders.empty());
    }
}

} // namespace
