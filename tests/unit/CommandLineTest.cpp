#include "SimFixture.h"

#include "front/CommandLine.h"

namespace {

struct CommandLineCase {
    bool dbcs;           // code page 932's lead bytes
    const char* line;    // the raw command line
    std::size_t n;       // arguments after the command's name
    const char* switches; // set switches among K, R, S, ?
    const char* folder;
    bool result;
};

std::string SetSwitches() {
    return std::string(MachineScope ? "K" : "") + (RepairType ? "R" : "") + (Silent ? "S" : "") +
           (ShowHelp ? "?" : "");
}

} // namespace

TEST_F(SimTest, CommandLineGivesSwitchesAndFolder) {
    const CommandLineCase cases[] = {
        {false, "wayfold", 0, "?", "", false},
        {false, "wayfold ?", 1, "?", "?", false},
        {false, "wayfold /?", 1, "?", "", false},
        {false, "wayfold d:\\outils /?", 2, "?", "d:\\outils", false},
        {false, "wayfold /? /S", 2, "S?", "", false},
        {false, "wayfold /s /?", 2, "S?", "", false},
        {false, "wayfold /k /r", 2, "KR", "", true},
        {false, "wayfold d:\\Outils /s", 2, "S", "d:\\Outils", true},
        {false, "wayfold /KR /X / // /k /K d:\\a", 7, "K", "d:\\a", true},
        {false, "wayfold -K", 1, "", "-K", true},
        {false, "wayfold ??", 1, "", "??", true},
        {false, "wayfold d:\\a d:\\b", 2, "", "d:\\a", true},
        {false, "wayfold \"d:\\common utilities\\our cmds\" /k /r", 3, "KR",
         "d:\\common utilities\\our cmds", true},
        {false, "wayfold d:\\my\" \"dir", 1, "", "d:\\my dir", true},
        {false, "wayfold \"d:\\x\\\"", 1, "", "d:\\x\\", true},
        {false, "wayfold \"\" /r", 1, "R", "", true},
        {false, "wayfold \"\"\"\" d:\\x", 1, "", "d:\\x", true},
        {false, "wayfold d:\\x \"", 1, "", "d:\\x", true},
        {false, "wayfold \"d:\\a /s", 1, "", "d:\\a /s", true},
        {false, "\"C:\\Program Files\\wayfold.exe\"\td:\\a\x01/s", 2, "S", "d:\\a", true},
        {false, "wayfold d:\\a\xA0" "b\xE9", 1, "", "d:\\a\xA0" "b\xE9", true},
        // 0x81 0x22 is one character on a double-byte page: no quote there.
        {false, "wayfold d:\\\x81\"x /s", 1, "", "d:\\\x81x /s", true},
        {true, "wayfold d:\\\x81\"x /s", 2, "S", "d:\\\x81\"x", true},
        {true, "wayfold \"d:\\\x81\"\" /s", 2, "S", "d:\\\x81\"", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        SetUp();
        if (c.dbcs) UseCodePage932();
        sim::CommandLine = c.line;
        EXPECT_EQ(SplitCommandLine(c.line).size(), c.n + 1);
        EXPECT_EQ(ParseCommandLine(), c.result);
        EXPECT_EQ(SetSwitches(), c.switches);
        EXPECT_EQ(FolderArg, c.folder);
        EXPECT_EQ(Output().empty(), !ShowHelp || Silent); // the usage text
    }
}
