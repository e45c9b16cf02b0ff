#include "SimFixture.h"

#include "front/wayFOLD.h"

TEST_F(SimTest, AccentedLiteralIsWindows1252) {
    EXPECT_EQ(std::string("\xE9"), std::string(1, char(0xE9)));
    PrintConverted("cr\xE9\xE9");
    EXPECT_EQ(Output(), "cr\x82\x82\r\n");
}

namespace {

const std::string kQuestion = "Confirmez l'ajout et la cr\x82" "ation du dossier [O/N] ?";

os::InputRecord Key(char c) { return {os::KeyEvent, c}; }

} // namespace

TEST_F(SimTest, QuestionTakesOnlyOOrNAndEchoesIt) {
    const os::InputRecord mouse{2, 'o'};
    const struct {
        std::deque<os::InputRecord> typeAhead, keys;
        bool console, answer;
        std::string echo; // what follows the question on its line
        int reads;
    } cases[] = {
        {{}, {Key('x'), Key('Y'), Key('\r'), mouse, Key('o')}, true, true, "o", 5},
        {{}, {Key('O')}, true, true, "O", 1},
        {{}, {Key('n')}, true, false, "n", 1},
        {{}, {Key('x'), Key('N')}, true, false, "N", 2},
        {{Key('o')}, {Key('n')}, true, false, "n", 1}, // typed ahead: dropped
        {{}, {Key('o')}, false, false, "", 1},         // not a console: no
        {{}, {Key('x')}, true, false, "", 2},          // input ends: no
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SetUp();
        sim::TypeAhead = c.typeAhead;
        sim::Keys = c.keys;
        sim::InputIsConsole = c.console;
        EXPECT_EQ(AskConfirmation("Confirmez l'ajout et la cr\xE9" "ation du dossier"), c.answer);
        EXPECT_EQ(Output(), kQuestion + c.echo + "\r\n");
        EXPECT_EQ(sim::ReadConsoleCount, c.reads);
    }
}

TEST_F(SimTest, ConsoleGetsEachLineAndTheQuestionAtOnce) {
    sim::StdOutType = os::FileTypeChar;
    OpenStdOut();
    sim::TypeKeys("o");
    PrintLine("un");
    PrintConverted("d\xE9ux");
    AskConfirmation("Confirmez l'ajout et la cr\xE9" "ation du dossier");
    EXPECT_EQ(sim::StdOutWrites,
              (std::vector<std::string>{"un\r\n", "d\x82ux\r\n", kQuestion, "o\r\n"}));
}

TEST_F(SimTest, FileAndPipeGetFullBuffersAndTheRestAtClose) {
    for (os::u32 type : {os::FileTypeDisk, os::FileTypePipe}) {
        SetUp();
        sim::StdOutType = type;
        OpenStdOut();
        const std::string line(98, 'a'), all = Lines({line, "Q [O/N] ?o", line});
        sim::TypeKeys("o");
        PrintLine(line);
        AskConfirmation("Q"); // its flush does nothing here
        PrintLine(line);
        FlushStdOut();
        EXPECT_EQ(sim::StdOutWrites, (std::vector<std::string>{all.substr(0, 128)}));
        EXPECT_EQ(Output(), all);
        EXPECT_EQ(sim::StdOutWrites.size(), 2u);
    }
}

namespace {

// The runtime's report for an input/output error; the address is any 16 hex digits.
void ExpectInOutReport(const std::string& module, int code) {
    const std::string head = "Exception EInOutError dans le module " + module + " dans ";
    const std::string tail = ".\r\nErreur d'E/S " + std::to_string(code) + ".\r\n\r\n";
    const std::string& err = sim::StdErr;
    ASSERT_EQ(err.size(), head.size() + 16 + tail.size()) << err;
    EXPECT_EQ(err.substr(0, head.size()), head);
    EXPECT_EQ(err.find_first_not_of("0123456789ABCDEF", head.size()), head.size() + 16);
    EXPECT_EQ(err.substr(head.size() + 16), tail);
}

} // namespace

TEST_F(SimTest, OutputErrorsEndTheRunWithTheReport) {
    const struct {
        os::u32 type;
        int failWrite;
        const char* modulePath;
        const char* module; // as reported, in OEM
        int code;
        std::size_t written;
    } cases[] = {
        {os::FileTypeUnknown, 0, "C:\\outils\\wayfold.exe", "wayfold.exe", 105, 0},
        {os::FileTypeUnknown, 0, "D:\\Bo\xEEte\\\xE9t\xE9.exe", "\x82t\x82.exe", 105, 0},
        {os::FileTypeChar, 1, "C:\\outils\\wayfold.exe", "wayfold.exe", 232, 0},
        {os::FileTypePipe, 3, "C:\\outils\\wayfold.exe", "wayfold.exe", 232, 256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SetUp();
        sim::StdOutType = c.type;
        sim::FailStdOutWriteNumber = c.failWrite;
        sim::ModulePath = c.modulePath;
        sim::CommandLine = "wayfold"; // the usage text: 17 lines
        EXPECT_EQ(wayFOLD(), 1);
        EXPECT_EQ(sim::StdOut().size(), c.written);
        ExpectInOutReport(c.module, c.code);
    }
}
