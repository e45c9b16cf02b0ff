// Command-line splitting and switches. Input: one byte whose low bit picks a
// double-byte code page, then the command line (up to its first NUL).
#include "FuzzCommon.h"
#include "front/CommandLine.h"
#include "front/Console.h"

#include <cctype>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0) return 0;
    const bool doubleByte = data[0] & 1;
    StartRun(doubleByte);
    OpenStdOut();
    sim::CommandLine = std::string(reinterpret_cast<const char*>(data + 1), size - 1).c_str();
    const std::string line = sim::CommandLine;
    const std::vector<std::string> args = SplitCommandLine(line.c_str());
    for (const auto& arg : args) {
        CHECK(!arg.empty());
        if (!doubleByte) CHECK(arg.find('"') == std::string::npos);
    }
    if (!doubleByte && line.find('"') == std::string::npos) {
        // Without quotes, only bytes 1 to 32 separate arguments.
        std::vector<std::string> words;
        std::string word;
        for (char c : line + ' ') {
            if (static_cast<unsigned char>(c) > 32) word += c;
            else if (!word.empty()) words.push_back(word), word.clear();
        }
        CHECK(args == words);
    }
    const bool ok = ParseCommandLine();
    bool help = args.size() <= 1, k = false, r = false, s = false;
    std::string folder;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const int sw =
            a.size() == 2 && a[0] == '/' ? std::toupper(static_cast<unsigned char>(a[1])) : 0;
        help |= a == "?" || sw == '?';
        k |= sw == 'K', r |= sw == 'R', s |= sw == 'S';
        if (a[0] != '/' && folder.empty()) folder = a;
    }
    CHECK(ok == !help && ShowHelp == help);
    CHECK(MachineScope == k && RepairType == r && Silent == s);
    CHECK(FolderArg == folder && (FolderArg.empty() || FolderArg[0] != '/'));
    CloseStdOut();
    CHECK(sim::StdOut().empty() == (s || !help)); // only the usage text, and not with /S
    return 0;
}
