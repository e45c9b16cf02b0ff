// Path list operations. Input: the folder, a '\n', then the list.
#include "FuzzCommon.h"
#include "front/Console.h"
#include "pathvar/PathList.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    StartRun(false);
    OpenStdOut();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    const std::string folder = input.substr(0, cut);
    const std::string list = cut == std::string::npos ? "" : input.substr(cut + 1);
    const std::string key = Form(folder);
    bool found = false;
    for (const auto& entry : Entries(list)) found |= Form(entry) == key;
    if (!key.empty()) CHECK(PathListContains(folder, list) == found);

    const std::string grown = AppendToPathList(list, folder);
    CHECK(grown.size() >= folder.size() &&
          grown.compare(grown.size() - folder.size(), std::string::npos, folder) == 0);
    if (!key.empty() && folder.find(';') == std::string::npos)
        CHECK(PathListContains(folder, grown));
    // No entry is lost: each one with more than blanks is still there, trimmed.
    for (std::string entry : Entries(list)) {
        while (!entry.empty() && static_cast<unsigned char>(entry.back()) <= 32) entry.pop_back();
        std::size_t first = 0;
        while (first < entry.size() && static_cast<unsigned char>(entry[first]) <= 32) ++first;
        CHECK(grown.find(entry.substr(first)) != std::string::npos);
    }
    ShowPathVariable(list, grown);
    CloseStdOut();
    CHECK(sim::StdOut().find(grown) != std::string::npos); // the new value, as it is
    return 0;
}
