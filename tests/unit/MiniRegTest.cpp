#include "SimFixture.h"

#include "MiniReg/MiniReg.h"

#include <functional>

using namespace std::string_literals;
using Log = std::vector<std::string>;

class MiniRegTest : public SimTest {};

namespace {

const os::RegKey HKCU = os::HKeyCurrentUser;
const std::string kPath = "Environment\\Path";

// Every value operation; each also fails when a failed read touched its output.
bool Keeps(bool ok, const std::string& text) { return ok || text != "keep"; }
const std::vector<std::function<bool(const std::string&)>> kOperations = {
    [](const std::string& p) { return PutSzValue(HKCU, p, "x"); },
    [](const std::string& p) { return PutExpandSzValue(HKCU, p, "x"); },
    [](const std::string& p) { std::string t = "keep"; return Keeps(FetchSzValue(HKCU, p, t), t); },
    [](const std::string& p) { std::string t = "keep"; return Keeps(FetchExpandSzValue(HKCU, p, t), t); },
    [](const std::string& p) { return HasValue(HKCU, p); },
    [](const std::string& p) { std::uint32_t t = 9; return FetchValueType(HKCU, p, t) || t != 0; },
    [](const std::string& p) { return RemoveValue(HKCU, p); },
};

} // namespace

TEST_F(MiniRegTest, ValuePathSplitsAtItsLastBackslash) {
    struct { std::string path, subKey, name; } cases[] = {
        {"Top\\Sub\\Name", "Top\\Sub", "Name"}, {"\\Name", "", "Name"}, {"Top\\", "Top", ""}};
    for (const auto& c : cases) {
        sim::Reset();
        EXPECT_TRUE(PutSzValue(HKCU, c.path, "ab")) << c.path;
        EXPECT_EQ(sim::RegLog, (Log{"RegCreateKeyExA(HKCU, \"" + c.subKey + "\", 0, null, 0, 0x20006) -> #1",
                                    "RegSetValueExA(#1, \"" + c.name + "\", 0, 1, 3 bytes)",
                                    "RegCloseKey(#1)"}));
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
    const std::string read = "RegOpenKeyExA(HKCU, \"Environment\", 0, 0x20019) -> #1";
    const std::string size = "RegQueryValueExA(#1, \"Path\", null, type, null, size)";
    const std::string data = "RegQueryValueExA(#1, \"Path\", null, type, data, size)";
    struct { int operation; bool result; Log log; } cases[] = {
        {0, true, {"RegCreateKeyExA(HKCU, \"Environment\", 0, null, 0, 0x20006) -> #1",
                   "RegSetValueExA(#1, \"Path\", 0, 1, 2 bytes)"}},
        {2, false, {read, size, data}}, // type mismatch, found after the data was read
        {3, true, {read, size, data}},
        {4, true, {read, "RegQueryValueExA(#1, \"Path\", null, null, null, null)"}},
        {5, true, {read, "RegQueryValueExA(#1, \"Path\", null, type, null, null)"}},
        {6, true, {"RegOpenKeyExA(HKCU, \"Environment\", 0, 0x20006) -> #1", "RegDeleteValueA(#1, \"Path\")"}},
    };
    for (auto c : cases) {
        sim::Reset();
        sim::SetValue(HKCU, "Environment", "Path", os::RegExpandSz, "a;b\0"s);
        EXPECT_EQ(kOperations[c.operation](kPath), c.result) << c.operation;
        c.log.push_back("RegCloseKey(#1)");
        EXPECT_EQ(sim::RegLog, c.log) << c.operation;
    }
    for (int operation : {2, 3, 4, 5, 6}) { // a missing key: one failed open, nothing created
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
            const std::string what = std::to_string(operation) + " fail " + std::to_string(fail);
            EXPECT_EQ(opened, 1 - (fail == 1)) << what;
            EXPECT_EQ(closed, opened) << what;
            EXPECT_EQ(sim::OpenKeyCount(), 0) << what;
            const bool clean = fail == 0 || fail > sim::RegCallCount;
            EXPECT_EQ(ok, clean && operation != 3) << what; // 3: type mismatch
        }
}

TEST_F(MiniRegTest, TextsRoundTripAndTypesMustMatch) {
    for (std::string text : {""s, "C:\\A;%SystemRoot%\\x"s, "\xE9t\xE9"s, "a\0b"s}) {
        sim::Reset();
        ASSERT_TRUE(PutSzValue(HKCU, "E\\Sz", text) && PutExpandSzValue(HKCU, "E\\Ex", text));
        EXPECT_EQ(sim::GetValue(HKCU, "E", "Sz"), (sim::Value{1, text + '\0'}));
        EXPECT_EQ(sim::GetValue(HKCU, "E", "Ex"), (sim::Value{2, text + '\0'}));
        std::string sz = "old", ex = "old", wrong1 = "keep", wrong2 = "keep";
        EXPECT_TRUE(FetchSzValue(HKCU, "E\\Sz", sz) && FetchExpandSzValue(HKCU, "E\\Ex", ex));
        EXPECT_EQ(sz + "|" + ex, text + "|" + text);
        EXPECT_FALSE(FetchSzValue(HKCU, "E\\Ex", wrong1) || FetchExpandSzValue(HKCU, "E\\Sz", wrong2));
        EXPECT_EQ(wrong1 + wrong2, "keepkeep");
    }
}

TEST_F(MiniRegTest, ReadTextDropsEveryTrailingZeroAndNothingElse) {
    struct { std::string stored, text; } cases[] = {
        {"abc", "abc"}, {"abc\0"s, "abc"}, {"abc\0\0"s, "abc"}, {"a\0b\0"s, "a\0b"s},
        {"", ""},       {"\0"s, ""},       {"\0\0\0"s, ""},     {"\0a\0"s, "\0a"s},
    };
    for (const auto& c : cases) {
        sim::Reset();
        sim::SetValue(HKCU, "Environment", "Path", os::RegSz, c.stored);
        std::string text = "old";
        EXPECT_TRUE(FetchSzValue(HKCU, kPath, text)) << c.stored.size();
        EXPECT_EQ(text, c.text) << c.stored.size();
    }
}
