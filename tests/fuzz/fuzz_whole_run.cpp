// A whole run on a machine set up by the input. Byte 0: 1 no Path value,
// 2 double-byte code page, 4 HKLM read-only, 8 input not a console, 16 a stale
// backup, 32/64 standard output a pipe, console, file or none. Byte 1: the
// value's type (0-7). Bytes 2-4: the registry call that fails, the registry
// write after which the process dies, the output write that fails (0: none).
// Then, '\n'-separated: the arguments after "wayfold", the keys typed, the
// drive letters, the folders present ('|' between, '!' before a file), and
// the rest: the bytes of the Path value.
#include "FuzzCommon.h"
#include "front/CommandLine.h"
#include "front/wayFOLD.h"
#include "pathvar/VariableLocation.h"

#include <algorithm>
#include <cctype>

namespace {

const std::string kBackup = "_wayFOLD_BACKUP";

std::string Field(std::string& rest) {
    const std::size_t cut = rest.find('\n');
    std::string field = rest.substr(0, cut);
    rest = cut == std::string::npos ? "" : rest.substr(cut + 1);
    return field;
}

// The text of a value as the command reads it: trailing zeros dropped.
std::string TextOf(const sim::Value& value) {
    std::string text = value.data;
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// The list with the folder added: blanks around it and ';' at its end dropped.
std::string Appended(std::string list, const std::string& folder) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    if (std::all_of(list.begin(), list.end(), [&](char c) { return blank(c) || c == ';'; }))
        return folder;
    while (blank(list.back())) list.pop_back();
    list.erase(0, std::find_if_not(list.begin(), list.end(), blank) - list.begin());
    while (list.back() == ';') list.pop_back();
    return list + ";" + folder;
}

// Sets RootKey and ValuePath for that scope; gives the sub-key and the name.
std::pair<std::string, std::string> Variable(bool machine) {
    MachineScope = machine;
    ChooseVariable();
    const std::size_t cut = ValuePath.rfind('\\');
    return {ValuePath.substr(0, cut), ValuePath.substr(cut + 1)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size < 5) return 0;
    const unsigned flags = data[0];
    StartRun(flags & 2);
    std::string rest(reinterpret_cast<const char*>(data + 5), size - 5);
    sim::CommandLine = "wayfold " + Field(rest);
    sim::TypeKeys(Field(rest));
    for (char d : Field(rest))
        if (std::isalpha(static_cast<unsigned char>(d))) sim::AddDrive(d);
    const std::string paths = Field(rest) + '|';
    for (std::size_t at = 0, bar; (bar = paths.find('|', at)) != std::string::npos; at = bar + 1) {
        const std::string path = paths.substr(at, bar - at);
        if (path[0] == '!') sim::AddFile(path.substr(1));
        else if (!path.empty()) sim::AddFolder(path);
    }
    const bool missing = flags & 1;
    const sim::Value original{data[1] & 7u, rest};
    for (bool machine : {false, true}) { // the same machine-wide and for the user
        const auto [subKey, name] = Variable(machine);
        sim::SetValue(RootKey, subKey, "TEMP", os::RegExpandSz, std::string("C:\\Temp\0", 8));
        if (!missing) sim::SetValue(RootKey, subKey, name, original.type, original.data);
        if (flags & 16) sim::SetValue(RootKey, subKey, name + kBackup, os::RegSz, "old");
    }
    ResetProgramState();
    if (flags & 4) sim::ReadOnlyRoot = os::HKeyLocalMachine;
    sim::InputIsConsole = !(flags & 8);
    const os::u32 outputs[] = {os::FileTypePipe, os::FileTypeChar, os::FileTypeDisk,
                               os::FileTypeUnknown};
    sim::StdOutType = outputs[(flags >> 5) & 3];
    sim::FailRegCallNumber = data[2] % 32;
    sim::DieAfterWriteNumber = data[3] % 8;
    sim::FailStdOutWriteNumber = data[4] % 16;
    const auto before = sim::AllValues();

    const int status = wayFOLD();

    CHECK((status == 0 || status == 1) && sim::OpenKeyCount() == 0);
    CHECK(!Silent || sim::StdOut().empty());
    CHECK(status == 1 || sim::StdErr.empty());
    // Nothing written but the chosen variable and its backup.
    const auto [subKey, name] = Variable(MachineScope);
    const std::string variableId = Form((MachineScope ? "HKLM\\" : "HKCU\\") + ValuePath);
    const auto after = sim::AllValues();
    for (const auto* values : {&before, &after})
        for (const auto& [id, value] : *values) {
            const auto was = before.find(id), is = after.find(id);
            if (was == before.end() || is == after.end() || !(was->second == is->second))
                CHECK(Form(id) == variableId || Form(id) == variableId + Form(kBackup));
        }
    // The folder as the command takes it.
    const std::vector<std::string> args = SplitCommandLine(sim::CommandLine.c_str());
    std::string folder;
    for (std::size_t i = 1; i < args.size() && folder.empty(); ++i)
        if (args[i][0] != '/') folder = args[i];
    const bool addMode = !ShowHelp && !(RepairType && folder.empty());
    folder = AddTrailingBackslash(folder);
    // A drive-relative folder is taken from the current folder of its drive,
    // which is the root on the simulated machine.
    if (folder.size() > 2 && folder[1] == ':' && folder[2] != '\\') folder.insert(2, "\\");

    const auto variable = sim::GetValue(RootKey, subKey, name);
    const auto backup = sim::GetValue(RootKey, subKey, name + kBackup);
    if (!missing && original.type != os::RegSz && original.type != os::RegExpandSz) {
        CHECK(variable == original);
    } else if (!missing) {
        // The text is never lost: in the variable, maybe with the folder added,
        // or in the backup; only a repair changes the type, REG_SZ to REG_EXPAND_SZ.
        const std::string text = TextOf(original);
        const bool held = variable && (TextOf(*variable) == text ||
                                       TextOf(*variable) == Appended(text, folder));
        CHECK(held || (backup && backup->type == os::RegSz && TextOf(*backup) == text));
        CHECK(!variable || variable->type == original.type ||
              (RepairType && original.type == os::RegSz && variable->type == os::RegExpandSz));
    }
    if (status == 0 && addMode) { // the folder exists and is an entry of the variable
        CHECK(sim::FolderExists(folder) && variable);
        bool entry = false;
        for (const auto& e : Entries(TextOf(*variable))) entry |= Form(e) == Form(folder);
        CHECK(entry);
    } else if (status == 0) {
        CHECK(variable && variable->type == os::RegExpandSz);
    }
    return 0;
}
