// Replays every transcript of tests/transcripts on the simulated Windows.
#include "Transcript.h"

#include "front/wayFOLD.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return hex;
}

// What the run printed and left, written as tests/transcript.py writes what
// is expected of it: exit status, output, the report (its address left out),
// every value, the folders made.
std::string Outcome(int status, const std::set<std::string>& foldersBefore, bool writes) {
    std::string err = sim::machine.StdErr;
    const std::size_t at = err.find(" dans ", err.find(" module "));
    if (at != std::string::npos && err.size() > at + 22) err.replace(at + 6, 16, "@");
    std::string outcome = "exit " + std::to_string(status) + "\nout " + Hex(sim::machine.StdOut) +
                          "\nerr " + Hex(err) + "\n";
    if (writes) outcome += "writes " + std::to_string(sim::machine.StdOutWriteCount) + "\n";
    for (const auto& [id, value] : sim::AllValues())
        outcome += "value " + id + " " + std::to_string(value.type) + " " + Hex(value.data) + "\n";
    for (const auto& path : sim::machine.Folders)
        if (!foldersBefore.count(path))
            outcome += "made " + Hex(path) + " " + sim::machine.FolderSecurity[path] + "\n";
    return outcome;
}

void Replay(const transcript::Run& run) {
    int calls = 0, refused = 0;
    for (const auto& variant : run.variants)
        for (int k = variant.from; k <= variant.to; ++k) {
            const bool refuse = variant.fault == "refuse", dies = variant.fault == "dies";
            SCOPED_TRACE(run.where + (variant.silent ? " with /S, " : ", ") + variant.fault + " " +
                         std::to_string(k));
            transcript::Arrange(run, variant.silent, refuse ? k : 0, dies ? k : 0);
            const auto folders = sim::machine.Folders;
            const int status = wayFOLD();
            if (!refuse && !dies) calls = sim::machine.RegCallCount;
            refused += refuse && !variant.silent;
            EXPECT_EQ(Outcome(status, folders, variant.outcome.find("\nwrites ") != std::string::npos),
                      variant.outcome);
            EXPECT_EQ(sim::OpenKeyCount(), 0);
        }
    // Each registry call of the run, refused in turn, has its outcome written.
    if (refused) {
        EXPECT_EQ(refused, calls) << run.where;
    }
}

} // namespace

TEST(Transcripts, EveryRunEndsAsWritten) {
    std::ifstream in(TRANSCRIPTS, std::ios::binary);
    const auto runs = transcript::Parse({std::istreambuf_iterator<char>(in), {}});
    ASSERT_GT(runs.size(), 100u);
    for (const auto& run : runs) Replay(run);
}
