// A whole run on a machine set up as a transcript in its plain form says (its
// expected lines are ignored; see tests/transcript.py), the first two input
// bytes choosing a registry call to refuse and a write to die after. Checks
// what must hold after any run: only the variable and its backup change; the
// variable keeps every UTF-16 unit the run did not add (or its backup holds
// them); exit 0 means the entry names a folder that exists, as Windows reads it.
#include "Transcript.h"

#include "front/AnsiText.h"
#include "front/ProgramState.h"
#include "front/wayFOLD.h"
#include "pathvar/PathList.h"

#include <cstdio>
#include <cstdlib>

#define CHECK(cond) \
    ((cond) ? (void)0 : (std::fprintf(stderr, "broken: %s (line %d)\n", #cond, __LINE__), std::abort()))

namespace {

std::u16string TextOf(const sim::Value& v) { // without its trailing zeros
    const std::u16string text(reinterpret_cast<const char16_t*>(v.data.data()), v.data.size() / 2);
    return text.substr(0, text.find_last_not_of(u'\0') + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size < 3) return 0;
    const auto runs = transcript::Parse(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
    if (runs.empty()) return 0;
    transcript::Arrange(runs[0]);
    sim::machine.FailRegCallNumber = data[0] % 40;
    sim::machine.DieAfterWriteNumber = data[1] % 8;
    sim::machine.ChangeAfterCall = -1; // no other program: the checks speak of this run's changes
    const auto before = sim::machine.RegistryValues;
    const int status = wayFOLD();
    const auto after = sim::machine.RegistryValues;

    CHECK((status == 0 || status == 1) && sim::OpenKeyCount() == 0);
    CHECK((!Silent || sim::machine.StdOut.empty()) && (status == 1 || sim::machine.StdErr.empty()));
    const std::string variable = transcript::ValueId(MachineScope ? "m" : "u", "PATH");
    const std::string backup = variable + "_WAYFOLD_BACKUP";
    for (const auto* values : {&before, &after})
        for (const auto& [id, value] : *values)
            CHECK(id == variable || id == backup || (before.count(id) && after.count(id) &&
                                                     before.at(id) == after.at(id)));
    const auto was = before.find(variable), is = after.find(variable);
    if (was != before.end() && (was->second.type == 1 || was->second.type == 2)) {
        std::string list;
        const bool listed = ToAnsiExactly(TextOf(was->second), list);
        const std::u16string now = is != after.end() ? TextOf(is->second) : u"-";
        const bool kept =
            now == TextOf(was->second) || (listed && now == ToWide(AppendToPathList(list, FolderArg)));
        CHECK(kept || (after.count(backup) && TextOf(after.at(backup)) == TextOf(was->second)));
        CHECK(is == after.end() || is->second.type == was->second.type ||
              (RepairType && is->second.type == 2));
    } else if (was != before.end()) {
        CHECK(is != after.end() && is->second == was->second);
    }
    if (status == 0 && !FolderArg.empty()) { // the entry names a folder that is there
        std::string list;
        CHECK(is != after.end() && ToAnsiExactly(TextOf(is->second), list) &&
              PathListContains(FolderArg, list));
        std::string windowsReads = FolderArg;
        os::CharUpperBuffA(windowsReads.data(), static_cast<os::u32>(windowsReads.size()));
        CHECK(sim::machine.Folders.count(sim::Canonical(FolderArg)) &&
              sim::Canonical(FolderArg) == windowsReads.substr(0, windowsReads.find_last_not_of('\\') + 1));
    } else if (status == 0 && !ShowHelp) {
        CHECK(is != after.end() && is->second.type == 2);
    }
    return 0;
}
