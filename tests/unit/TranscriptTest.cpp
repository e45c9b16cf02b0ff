// Replays every transcript of tests/transcripts on the simulated Windows.
#include "Transcript.h"

#include "front/wayFOLD.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

// Every value, for a failure message: texts as characters, the rest in hex.
std::string Registry(const std::map<std::string, sim::Value>& values) {
    std::string all;
    for (const auto& [id, v] : values) {
        all += id + " " + std::to_string(v.type) + " ";
        for (std::size_t i = 0; i < v.data.size(); ++i) {
            const unsigned char c = v.data[i];
            char hex[8];
            std::snprintf(hex, sizeof hex, "{%02X}", c);
            const bool text = v.type != 3 && i % 2 == 0 && i + 1 < v.data.size() && !v.data[i + 1];
            all += text && c >= 32 && c < 127 ? std::string(1, char(c)) : text ? "" : hex;
            if (text) ++i;
        }
        all += "\n";
    }
    return all;
}

// What the run printed and left, against its expected lines; the registry
// and the folders as they were before, with the changes those lines name.
void Check(const std::vector<transcript::Words>& expected, std::map<std::string, sim::Value> values,
           const std::set<std::string>& foldersBefore, int status, bool silent, bool died) {
    std::string out, err, made, gotMade, gotErr = sim::StdErr;
    int exit = -1, writes = sim::StdOutWriteCount;
    for (const auto& w : expected) {
        const std::string arg = w.size() > 1 ? w[1] : "";
        if (w[0] == "out") out = transcript::Bytes(arg);
        if (w[0] == "err") err = transcript::Bytes(arg);
        if (w[0] == "exit") exit = std::atoi(arg.c_str());
        if (w[0] == "writes") writes = std::atoi(arg.c_str());
        if (w[0] == "set") values[transcript::ValueId(w)] = {static_cast<os::u32>(std::atoi(w[3].c_str())),
                                                            transcript::Bytes(w[4])};
        if (w[0] == "unset") values.erase(transcript::ValueId(w));
        if (w[0] == "made") made += sim::Canonical(transcript::Bytes(arg)) + " " + (w.size() > 2 ? w[2] : "") + "\n";
    }
    for (const auto& path : sim::Folders())
        if (!foldersBefore.count(path)) gotMade += path + " " + sim::FolderSecurity[path] + "\n";
    // The fault address of the report varies from build to build.
    const std::size_t at = gotErr.find(" dans ", gotErr.find(" module "));
    if (at != std::string::npos && gotErr.size() > at + 22) gotErr.replace(at + 6, 16, "@");
    EXPECT_EQ(status, exit);
    EXPECT_EQ(sim::StdOut, silent ? "" : out);
    EXPECT_EQ(gotErr, died ? gotErr : err); // a death is no exception: its report is not looked at
    EXPECT_EQ(sim::StdOutWriteCount, writes);
    EXPECT_EQ(Registry(sim::AllValues()), Registry(values));
    EXPECT_EQ(gotMade, made);
    EXPECT_EQ(sim::OpenKeyCount(), 0);
}

void Replay(const transcript::Run& run) {
    bool alsoSilent = false;
    for (const auto& w : run.setUp) alsoSilent |= w[0] == "also";
    int calls = 0, refused = 0;
    for (int silent = 0; silent <= alsoSilent; ++silent)
        for (const auto& variant : run.variants)
            for (int k = variant.from; k <= variant.to; ++k) {
                const bool refuse = variant.fault == "refuse", dies = variant.fault == "dies";
                SCOPED_TRACE(run.where + (silent ? " with /S, " : ", ") + variant.fault + " " + std::to_string(k));
                transcript::Arrange(run, silent, refuse ? k : 0, dies ? k : 0);
                const auto values = sim::AllValues();
                const auto folders = sim::Folders();
                const int status = wayFOLD();
                if (!refuse && !dies) calls = sim::RegCallCount;
                refused += refuse && !silent;
                Check(variant.expected, values, folders, status, silent, dies);
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
