#include "Transcript.h"

#include "folder/PathText.h"
#include "front/ProgramState.h"

#include <sstream>

namespace transcript {
namespace {

// A field as characters (from UTF-8) and {XX} bytes: {is a byte, the unit}.
std::vector<std::pair<bool, char16_t>> Pieces(const std::string& f) {
    std::vector<std::pair<bool, char16_t>> pieces;
    for (std::size_t i = 0; i < f.size();) {
        char* end = nullptr;
        const std::string hex = f.substr(i + 1, 2);
        const long byte = std::strtol(hex.c_str(), &end, 16);
        if (f[i] == '{' && f.size() > i + 3 && f[i + 3] == '}' && *end == '\0') {
            pieces.push_back({true, static_cast<char16_t>(byte)});
            i += 4;
            continue;
        }
        const unsigned char lead = f[i];
        const int n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : 3;
        char16_t c = n == 1 ? lead : lead & (0x7F >> n);
        for (int k = 1; k < n && i + k < f.size(); ++k) c = static_cast<char16_t>(c << 6 | (f[i + k] & 0x3F));
        pieces.push_back({false, c});
        i += n;
    }
    return pieces;
}

std::string Word(std::string& rest) {
    const std::size_t cut = rest.find(' ');
    std::string word = rest.substr(0, cut);
    rest = cut == std::string::npos ? "" : rest.substr(cut + 1);
    return word;
}

} // namespace

std::u16string Wide(const std::string& field) {
    std::u16string wide;
    std::string ansi;
    for (auto [isByte, unit] : Pieces(field)) {
        if (isByte || unit < 0x80) { // ASCII is the same in every code page
            ansi += static_cast<char>(unit);
            continue;
        }
        wide += sim::Widen(ansi) + unit;
        ansi.clear();
    }
    return wide + sim::Widen(ansi);
}

std::string Ansi(const std::string& field) {
    const std::u16string wide = Wide(field);
    std::string ansi(wide.size() * 2, '\0');
    ansi.resize(os::WideCharToMultiByte(os::CpAcp, 0, wide.data(), static_cast<int>(wide.size()),
                                        ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr));
    return ansi;
}

std::string Printed(const std::string& field) {
    std::string out;
    for (auto [isByte, unit] : Pieces(field)) {
        char c[4] = {static_cast<char>(unit)};
        if (!isByte) {
            os::WideCharToMultiByte(os::CpAcp, 0, &unit, 1, c, 4, nullptr, nullptr);
            os::CharToOemBuffA(c, c, 1);
        }
        out += c[0];
    }
    return out;
}

std::pair<std::string, std::optional<sim::Value>> ParseValue(const std::string& scope,
                                                            std::string rest) {
    std::string id = scope == "machine" ? "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\"
                                        : "HKCU\\Environment\\";
    id += Word(rest);
    for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string type = Word(rest);
    if (type == "-") return {id, std::nullopt};
    const os::u32 code = type == "SZ" ? 1 : type == "EXPAND" ? 2 : type == "BINARY" ? 3
                       : type == "MULTI" ? 7 : static_cast<os::u32>(std::atoi(type.c_str()));
    std::string bytes;
    if (rest.rfind("hex:", 0) == 0) {
        for (std::size_t i = 4; i + 1 < rest.size(); i += 2)
            bytes += static_cast<char>(std::strtol(rest.substr(i, 2).c_str(), nullptr, 16));
    } else {
        const std::size_t first = rest.find('"'), last = rest.rfind('"');
        const std::u16string text = Wide(last > first ? rest.substr(first + 1, last - first - 1) : "");
        bytes.assign(reinterpret_cast<const char*>(text.c_str()), text.size() * 2 + 2);
    }
    return {id, sim::Value{code, bytes}};
}

std::vector<Run> Parse(const std::string& text) {
    std::vector<Run> runs;
    std::istringstream in(text);
    std::string line;
    bool inRun = false, afterCommand = false;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') {
            inRun = inRun && !line.empty();
            afterCommand = afterCommand && inRun;
            continue;
        }
        if (!inRun) runs.push_back(Run{number, {}, "", {Variant{}}});
        inRun = true;
        Run& run = runs.back();
        std::string rest = line;
        const std::string word = line[0] == '|' ? "|" : Word(rest);
        if (word == "|") rest = line.size() > 2 ? line.substr(2) : "";
        if (word == "$") {
            run.command = rest;
            afterCommand = true;
        } else if (word[0] == '@') { // "@refuse 3-5", "@dies 2"
            const int from = std::atoi(rest.c_str());
            const std::size_t dash = rest.find('-');
            run.variants.push_back(Variant{word.substr(1), from,
                                           dash == std::string::npos ? from : std::atoi(&rest[dash + 1]), {}});
        } else {
            (afterCommand ? run.variants.back().expected : run.setUp).push_back({number, word, rest});
        }
    }
    return runs;
}

void Arrange(const Run& run, const std::string& extraArgs, int refuse, int dies) {
    sim::Reset();
    ResetProgramState();
    for (const Line& l : run.setUp)
        if (l.word == "codepage") sim::AnsiCodePage = static_cast<os::u32>(std::atoi(l.rest.c_str()));
    sim::InputIsConsole = false;
    for (const Line& l : run.setUp) {
        const std::string ansi = Ansi(l.rest);
        const std::string& w = l.word;
        if (w == "user" || w == "machine") {
            auto [id, value] = ParseValue(w, l.rest);
            const std::size_t cut = id.rfind('\\');
            if (value) sim::SetValue(id.substr(0, cut), id.substr(cut + 1), *value);
        } else if (w == "drive" || w == "folder") {
            sim::AddFolder(w == "drive" ? ansi.substr(0, 1) + ":" : ansi);
        } else if (w == "file") {
            sim::AddFile(ansi);
        } else if (w == "cwd" && !ansi.empty()) {
            sim::CurrentFolder[static_cast<char>(std::toupper(ansi[0]))] = ansi;
        } else if (w == "keys" || w == "typeahead") {
            (w == "keys" ? sim::Keys : sim::TypeAhead).assign(ansi.begin(), ansi.end());
            sim::InputIsConsole = true;
        } else if (w == "readonly") {
            sim::MachineReadOnly = true;
        } else if (w == "stdout") {
            sim::StdOutType = l.rest == "file" ? os::FileTypeDisk : l.rest == "console" ? os::FileTypeChar
                              : l.rest == "none" ? os::FileTypeUnknown : os::FileTypePipe;
        } else if (w == "failwrite") {
            sim::FailStdOutWriteNumber = std::atoi(l.rest.c_str());
        } else if (w == "refused") {
            sim::RefusedFolders.insert(sim::Canonical(ansi));
        } else if (w == "nosddl") {
            sim::SecurityConversionFails = true;
        } else if (w == "module") {
            sim::ModulePath = ansi;
        }
    }
    sim::FailRegCallNumber = refuse;
    sim::DieAfterWriteNumber = dies;
    sim::CommandLine = Wide(run.command + extraArgs);
    ReadLeadByteSet();
}

} // namespace transcript
