// The transcripts of tests/transcripts in the plain form that
// tests/transcript.py writes for the simulation: a word and its arguments a
// line, texts in hex.
#pragma once

#include "folder/PathText.h"
#include "front/ProgramState.h"
#include "platform/sim/SimWindows.h"

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace transcript {

using Words = std::vector<std::string>;

struct Run {
    std::string where;    // file:line, the variant
    std::vector<Words> setUp;
    std::string outcome;  // what the run prints and leaves, as Outcome writes it
};

inline std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16));
    return bytes;
}

// The id in sim::machine.RegistryValues of a value NAME (in capitals) of u or m, the user's or
// all users' Environment key.
inline std::string ValueId(const std::string& scope, const std::string& name) {
    const char* key = scope == "m" ? "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER" : "HKCU";
    return key + std::string("\\ENVIRONMENT\\") + name;
}

inline std::vector<Run> Parse(const std::string& text) {
    std::vector<Run> runs;
    std::istringstream in(text);
    bool expected = false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream split(line);
        const Words words{std::istream_iterator<std::string>(split), {}};
        if (line.rfind("run ", 0) == 0)
            runs.push_back({line.substr(4), {}, ""}), expected = false;
        else if (runs.empty() || words.empty())
            continue;
        else if (expected)
            runs.back().outcome += line + "\n";
        else if (line == "expect")
            expected = true;
        else
            runs.back().setUp.push_back(words);
    }
    return runs;
}

// A fresh simulated machine set up for the run.
inline void Arrange(const Run& run) {
    sim::machine = {};
    ResetProgramState();
    for (const Words& w : run.setUp) {
        const std::string word = w[0], arg = w.size() > 1 ? w[1] : "";
        const std::string raw = Bytes(arg), bytes = raw.c_str(); // no name of Windows' holds a zero
        if (word == "codepage") sim::machine.AnsiCodePage = static_cast<os::u32>(std::atoi(arg.c_str()));
        if (word == "set" && w.size() >= 4) { // no data: a value of size 0
            const sim::Value value{os::u32(std::atoi(w[3].c_str())), Bytes(w.size() > 4 ? w[4] : "")};
            const auto set = [=] { sim::SetValue(ValueId(arg, w[2]), value); };
            if (w.size() < 6) set();
            else // another program sets it after that registry call
                sim::machine.ChangeAfterCall = std::atoi(w[5].c_str()), sim::machine.Change = set;
        }
        if (word == "drive") sim::AddFolder(arg + ":");
        if (word == "folder") sim::AddFolder(bytes);
        if (word == "file") sim::machine.Files.insert(sim::Canonical(bytes));
        if (word == "cwd" && bytes.size() > 2 && bytes.compare(1, 2, ":\\") == 0) // an absolute folder
            sim::machine.CurrentFolder[static_cast<char>(bytes[0] & ~0x20)] = bytes;
        if (word == "keys") sim::machine.Keys.assign(raw.begin(), raw.end()); // '\0': a mouse event
        if (word == "typeahead") sim::machine.TypeAhead.assign(raw.begin(), raw.end());
        if (word == "stdout") sim::machine.StdOutType = static_cast<os::u32>(std::atoi(arg.c_str()));
        if (word == "failwrite") sim::machine.FailStdOutWriteNumber = std::atoi(arg.c_str());
        if (word == "refused") sim::machine.RefusedFolders.insert(sim::Canonical(bytes));
        if (word == "nosddl") sim::machine.SecurityConversionFails = true;
        if (word == "module") sim::machine.ModulePath = bytes;
        if (word == "line") // UTF-16LE, as the machine under test keeps it
            sim::machine.CommandLine.assign(reinterpret_cast<const char16_t*>(raw.data()), raw.size() / 2);
        if (word == "refuse") sim::machine.FailRegCallNumber = std::atoi(arg.c_str());
        if (word == "dies") sim::machine.DieAfterWriteNumber = std::atoi(arg.c_str()); // after that write
    }
    sim::machine.InputIsConsole = !sim::machine.Keys.empty() || !sim::machine.TypeAhead.empty();
    ReadLeadByteSet();
}

} // namespace transcript
