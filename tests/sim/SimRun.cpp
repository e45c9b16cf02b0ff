// Runs wayFOLD once on the simulated Windows: reads the machine as a JSON
// object on standard input (tests/transcript.py writes it from a
// transcript), writes what the run printed and left as one on standard
// output. A run killed after a registry write reports what it left then,
// without an exit status.
#include "front/ProgramState.h"
#include "front/wayFOLD.h"
#include "platform/sim/SimWindows.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <iostream>

using nlohmann::json;

namespace {

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return hex;
}

std::string ValueId(const json& scope, const json& name) { // u or m, the user's or all users' Environment
    return (scope == "m" ? "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager" : "HKCU") +
           std::string("\\Environment\\") + name.get<std::string>();
}

std::set<std::string> foldersBefore;

[[noreturn]] void Report(const json& status) {
    const sim::Machine& m = sim::machine;
    json out{{"exit", status}, {"out", Hex(m.StdOut)}, {"err", Hex(m.StdErr)}, {"calls", m.Calls},
             {"writes", m.Writes}, {"violations", m.LockViolations}, {"openkeys", sim::OpenKeyCount()}};
    for (const auto& [id, value] : m.RegistryValues) out["values"].push_back({id, value.type, Hex(value.data)});
    for (const auto& path : m.Folders) {
        out["folders"].push_back(Hex(path));
        if (!foldersBefore.count(path)) out["made"][Hex(path)] = m.FolderSecurity.count(path) ? m.FolderSecurity.at(path) : "";
    }
    std::cout << out << std::endl;
    std::_Exit(0); // as a killed process would: nothing more runs
}

} // namespace

int main() {
    const json in = json::parse(std::cin);
    sim::Machine& m = sim::machine;
    const std::string line = Bytes(in["line"]);
    m.CommandLine.assign(reinterpret_cast<const char16_t*>(line.data()), line.size() / 2);
    for (const auto& v : in["values"]) sim::SetValue(ValueId(v[0], v[1]), {v[2], Bytes(v[3])});
    for (const auto& d : in["drives"]) sim::AddFolder(d.get<std::string>() + ":");
    for (const auto& f : in["folders"]) sim::AddFolder(Bytes(f));
    for (const auto& f : in["files"]) m.Files.insert(sim::Canonical(Bytes(f)));
    for (const auto& f : in["refused"]) m.Refused.insert(sim::Canonical(Bytes(f)));
    for (const auto& f : in["raced"]) m.Raced.insert(sim::Canonical(Bytes(f)));
    for (const auto& [drive, folder] : in["cwd"].items()) m.CurrentFolder[drive[0]] = Bytes(folder);
    const std::string keys = in["keys"];
    m.Keys.assign(keys.begin(), keys.end());
    m.StdOutType = in["stdout"];
    m.FailStdOutWrite = in["failwrite"];
    m.SecurityConversionFails = in["nosddl"];
    m.MutexState = in["mutex"];
    m.ModulePath = Bytes(in["module"]);
    if (in["after"].size()) // another program sets a value after that registry call
        m.ChangeAfterCall = in["after"][0], m.Change = [v = in["after"]] { sim::SetValue(ValueId(v[1], v[2]), {v[3], Bytes(v[4])}); };
    m.FailCall = in["fail"][0], m.FailStatus = in["fail"][1];
    m.DieAfterWrite = in["die"], m.Die = [] { Report(nullptr); };
    foldersBefore = m.Folders;
    ResetProgramState();
    Report(wayFOLD());
}
