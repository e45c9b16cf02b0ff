#include "SimFixture.h"

#include "pathvar/PathList.h"

using namespace std::string_literals;

class PathListTest : public SimTest {};

TEST_F(PathListTest, ContainsComparesEntriesWithoutTrailingBackslashesOrCase) {
    struct { std::string folder, list; bool found; } cases[] = {
        {"X:\\Tools\\", "A;x:\\tools\\\\;B", true},   // middle, two backslashes
        {"X:\\Tools\\", "X:\\TOOLS", true},           // single entry, no ';'
        {"X:\\Tools\\", "x:\\tools;B", true},         // first
        {"X:\\Tools\\", "A;;B;X:\\Tools", true},      // last
        {"X:\\Tools\\\\\\", "X:\\Tools\\", true},
        {"X:\\Tools\\", "A; X:\\Tools", false},       // blank before
        {"X:\\Tools\\", "X:\\Tools ;A", false},       // blank after
        {"X:\\Tools\\", "X:/Tools", false},           // forward slashes
        {"X:\\Tools\\", "X:\\Tool;X:\\Toolsx;Tools", false},
        {"X:\\Tools\\", "", false},
        {"X:\\Tools\\", ";", false},
        {"X:\\Tools\\", ";;;", false},
        {"C:\\\xE9t\xE9\\", "A;C:\\\xC9T\xC9", true}, // accents upper-cased by the locale
        {"C:\\\xE9t\xE9\\", "C:\\ETE", false},
        {"%SystemRoot%\\x\\", "%SYSTEMROOT%\\X", true},
        {"%SystemRoot%\\x\\", "C:\\Windows\\x", false}, // references stay unexpanded
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathListContains(c.folder, c.list), c.found) << c.folder << " in " << c.list;
}

TEST_F(PathListTest, AppendTrimsOnceAndDropsTrailingSeparators) {
    const std::string f = "X:\\Tools\\";
    struct { std::string list, result; } cases[] = {
        {"", f},
        {";", f},
        {"; ;", f},                                   // no empty entries put in front
        {"\t;\r\n; \0"s, f},
        {"D:\\Bin;;  ", "D:\\Bin;" + f},
        {"D:\\Bin ;", "D:\\Bin ;" + f},               // the blank before ';' stays
        {"  D:\\Bin\r\n", "D:\\Bin;" + f},
        {"A;;B", "A;;B;" + f},                        // nothing inside changes
        {" ;D:\\Bin", ";D:\\Bin;" + f},
        {"D:\\Bin;\0"s, "D:\\Bin;" + f},
    };
    for (const auto& c : cases) EXPECT_EQ(AppendToPathList(c.list, f), c.result) << c.list;
    EXPECT_EQ(AppendToPathList("D:\\Bin", "  x\\\\"), "D:\\Bin;  x\\\\"); // folder as given
}

TEST_F(PathListTest, ShowPathVariablePrintsValuesThenEntries) {
    const std::string decomposed = "Variable Path (d\x82" "compos\x82" "e) :";
    struct { std::string current, updated, out; } cases[] = {
        {"D:\\Bin;E:\\X", "",
         Lines({"Variable Path :", "D:\\Bin;E:\\X", "", decomposed, "D:\\Bin", "E:\\X"})},
        {"", "", ""},
        {"A", "", Lines({"Variable Path :", "A", ""})},
        {"", "X:\\T\\", Lines({"Nouvelle variable Path :", "X:\\T\\", ""})},
        {";;", "", Lines({"Variable Path :", ";;", "", decomposed})},
        {"A", "A;;B;", Lines({"Variable Path :", "A", "", "Nouvelle variable Path :", "A;;B;", "",
                              decomposed, "A", "B"})},
        {"C:\\\xE9;D", "",
         Lines({"Variable Path :", "C:\\\xE9;D", "", decomposed, "C:\\\x82", "D"})},
    };
    for (const auto& c : cases) {
        sim::Reset();
        OpenStdOut();
        ShowPathVariable(c.current, c.updated);
        EXPECT_EQ(Output(), c.out) << c.current << " / " << c.updated;
    }
    sim::Reset();
    OpenStdOut();
    Silent = true;
    ShowPathVariable("A;B", "A;B;C");
    EXPECT_EQ(Output(), "");
}
