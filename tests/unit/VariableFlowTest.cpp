#include "VariableRun.h"

#include "pathvar/AddToVariable.h"
#include "pathvar/VariableLocation.h"

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace vr;

class VariableFlowTest : public SimTest {};

namespace {
const std::string kUserPlain = "Environment\\Path";
const std::string kMachinePlain =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\Path";
} // namespace

TEST_F(VariableFlowTest, LocationsDescrambleToTheTwoPathValues) {
    EXPECT_EQ(DescrambleLocation(UserLocation, 16), kUserPlain);
    EXPECT_EQ(DescrambleLocation(MachineLocation, 65), kMachinePlain);
    for (bool machine : {false, true}) {
        MachineScope = machine;
        ChooseVariable();
        EXPECT_EQ(RootKey, machine ? os::HKeyLocalMachine : os::HKeyCurrentUser);
        EXPECT_EQ(ValuePath, machine ? kMachinePlain : kUserPlain);
    }
    const unsigned char scrambled[6] = {3, 'a' ^ 0x5E, '\\' ^ 0x5E, 'b' ^ 0x5E, 0x5E, 0x5E};
    EXPECT_EQ(DescrambleLocation(scrambled, 5), "a\\b");
    const unsigned char empty[3] = {0, 1, 2};
    EXPECT_EQ(DescrambleLocation(empty, 2), "");
    const unsigned char tooLong[3] = {200, 'x' ^ 0x5E, 'y' ^ 0x5E}; // never read past the array
    EXPECT_EQ(DescrambleLocation(tooLong, 2), "xy");
}

// Neither location may be readable as plain text in the product's sources or
// in the built program (when it has been built).
TEST_F(VariableFlowTest, LocationsAreNotStoredInPlain) {
    namespace fs = std::filesystem;
    const fs::path top = WAYFOLD_SOURCE_DIR;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(top / "src"))
        if (entry.is_regular_file() && entry.path().parent_path().filename() != "sim")
            files.push_back(entry.path());
    if (fs::exists(top / "build/windows/wayfold.exe")) files.push_back(top / "build/windows/wayfold.exe");
    ASSERT_GT(files.size(), 10u);
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        for (const char* plain : {"Environment", "CurrentControlSet", "Session Manager"})
            EXPECT_EQ(bytes.find(plain), std::string::npos) << plain << " in " << file;
    }
}

TEST_F(VariableFlowTest, RunsEndWithTheirMessagesStatusAndValue) {
    const std::string raw = "C:\\A;C:\\outils\\";
    const std::string showRaw = Lines({"Variable Path :", "C:\\A", "", "Nouvelle variable Path :",
                                       raw, "", kDecomposed, "C:\\A", "C:\\outils\\"});
    const std::string present = "C:\\Windows;c:\\OUTILS\\\\";
    const std::string showPresent = Lines({"Variable Path :", present, "", kDecomposed,
                                           "C:\\Windows", "c:\\OUTILS\\\\"});
    const sim::Value multi{7, std::string("a\0b\0\0", 5)};
    struct {
        std::string args; Opt before; std::string out; int status; Opt after;
        bool readOnly = false, staleBackup = false;
    } cases[] = {
        {"/R", Ex(kOld), Lines({"Une r\x82paration n'est pas n\x82" "cessaire (REG_EXPAND_SZ d\x82tect\x82).", ""}) + kShowOld, 0, Ex(kOld)},
        {"/R", Sz(kOld), kRepaired, 0, Ex(kOld), false, true}, // stale backup replaced, then gone
        {"/R", multi, Lines({"La variable Path ne poss\x8A" "de pas le type REG_SZ (r\x82paration impossible)."}), 1, multi},
        {"/R", {}, Lines({kMissing}), 1, {}},
        {"/K /R", Sz(kOld), Lines({kRepairing, kBackupFailed, ""}), 1, Sz(kOld), true},
        {"/K /R", Ex(kOld), Lines({"Une r\x82paration n'est pas n\x82" "cessaire (REG_EXPAND_SZ d\x82tect\x82).", ""}) + kShowOld, 0, Ex(kOld)},
        {"C:\\outils", Ex(present), Lines({kPresent, ""}) + showPresent, 0, Ex(present)},
        {"C:\\outils", Sz(present), Lines({kRecommend, "", kPresent, ""}) + showPresent, 0, Sz(present)},
        {"C:\\outils /R", Sz(present), kRepaired + Lines({kPresent, ""}) + showPresent, 0, Ex(present)},
        {"C:\\outils", multi, "", 1, multi},
        {"C:\\outils", Ex(""), Lines({"Nouvelle variable Path :", "C:\\outils\\", ""}), 0, Ex("C:\\outils\\")},
        {"C:\\outils", Sz(""), Lines({kRecommend, "", "Nouvelle variable Path :", "C:\\outils\\", ""}), 0, Sz("C:\\outils\\")},
        // No terminating zero, or two: the last character stays, no zero ends up inside.
        {"C:\\outils", sim::Value{2, "C:\\A"}, showRaw, 0, Ex(raw)},
        {"C:\\outils", sim::Value{2, std::string("C:\\A\0\0", 6)}, showRaw, 0, Ex(raw)},
        {"C:\\outils /R", sim::Value{1, "C:\\A"}, kRepaired + showRaw, 0, Ex(raw)},
        {"/K C:\\outils", {}, Lines({kCreateFailed}), 1, {}, true},
        {"/K C:\\outils", Ex(kOld), Lines({kWrite}), 1, Ex(kOld), true},
        {"/K C:\\outils /S", Sz(kOld), "", 0, Sz(kNew)},
    };
    for (const auto& c : cases) {
        Outcome r = RunCommand(c.args, c.before, [&] {
            if (c.readOnly) sim::ReadOnlyRoot = os::HKeyLocalMachine;
            if (c.staleBackup)
                sim::SetValue(os::HKeyCurrentUser, "Environment", "Path_wayFOLD_BACKUP", 1, "old");
        });
        const std::string what = c.args + " on " + (c.before ? c.before->data : "nothing");
        EXPECT_EQ(r.out, c.out) << what;
        EXPECT_EQ(r.status, c.status) << what;
        EXPECT_EQ(r.path, c.after) << what;
        EXPECT_EQ(r.backup, Opt{}) << what;
        EXPECT_TRUE(r.othersKept) << what;
        EXPECT_EQ(sim::OpenKeyCount(), 0) << what;
    }
}

TEST_F(VariableFlowTest, AddChecksTheTypeItExpects) {
    struct { bool expandFlow; sim::Value value; std::string out; } cases[] = {
        {true, Sz(kOld), Lines({"La variable Path ne poss\x8A" "de pas le type REG_EXPAND_SZ."})},
        {false, Ex(kOld), Lines({"La variable Path ne poss\x8A" "de pas le type REG_SZ."})},
    };
    for (const auto& c : cases) {
        sim::Reset();
        OpenStdOut();
        ChooseVariable();
        sim::SetValue(RootKey, "Environment", "Path", c.value.type, c.value.data);
        EXPECT_FALSE(c.expandFlow ? AddToExpandSzVariable("C:\\x\\") : AddToSzVariable("C:\\x\\"));
        EXPECT_EQ(Output(), c.out);
        EXPECT_EQ(sim::GetValue(RootKey, "Environment", "Path"), c.value);
        EXPECT_EQ(NewPathText, "");
    }
}

// A Path that exists but cannot be read this time must not be taken for a
// missing one and replaced by an empty value.
TEST_F(VariableFlowTest, EnsureVariableCreatesOnlyAMissingValue) {
    struct { Opt before; int fail; bool result; Opt after; std::string out; } cases[] = {
        {Sz(kOld), 1, false, Sz(kOld), ""}, // the open refused
        {Sz(kOld), 2, false, Sz(kOld), ""}, // the query refused
        {Sz(kOld), 0, true, Sz(kOld), ""},
        {{}, 0, true, Ex(""), Lines({kCreated, ""})},
        {{}, 2, false, {}, ""},             // refused, not found: nothing written
    };
    for (const auto& c : cases) {
        sim::Reset();
        OpenStdOut();
        ChooseVariable();
        sim::AddKey(RootKey, "Environment");
        if (c.before) sim::SetValue(RootKey, "Environment", "Path", c.before->type, c.before->data);
        sim::FailRegCallNumber = c.fail;
        EXPECT_EQ(EnsureVariable(RootKey, ValuePath), c.result) << c.fail;
        EXPECT_EQ(sim::GetValue(RootKey, "Environment", "Path"), c.after) << c.fail;
        EXPECT_EQ(Output(), c.out) << c.fail;
    }
}
