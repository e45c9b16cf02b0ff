#include "pathvar/PathList.h"

#include "common/Console.h"
#include "common/PathText.h"
#include "platform/Platform.h"

namespace {

// Entries compare without their trailing backslashes and without regard to
// case, by the user's locale. A two-byte character ending in the byte of '\'
// (表 on a Japanese system) is no backslash.
std::string ComparisonForm(const std::string& entry) {
    std::string form = DropTrailingBackslashes(entry);
    if (!form.empty()) os::CharUpperBuffA(form.data(), static_cast<os::u32>(form.size()));
    return form;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

bool PathListContains(const std::string& folder, const std::string& list) {
    const std::string key = ComparisonForm(folder);
    std::size_t start = 0;
    for (;;) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) {
            std::string last = list.substr(start);
            return !last.empty() && ComparisonForm(last) == key;
        }
        if (ComparisonForm(list.substr(start, end - start)) == key) return true;
        start = end + 1;
    }
}

// The list's two ends tidied (blanks and control characters, then the
// trailing separators), and the folder after it: nothing else is changed.
std::string AppendToPathList(const std::string& list, const std::string& folder) {
    std::size_t first = 0, end = list.size();
    while (first < end && IsBlankOrControl(list[first])) ++first;
    while (end > first && IsBlankOrControl(list[end - 1])) --end;
    while (end > first && list[end - 1] == ';') --end;
    // One copy into a string of the final size: a Path can be 32 KB long.
    std::string result;
    result.reserve(end - first + 1 + folder.size());
    result.append(list, first, end - first);
    if (!result.empty()) result += ';';
    result += folder;
    return result;
}

void ShowPathVariable(const std::string& current, const std::string& updated) {
    if (!current.empty()) {
        PrintConverted("Variable Path :");
        PrintLine(current);
        PrintLine("");
    }
    const std::string* decompose = &current;
    if (!updated.empty()) {
        PrintConverted("Nouvelle variable Path :");
        PrintLine(updated);
        PrintLine("");
        decompose = &updated;
    }
    if (decompose->find(';') == std::string::npos) return;
    PrintConverted("Variable Path (décomposée) :");
    std::size_t start = 0;
    for (;;) {
        std::size_t end = decompose->find(';', start);
        std::string entry = decompose->substr(start, end == std::string::npos ? end : end - start);
        if (!entry.empty()) PrintConverted(entry);
        if (end == std::string::npos) return;
        start = end + 1;
    }
}
