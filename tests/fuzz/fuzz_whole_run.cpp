// A whole run on a machine set up as a transcript says (its expected lines are
// ignored; see tests/unit/Transcript.h), the first two input bytes choosing a
// registry call to refuse and a write to die after. Checks what must hold
// after any run: the Path keeps every byte the run did not add, and exit 0
// means the entry now in it names a folder that exists, as Windows reads it.
#include "Transcript.h"

#include "front/AnsiText.h"
#include "front/ProgramState.h"
#include "front/wayFOLD.h"

#include <cstdio>
#include <cstdlib>

#define CHECK(cond) \
    ((cond) ? (void)0 : (std::fprintf(stderr, "broken: %s (line %d)\n", #cond, __LINE__), std::abort()))

namespace {

const std::string kBackup = "_WAYFOLD_BACKUP";

// The text of a value: UTF-16 without its trailing zeros.
std::u16string TextOf(const sim::Value& v) {
    std::u16string text(v.data.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(v.data[2 * i]) | static_cast<unsigned char>(v.data[2 * i + 1]) << 8);
    while (!text.empty() && text.back() == 0) text.pop_back();
    return text;
}

// The list with the folder added: blanks around it and ';' at its end dropped.
std::u16string Appended(std::u16string list, const std::u16string& folder) {
    auto blank = [](char16_t c) { return c <= 32; };
    while (!list.empty() && blank(list.back())) list.pop_back();
    while (!list.empty() && blank(list.front())) list.erase(0, 1);
    while (!list.empty() && list.back() == ';') list.pop_back();
    const bool entries = list.find_first_not_of(u"; \t\r\n") != std::u16string::npos;
    return entries ? list + u";" + folder : folder;
}

// Entries compare without trailing backslashes and upper-cased.
std::string Form(std::string s) {
    while (!s.empty() && s.back() == '\\') s.pop_back();
    os::CharUpperBuffA(s.data(), static_cast<os::u32>(s.size()));
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size < 3) return 0;
    const auto runs = transcript::Parse(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
    if (runs.empty()) return 0;
    transcript::Arrange(runs[0], "", data[0] % 40, data[1] % 8);
    const auto before = sim::AllValues();
    const int status = wayFOLD();
    const auto after = sim::AllValues();

    CHECK((status == 0 || status == 1) && sim::OpenKeyCount() == 0);
    CHECK(!Silent || sim::StdOut.empty());
    CHECK(status == 1 || sim::StdErr.empty());
    std::string variable = transcript::ParseValue(MachineScope ? "machine" : "user", "Path").first;
    for (const auto* values : {&before, &after})
        for (const auto& [id, value] : *values) {
            const auto was = before.find(id), is = after.find(id);
            if (was == before.end() || is == after.end() || !(was->second == is->second))
                CHECK(id == variable || id == variable + kBackup);
        }
    const auto was = before.find(variable), is = after.find(variable), backup = after.find(variable + kBackup);
    const bool text = was != before.end() && (was->second.type == 1 || was->second.type == 2);
    const std::u16string folder = ToWide(FolderArg);
    if (text) { // kept to the byte, or with the folder added, or in the backup
        const bool kept = is != after.end() && (TextOf(is->second) == TextOf(was->second) ||
                                                TextOf(is->second) == Appended(TextOf(was->second), folder));
        CHECK(kept || (backup != after.end() && TextOf(backup->second) == TextOf(was->second)));
        CHECK(is == after.end() || is->second.type == was->second.type ||
              (RepairType && was->second.type == 1 && is->second.type == 2));
    } else if (was != before.end()) {
        CHECK(is != after.end() && is->second == was->second);
    }
    if (status == 0 && !FolderArg.empty()) { // an entry naming a folder that is there
        CHECK(sim::Folders().count(sim::Canonical(FolderArg)) && is != after.end());
        CHECK(sim::Canonical(FolderArg) == Form(FolderArg)); // as Windows reads it
        std::string list;
        CHECK(ToAnsiExactly(TextOf(is->second), list));
        bool entry = false;
        for (std::size_t start = 0, end; start <= list.size(); start = end + 1) {
            end = std::min(list.find(';', start), list.size());
            entry |= Form(list.substr(start, end - start)) == Form(FolderArg);
        }
        CHECK(entry);
    } else if (status == 0 && !ShowHelp) {
        CHECK(is != after.end() && is->second.type == 2);
    }
    return 0;
}
