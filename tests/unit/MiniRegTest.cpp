#include "SimFixture.h"

#include "MiniReg/MiniReg.h"

#include <functional>

using namespace std::string_literals;

class MiniRegTest : public SimTest {};
using Log = std::vector<std::string>;

namespace {

const os::RegKey HKCU = os::HKeyCurrentUser;
const std::string kPath = "Environment\\Path";

// Every value operation, with the outputs that a failure must leave alone.
const std::vector<std::function<bool(const std::string&)>> kOperations = {
    [](const std::string& p) { return PutSzValue(HKCU, p, "x"); },
    [](const std::string& p) { return PutExpandSzValue(HKCU, p, "x"); },
    [](const std::string& p) {
        std::string text = "keep";
        bool ok = FetchSzValue(HKCU, p, text);
        return ok || text != "keep"; // a failed read must not touch the text
    },
    [](const std::string& p) {
        std::string text = "keep";
        bool ok = FetchExpandSzValue(HKCU, p, text);
        return ok || text != "keep";
    },
    [](const std::string& p) { return HasValue(HKCU, p); },
    [](const std::string& p) {
        std::uint32_t type = 99;
        bool ok = FetchValueType(HKCU, p, type);
        return ok || type != 0; // a failed type read gives 0
    },
    [](const std::string& p) { return RemoveValue(HKCU, p); },
};

} // namespace

TEST_F(MiniRegTest, ValuePathSplitsAtItsLastBackslash) {
    struct { std::string path, subKey, name; Log log; } cases[] = {
        {"Top\\Sub\\Name", "Top\\Sub", "Name",
         {"RegCreateKeyExA(HKCU, \"Top\\Sub\", 0, null, 0, 0x20006) -> #1",
          "RegSetValueExA(#1, \"Name\", 0, 1, 3 bytes)", "RegCloseKey(#1)"}},
        {"\\Name", "", "Name",
         {"RegCreateKeyExA(HKCU, \"\", 0, null, 0, 0x20006) -> #1",
          "RegSetValueExA(#1, \"Name\", 0, 1, 3 bytes)", "RegCloseKey(#1)"}},
        {"Top\\", "Top", "",
         {"RegCreateKeyExA(HKCU, \"Top\", 0, null, 0, 0x20006) -> #1",
          "RegSetValueExA(#1, \"\", 0, 1, 3 bytes)", "RegCloseKey(#1)"}},
    };
    for (const auto& c : cases) {
        sim::Reset();
        EXPECT_TRUE(PutSzValue(HKCU, c.path, "ab")) << c.path;
        EXPECT_EQ(sim::RegLog, c.log) << c.path;
        EXPECT_EQ(sim::GetValue(HKCU, c.subKey, c.name), (sim::Value{1, "ab\0"s})) << c.path;
        EXPECT_EQ(sim::AllValues().size(), 1u) << c.path;
    }
    EXPECT_TRUE(sim::KeyExists(HKCU, "Top")); // missing levels are created
    for (std::string path : {"TopName", ""})
        for (const auto& operation : kOperations) {
            sim::Reset();
            EXPECT_FALSE(operation(path)) << path;
            EXPECT_EQ(sim::RegLog, Log{}) << path;
        }
}

TEST_F(MiniRegTest, EachOperationMakesExactlyItsCalls) {
    const std::string open = "RegOpenKeyExA(HKCU, \"Environment\", 0, 0x20019) -> #1";
    struct { int operation; bool result; Log log; } cases[] = {
        {0, true, {"RegCreateKeyExA(HKCU, \"Environment\", 0, null, 0, 0x20006) -> #1",
                   "RegSetValueExA(#1, \"Path\", 0, 1, 2 bytes)", "RegCloseKey(#1)"}},
        {2, false, {open, "RegQueryValueExA(#1, \"Path\", null, type, null, size)",
                    "RegQueryValueExA(#1, \"Path\", null, type, data, size)", "RegCloseKey(#1)"}},
        {3, true, {open, "RegQueryValueExA(#1, \"Path\", null, type, null, size)",
                   "RegQueryValueExA(#1, \"Path\", null, type, data, size)", "RegCloseKey(#1)"}},
        {4, true, {open, "RegQueryValueExA(#1, \"Path\", null, null, null, null)", "RegCloseKey(#1)"}},
        {5, true, {open, "RegQueryValueExA(#1, \"Path\", null, type, null, null)", "RegCloseKey(#1)"}},
        {6, true, {"RegOpenKeyExA(HKCU, \"Environment\", 0, 0x20006) -> #1",
                   "RegDeleteValueA(#1, \"Path\")", "RegCloseKey(#1)"}},
    };
    for (const auto& c : cases) {
        sim::Reset();
        sim::SetValue(HKCU, "Environment", "Path", os::RegExpandSz, "a;b\0"s);
        EXPECT_EQ(kOperations[c.operation](kPath), c.result) << c.operation;
        EXPECT_EQ(sim::RegLog, c.log) << c.operation;
    }
    // A missing key: one failed open, nothing closed, nothing created.
    for (int operation : {2, 3, 4, 5, 6}) {
        sim::Reset();
        EXPECT_FALSE(kOperations[operation]("Nope\\Path")) << operation;
        EXPECT_EQ(sim::RegLog.size(), 1u) << operation;
        EXPECT_FALSE(sim::KeyExists(HKCU, "Nope")) << operation;
    }
    sim::Reset();
    sim::SetValue(HKCU, "Environment", "Other", os::RegSz, "x\0"s);
    EXPECT_FALSE(RemoveValue(HKCU, kPath));
}

TEST_F(MiniRegTest, EveryOpenedKeyIsClosedOnceWhateverFails) {
    for (std::size_t operation = 0; operation < kOperations.size(); ++operation)
        for (int fail = 0; fail <= 4; ++fail) {
            sim::Reset();
            sim::SetValue(HKCU, "Environment", "Path", os::RegSz, "a\0"s);
            sim::FailRegCallNumber = fail;
            bool ok = kOperations[operation](kPath);
            int opened = 0, closed = 0;
            for (const auto& call : sim::RegLog) {
                opened += call.find(") -> #") != std::string::npos;
                closed += call.rfind("RegCloseKey(#", 0) == 0;
                EXPECT_EQ(call.find("RegCloseKey(HK"), std::string::npos); // never the root
            }
            EXPECT_EQ(opened, 1 - (fail == 1)) << operation << " fail " << fail;
            EXPECT_EQ(closed, opened) << operation << " fail " << fail;
            EXPECT_EQ(sim::OpenKeyCount(), 0);
            if (fail == 0) {
                EXPECT_EQ(ok, operation != 3) << operation; // 3: type mismatch
            } else if (fail <= sim::RegCallCount) {
                EXPECT_FALSE(ok) << operation << " fail " << fail;
            }
        }
}

TEST_F(MiniRegTest, TextsRoundTripAndTypesMustMatch) {
    for (std::string text : {""s, "C:\\A;%SystemRoot%\\x"s, "\xE9t\xE9"s, "a\0b"s}) {
        sim::Reset();
        ASSERT_TRUE(PutSzValue(HKCU, "E\\Sz", text));
        ASSERT_TRUE(PutExpandSzValue(HKCU, "E\\Ex", text));
        EXPECT_EQ(sim::GetValue(HKCU, "E", "Sz"), (sim::Value{1, text + '\0'}));
        EXPECT_EQ(sim::GetValue(HKCU, "E", "Ex"), (sim::Value{2, text + '\0'}));
        std::string sz = "old", ex = "old", wrong1 = "keep", wrong2 = "keep";
        EXPECT_TRUE(FetchSzValue(HKCU, "E\\Sz", sz));
        EXPECT_TRUE(FetchExpandSzValue(HKCU, "E\\Ex", ex));
        EXPECT_EQ(sz, text);
        EXPECT_EQ(ex, text);
        EXPECT_FALSE(FetchSzValue(HKCU, "E\\Ex", wrong1));
        EXPECT_FALSE(FetchExpandSzValue(HKCU, "E\\Sz", wrong2));
        EXPECT_EQ(wrong1 + wrong2, "keepkeep");
    }
}

TEST_F(MiniRegTest, ReadTextDropsEveryTrailingZeroAndNothingElse) {
    struct { std::string stored, text; } cases[] = {
        {"abc", "abc"},      {"abc\0"s, "abc"}, {"abc\0\0"s, "abc"}, {"a\0b\0"s, "a\0b"s},
        {"", ""},            {"\0"s, ""},       {"\0\0\0"s, ""},     {"\0a\0"s, "\0a"s},
    };
    for (const auto& c : cases) {
        sim::Reset();
        sim::SetValue(HKCU, "Environment", "Path", os::RegSz, c.stored);
        std::string text = "old";
        EXPECT_TRUE(FetchSzValue(HKCU, kPath, text)) << c.stored.size();
        EXPECT_EQ(text, c.text) << c.stored.size();
    }
}
