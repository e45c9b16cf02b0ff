// The transcripts of tests/transcripts in the plain form that
// tests/transcript.py writes for the simulation: a word and its arguments a
// line, texts in hex.
#pragma once

#include "folder/PathText.h"
#include "front/ProgramState.h"
#include "platform/sim/SimWindows.h"

#include <sstream>
#include <string>
#include <vector>

namespace transcript {

using Words = std::vector<std::string>;

struct Variant {
    std::string fault; // "plain", "refuse" or "dies"
    int from, to;
    bool silent;          // /S added
    std::string outcome;  // what the run prints and leaves, as Outcome writes it
};

struct Run {
    std::string where; // file:line
    std::vector<Words> setUp;
    std::vector<Variant> variants;
};

inline std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16));
    return bytes;
}

// The id in sim::AllValues of a value in u or m, the user's or all users' Environment key.
inline std::string ValueId(const std::string& scope, const std::string& name) {
    std::string id = scope == "m" ? "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\" : "HKCU\\";
    id += "Environment\\" + name;
    for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return id;
}

inline std::vector<Run> Parse(const std::string& text) {
    std::vector<Run> runs;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream split(line);
        Words words;
        for (std::string word; split >> word;) words.push_back(word);
        if (words.empty() || (words[0] != "run" && runs.empty())) continue;
        if (words[0] == "run")
            runs.push_back({words.size() > 1 ? words[1] : "", {}, {}});
        else if (words[0] == "variant" && words.size() == 5)
            runs.back().variants.push_back(
                {words[1], std::atoi(words[2].c_str()), std::atoi(words[3].c_str()), words[4] == "1", ""});
        else if (runs.back().variants.empty())
            runs.back().setUp.push_back(words);
        else
            runs.back().variants.back().outcome += line + "\n";
    }
    return runs;
}

// A fresh simulated machine set up for the run (with /S added when silent);
// refuse, dies: the registry call to refuse, the write to die after (0: none).
inline void Arrange(const Run& run, bool silent, int refuse, int dies) {
    sim::machine = {};
    ResetProgramState();
    sim::machine.InputIsConsole = false;
    for (const Words& w : run.setUp) {
        const std::string word = w[0], arg = w.size() > 1 ? w[1] : "";
        const std::string raw = Bytes(arg), bytes = raw.c_str(); // no name of Windows' holds a zero
        if (word == "codepage") sim::machine.AnsiCodePage = static_cast<os::u32>(std::atoi(arg.c_str()));
        const std::string id = ValueId(arg, w.size() > 2 ? w[2] : "");
        if (word == "set" && w.size() >= 5) {
            const sim::Value value{static_cast<os::u32>(std::atoi(w[3].c_str())), Bytes(w[4])};
            const auto set = [=] { sim::SetValue(id.substr(0, id.rfind('\\')), w[2], value); };
            if (w.size() == 5) set();
            else // another program sets it after that registry call
                sim::machine.ChangeAfterCall = std::atoi(w[5].c_str()), sim::machine.Change = set;
        }
        if (word == "drive") sim::AddFolder(arg + ":");
        if (word == "folder") sim::AddFolder(bytes);
        if (word == "file") sim::machine.Files.insert(sim::Canonical(bytes));
        if (word == "cwd" && bytes.size() > 2 && bytes.compare(1, 2, ":\\") == 0) // an absolute folder
            sim::machine.CurrentFolder[static_cast<char>(bytes[0] & ~0x20)] = bytes;
        if (word == "keys" || word == "typeahead") {
            // (with '\0' too: a mouse event)
            (word == "keys" ? sim::machine.Keys : sim::machine.TypeAhead).assign(raw.begin(), raw.end());
            sim::machine.InputIsConsole = true;
        }
        if (word == "stdout") sim::machine.StdOutType = static_cast<os::u32>(std::atoi(arg.c_str()));
        if (word == "failwrite") sim::machine.FailStdOutWriteNumber = std::atoi(arg.c_str());
        if (word == "refused") sim::machine.RefusedFolders.insert(sim::Canonical(bytes));
        if (word == "nosddl") sim::machine.SecurityConversionFails = true;
        if (word == "module") sim::machine.ModulePath = bytes;
        if (word == "line") { // UTF-16LE, as the machine under test keeps it
            sim::machine.CommandLine.assign(reinterpret_cast<const char16_t*>(raw.data()), raw.size() / 2);
            sim::machine.CommandLine += silent ? u" /S" : u"";
        }
    }
    sim::machine.FailRegCallNumber = refuse;
    sim::machine.DieAfterWriteNumber = dies;
    ReadLeadByteSet();
}

} // namespace transcript
