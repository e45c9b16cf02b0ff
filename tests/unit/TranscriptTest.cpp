// Replays every transcript of tests/transcripts on the simulated Windows.
#include "Transcript.h"

#include "front/wayFOLD.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// A value for a failure message: texts as characters, the rest in hex.
std::string Readable(const sim::Value& v) {
    const bool text = v.type != 3 && v.data.size() % 2 == 0;
    std::string shown = std::to_string(v.type) + (text ? " \"" : " hex:");
    char hex[12];
    for (std::size_t i = 0; i < v.data.size(); i += text ? 2 : 1) {
        const unsigned unit = static_cast<unsigned char>(v.data[i]) |
                              (text ? static_cast<unsigned char>(v.data[i + 1]) << 8 : 0);
        std::snprintf(hex, sizeof hex, text ? "{U+%04X}" : "%02x", unit);
        shown += text && unit >= 32 && unit < 127 ? std::string(1, char(unit)) : hex;
    }
    return shown + (text ? "\"\n" : "\n");
}

std::string Registry(const std::map<std::string, sim::Value>& values) {
    std::string all;
    for (const auto& [id, value] : values) all += id + " " + Readable(value);
    return all;
}

// The run's outcome against its expected lines; registry and folders against
// the machine as it was before.
void Check(const std::vector<transcript::Line>& expected, const std::map<std::string, sim::Value>& before,
           const std::set<std::string>& foldersBefore, int status, bool silent, bool died) {
    std::string out, err, made, writes = std::to_string(sim::StdOutWriteCount);
    int exit = -1;
    auto values = before;
    for (const auto& l : expected) {
        if (l.word == "|" || l.word == "err") {
            (l.word == "|" ? out : err) += transcript::Printed(l.rest) + "\r\n";
        } else if (l.word == "exit") {
            exit = std::atoi(l.rest.c_str());
        } else if (l.word == "writes") {
            writes = l.rest;
        } else if (l.word == "user" || l.word == "machine") {
            auto [id, value] = transcript::ParseValue(l.word, l.rest);
            if (value) values[id] = *value;
            else values.erase(id);
        } else if (l.word == "made") {
            const std::string rest = transcript::Ansi(l.rest);
            const std::size_t cut = rest.find(' ');
            made += sim::Canonical(rest.substr(0, cut)) + " " + (cut == std::string::npos ? "" : rest.substr(cut + 1)) + "\n";
        } else {
            ADD_FAILURE() << "line " << l.number << ": unknown " << l.word;
        }
    }
    std::string gotMade, gotErr = sim::StdErr;
    for (const auto& path : sim::Folders())
        if (!foldersBefore.count(path)) gotMade += path + " " + sim::FolderSecurity[path] + "\n";
    // The fault address of the report varies from build to build.
    const std::size_t at = gotErr.find(" dans ", gotErr.find(" module "));
    if (at != std::string::npos && gotErr.size() > at + 22) gotErr.replace(at + 6, 16, "@");
    EXPECT_EQ(status, exit);
    EXPECT_EQ(sim::StdOut, silent ? "" : out);
    EXPECT_EQ(gotErr, died ? gotErr : err);
    EXPECT_EQ(sim::StdOutWriteCount, std::atoi(writes.c_str()));
    EXPECT_EQ(Registry(sim::AllValues()), Registry(values));
    EXPECT_EQ(gotMade, made);
    EXPECT_EQ(sim::OpenKeyCount(), 0);
}

void Replay(const std::string& file, const transcript::Run& run) {
    const bool alsoSilent = std::any_of(run.setUp.begin(), run.setUp.end(),
                                        [](const auto& l) { return l.word == "also"; });
    int calls = 0, refused = 0;
    for (int pass = 0; pass <= (alsoSilent ? 1 : 0); ++pass)
        for (const auto& variant : run.variants)
            for (int k = variant.from; k <= variant.to; ++k) {
                const bool silent = pass == 1, refuse = variant.fault == "refuse";
                SCOPED_TRACE(file + ":" + std::to_string(run.line) + (silent ? " with /S, " : ", ") +
                             (variant.fault.empty() ? "plain" : variant.fault + " " + std::to_string(k)));
                transcript::Arrange(run, silent ? " /S" : "", refuse ? k : 0,
                                    variant.fault == "dies" ? k : 0);
                const auto values = sim::AllValues();
                const auto folders = sim::Folders();
                const int status = wayFOLD();
                if (variant.fault.empty()) calls = sim::RegCallCount;
                refused += refuse && !silent;
                Check(variant.expected, values, folders, status, silent, variant.fault == "dies");
            }
    // Each registry call of the run, refused in turn, has its outcome written.
    if (refused) {
        EXPECT_EQ(refused, calls) << file << ":" << run.line;
    }
}

} // namespace

TEST(Transcripts, EveryRunEndsAsWritten) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(TRANSCRIPT_DIR))
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        for (const auto& run : transcript::Parse(text)) Replay(path.filename().string(), run);
    }
}
