// Runs wayFOLD once on the simulated Windows: reads the machine as a JSON
// object on standard input (tests/transcript.py writes it from a
// transcript), writes what the run printed and left as one on standard
// output, bytes as arrays of numbers. A run killed after a registry write
// reports what it left then, without an exit status.
#include "front/wayFOLD.h"
#include "platform/sim/SimWindows.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <iostream>
#include <vector>

using nlohmann::json;
using Bytes = std::vector<unsigned char>;
sim::Machine& m = sim::machine;
const std::string kKeys[] = {
    "HKCU\\ENVIRONMENT", "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER\\ENVIRONMENT"};

[[noreturn]] void Report(const json& status) {
    json out{{"exit", status},
             {"out", Bytes(m.StdOut.begin(), m.StdOut.end())},
             {"err", Bytes(m.StdErr.begin(), m.StdErr.end())},
             {"calls", m.Calls},
             {"writes", m.Writes},
             {"outofturn", m.OutOfTurn + (m.Handles.size() - 2 + m.InTurn) * !status.is_null()},
             {"folders", m.Folders},
             {"made", m.Made},
             {"values", json::array()}};
    for (const auto& [id, value] :
         m.Values)  // those of the user's (u) or all users' (m) Environment key
        for (int scope : {0, 1})
            if (id.rfind(kKeys[scope] + "\\", 0) == 0)
                out["values"].push_back({scope ? "m" : "u", id.substr(kKeys[scope].size() + 1),
                                         value.type, Bytes(value.data.begin(), value.data.end())});
    std::cout << out << std::endl;
    std::_Exit(0);  // as a killed process would: nothing more runs
}

int main() {
    const json in = json::parse(std::cin);
    const std::string line = in["line"];  // (ASCII)
    m.CommandLine.assign(line.begin(), line.end());
    for (const auto& v : in["values"]) {
        sim::AddKey(kKeys[v[0] == "m"]);
        const Bytes data = v[3];
        m.Values[kKeys[v[0] == "m"] + "\\" + sim::Upper(v[1])] = {
            v[2], std::string(data.begin(), data.end())};
    }
    for (const std::string folder : in["folders"]) {  // with its parents, up to a drive or a share
        const std::string f = sim::Upper(folder);
        for (std::size_t at = f.size(); at != std::string::npos && f.find('\\', 2) < at;
             at = f.rfind('\\', at - 1))
            m.Folders.insert(f.substr(0, at));
        if (f[1] == ':') m.Folders.insert(f.substr(0, 2));  // a drive
    }
    m.FailStdOutWrite = in["failwrite"], m.Mutex = in["mutex"], m.NoDescriptor = in["nosddl"];
    m.Grows = in["grows"];
    m.FailCall = in["fail"][0], m.FailStatus = in["fail"][1], m.DieAfterWrite = in["die"];
    m.Die = [] { Report(nullptr); };
    Report(wayFOLD());
}
