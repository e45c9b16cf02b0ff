// Runs wayFOLD once on the simulated Windows: reads the machine as a JSON
// object on standard input (tests/transcript.py writes it from a
// transcript), writes what the run printed and left as one on standard
// output. A run killed after a registry write reports what it left then,
// without an exit status.
#include "front/wayFOLD.h"
#include "platform/sim/SimWindows.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <iostream>

using nlohmann::json;
sim::Machine& m = sim::machine;

std::string Bytes(const json& hex) {
    std::string bytes, h = hex;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2) bytes += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return bytes;
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return hex;
}

void SetValue(const json& v) { // [u|m, NAME, type, data]: the user's or all users' Environment
    const std::string key = v[0] == "m" ? "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER\\ENVIRONMENT"
                                        : "HKCU\\ENVIRONMENT";
    sim::AddKey(key);
    m.Values[key + "\\" + sim::Upper(v[1])] = {v[2], Bytes(v[3])};
}

[[noreturn]] void Report(const json& status) {
    json out{{"exit", status}, {"out", Hex(m.StdOut)}, {"err", Hex(m.StdErr)}, {"calls", m.Calls},
             {"writes", m.Writes}, {"outofturn", m.OutOfTurn}, {"openkeys", m.Handles.size() - 2}};
    for (const auto& [id, value] : m.Values) out["values"].push_back({id, value.type, Hex(value.data)});
    for (const auto& folder : m.Folders) out["folders"].push_back(Hex(folder));
    for (const auto& [folder, sddl] : m.Made) out["made"][Hex(folder)] = sddl;
    std::cout << out << std::endl;
    std::_Exit(0); // as a killed process would: nothing more runs
}

int main() {
    const json in = json::parse(std::cin);
    const std::string line = Bytes(in["line"]);
    m.CommandLine.assign(reinterpret_cast<const char16_t*>(line.data()), line.size() / 2);
    for (const auto& v : in["values"]) SetValue(v);
    for (const auto& folder : in["folders"]) { // with its parents, up to a drive or a share
        const std::string f = sim::Upper(Bytes(folder));
        for (std::size_t at = f.size(); at > 0 && at != std::string::npos && f.find('\\', 2) < at; at = f.rfind('\\', at - 1))
            m.Folders.insert(f.substr(0, at));
        if (f[1] == ':') m.Folders.insert(f.substr(0, 2)); // a drive
    }
    m.StdOutType = in["stdout"], m.FailStdOutWrite = in["failwrite"], m.Mutex = in["mutex"], m.NoDescriptor = in["nosddl"];
    m.FailCall = in["fail"][0], m.FailStatus = in["fail"][1], m.DieAfterWrite = in["die"];
    m.Die = [] { Report(nullptr); };
    if (!in["after"].empty()) // another program sets a value after that registry call
        m.ChangeAfterCall = in["after"][0], m.Change = [v = in["after"][1]] { SetValue(v); };
    Report(wayFOLD());
}
