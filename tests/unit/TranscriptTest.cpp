// Replays every transcript of tests/transcripts on the simulated Windows.
#include "Transcript.h"

#include "front/wayFOLD.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

namespace {

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return hex;
}

// What the run printed and left, written as tests/transcript.py writes what
// is expected of it: exit status, output, the report (its address left out),
// the writes to standard output and the registry calls if expected, every
// value, the folders made.
std::string Outcome(int status, const std::set<std::string>& foldersBefore, const std::string& expected) {
    static const std::regex address(" dans [0-9A-F]{16}\\.");
    const std::string err = std::regex_replace(sim::machine.StdErr, address, " dans @.");
    std::string outcome = "exit " + std::to_string(status) + "\nout " + Hex(sim::machine.StdOut) +
                          "\nerr " + Hex(err) + "\n";
    if (expected.find("\nwrites ") != std::string::npos)
        outcome += "writes " + std::to_string(sim::machine.StdOutWriteCount) + "\n";
    if (expected.find("\ncalls ") != std::string::npos) // each of them refused in turn by other runs
        outcome += "calls " + std::to_string(sim::machine.RegCallCount) + "\n";
    for (const auto& [id, value] : sim::machine.RegistryValues)
        outcome += "value " + id + " " + std::to_string(value.type) + " " + Hex(value.data) + "\n";
    for (const auto& path : sim::machine.Folders)
        if (!foldersBefore.count(path))
            outcome += "made " + Hex(path) + " " + sim::machine.FolderSecurity[path] + "\n";
    return outcome;
}

} // namespace

TEST(Transcripts, EveryRunEndsAsWritten) {
    std::ifstream in(TRANSCRIPTS, std::ios::binary);
    const auto runs = transcript::Parse({std::istreambuf_iterator<char>(in), {}});
    ASSERT_GT(runs.size(), 300u);
    for (const auto& run : runs) {
        SCOPED_TRACE(run.where);
        transcript::Arrange(run);
        const auto folders = sim::machine.Folders;
        const int status = wayFOLD();
        EXPECT_EQ(Outcome(status, folders, run.outcome), run.outcome);
        EXPECT_EQ(sim::OpenKeyCount(), 0);
    }
}
