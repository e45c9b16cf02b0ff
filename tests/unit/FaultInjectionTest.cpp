// Each registry call of a run refused in turn, one per run; and the process
// killed after each registry write of the repair. Whatever happens, the run
// says what went wrong, exits with the right status, and the Path text stays
// in the variable or in its backup.
#include "VariableRun.h"

using namespace vr;

class FaultInjectionTest : public SimTest {};

namespace {

// What a run prints and leaves when the calls of one step fail; the last step
// of a flow (no calls) is the run without any fault.
struct Step { int calls; std::string out; int status; Opt path, backup; };
struct Flow { std::string args; Opt before; std::vector<Step> steps; };

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The add operation's own checks: existence, type, read.
std::vector<Step> Checks(const std::string& before, const std::string& read, Opt value) {
    return {{2, before + Lines({kMissing}), 1, value, {}},
            {2, before + Lines({kTypeRead}), 1, value, {}},
            {3, before + Lines({read}), 1, value, {}}};
}

// The repair of a REG_SZ value; after a repair whose backup stayed, the run
// goes on with `kept`.
std::vector<Step> Repair(const std::string& keptOut, int keptStatus, Opt keptPath) {
    return Checks("", kSzRead, Sz(kOld)) +
           std::vector<Step>{{2, Lines({kRepairing, kBackupFailed, ""}), 1, Sz(kOld), {}},
                             {2, Lines({kRepairing, kBackupDone, kWrite, ""}), 1, Sz(kOld), Sz(kOld)},
                             {2, keptOut, keptStatus, keptPath, Sz(kOld)}};
}

std::vector<Flow> Flows() {
    const std::string kept = Lines({kRepairing, kBackupDone, kRetyped, kBackupKept, ""});
    const std::string created = Lines({kCreated, ""});
    // Before the add: the existence check of EnsureVariable, the driver's type read.
    auto before = [](Opt value) {
        return std::vector<Step>{{2, Lines({kCreateFailed}), 1, value, {}},
                                 {2, Lines({kTypeRead}), 1, value, {}}};
    };
    return {
        {"/R", Sz(kOld), Repair(kept, 0, Ex(kOld)) + std::vector<Step>{{0, kRepaired, 0, Ex(kOld), {}}}},
        {"C:\\outils", Sz(kOld),
         before(Sz(kOld)) + Checks("", kSzRead, Sz(kOld)) +
             std::vector<Step>{{2, Lines({kRecommend, "", kWrite}), 1, Sz(kOld), {}},
                               {0, Lines({kRecommend, ""}) + kShowAdded, 0, Sz(kNew), {}}}},
        {"C:\\outils /R", Sz(kOld),
         before(Sz(kOld)) + Checks("", kSzRead, Sz(kOld)) + Repair(kept + kShowAdded, 0, Ex(kNew)) +
             Checks(kRepaired, kExRead, Ex(kOld)) +
             std::vector<Step>{{2, kRepaired + Lines({kWrite}), 1, Ex(kOld), {}},
                               {0, kRepaired + kShowAdded, 0, Ex(kNew), {}}}},
        {"C:\\outils", Ex(kOld),
         before(Ex(kOld)) + Checks("", kExRead, Ex(kOld)) +
             std::vector<Step>{{2, Lines({kWrite}), 1, Ex(kOld), {}}, {0, kShowAdded, 0, Ex(kNew), {}}}},
        {"C:\\outils", {},
         std::vector<Step>{{2, Lines({kCreateFailed}), 1, {}, {}},
                           {2, Lines({kCreateFailed}), 1, {}, {}},
                           {2, created + Lines({kTypeRead}), 1, Ex(""), {}}} +
             Checks(created, kExRead, Ex("")) +
             std::vector<Step>{{2, created + Lines({kWrite}), 1, Ex(""), {}},
                               {0, created + Lines({"Nouvelle variable Path :", "C:\\outils\\", ""}),
                                0, Ex("C:\\outils\\"), {}}}},
    };
}

void Check(const Outcome& r, const Step& s, bool silent, const std::string& what) {
    EXPECT_EQ(r.out, silent ? "" : s.out) << what;
    EXPECT_EQ(r.status, s.status) << what;
    EXPECT_EQ(r.path, s.path) << what;
    EXPECT_EQ(r.backup, s.backup) << what;
    EXPECT_TRUE(r.othersKept) << what;
    EXPECT_EQ(sim::OpenKeyCount(), 0) << what;
}

} // namespace

TEST_F(FaultInjectionTest, EveryRefusedRegistryCallIsReportedAndLosesNothing) {
    for (const Flow& flow : Flows())
        for (std::string silent : {"", " /S"}) {
            const std::string args = flow.args + silent;
            const Outcome clean = RunCommand(args, flow.before);
            const int calls = sim::RegCallCount;
            Check(clean, flow.steps.back(), !silent.empty(), args + " clean");
            int total = 0;
            for (const Step& s : flow.steps) total += s.calls;
            ASSERT_EQ(total, calls) << args;
            std::size_t step = 0;
            for (int k = 1, end = flow.steps[0].calls; k <= calls; ++k) {
                if (k > end) end += flow.steps[++step].calls;
                const Outcome r = RunCommand(args, flow.before, [k] { sim::FailRegCallNumber = k; });
                const std::string what = args + ", call " + std::to_string(k) + " refused: " +
                                         sim::RegLog[static_cast<std::size_t>(k) - 1];
                Check(r, flow.steps[step], !silent.empty(), what);
                EXPECT_LE(r.pathWrites, clean.pathWrites) << what;
                if (flow.before) { // the old text is in the variable (perhaps extended) or the backup
                    EXPECT_TRUE((r.path && r.path->data.rfind(kOld, 0) == 0) || r.backup == Sz(kOld))
                        << what;
                }
            }
        }
}

TEST_F(FaultInjectionTest, ProcessKilledAfterAnyRepairWriteLeavesTheText) {
    struct { std::string args; std::vector<std::pair<Opt, Opt>> states; } cases[] = {
        {"/R", {{Sz(kOld), Sz(kOld)}, {Ex(kOld), Sz(kOld)}, {Ex(kOld), {}}}},
        {"C:\\outils /R", {{Sz(kOld), Sz(kOld)}, {Ex(kOld), Sz(kOld)}, {Ex(kOld), {}}, {Ex(kNew), {}}}},
    };
    for (const auto& c : cases)
        for (std::size_t k = 1; k <= c.states.size() + 1; ++k) {
            const Outcome r = RunCommand(c.args, Sz(kOld), [k] { sim::DieAfterWriteNumber = int(k); });
            const std::string what = c.args + ", killed after write " + std::to_string(k);
            if (k > c.states.size()) { // as many writes as that and no more
                EXPECT_EQ(r.status, 0) << what;
                continue;
            }
            EXPECT_EQ(r.status, 1) << what;
            EXPECT_EQ(r.path, c.states[k - 1].first) << what;
            EXPECT_EQ(r.backup, c.states[k - 1].second) << what;
        }
}
