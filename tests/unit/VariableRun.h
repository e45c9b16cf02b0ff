// Runs the whole command on a fresh machine whose Path variable holds a given
// value, and the messages of the variable steps as the console shows them.
#pragma once

#include "SimFixture.h"
#include "front/wayFOLD.h"

#include <functional>
#include <optional>

namespace sim {
inline void PrintTo(const Value& v, std::ostream* os) {
    *os << "type " << v.type << " \"" << ::testing::PrintToString(v.data) << "\"";
}
} // namespace sim

namespace vr {

using Opt = std::optional<sim::Value>;
inline sim::Value Sz(const std::string& text) { return {os::RegSz, text + '\0'}; }
inline sim::Value Ex(const std::string& text) { return {os::RegExpandSz, text + '\0'}; }

const std::string kOld = "C:\\Windows;%SystemRoot%\\bin";
const std::string kNew = kOld + ";C:\\outils\\";

const std::string kMissing = "La variable Path n'existe pas.";
const std::string kTypeRead = "Lecture du type de la variable Path \x82" "chou\x82" "e.";
const std::string kSzRead = "Lecture de la variable Path REG_SZ \x82" "chou\x82" "e.";
const std::string kExRead = "Lecture de la variable Path REG_EXPAND_SZ \x82" "chou\x82" "e.";
const std::string kWrite = "Ecriture de la variable Path \x82" "chou\x82" "e (droits requis).";
const std::string kCreated = "La variable Path (inexistante) a \x82t\x82 cr\x82\x82" "e.";
const std::string kCreateFailed = "Cr\x82" "ation de la variable Path \x82" "chou\x82" "e (droits requis).";
const std::string kRecommend = "La variable Path poss\x8A" "de le type REG_SZ (r\x82paration recommand\x82" "e).";
const std::string kPresent = "Le chemin C:\\outils\\ existe d\x82j\x85 dans la variable Path.";
const std::string kRepairing = "La variable Path poss\x8A" "de le type REG_SZ (r\x82paration en cours).";
const std::string kBackupFailed = "Sauvegarde de la variable Path \x82" "chou\x82" "e (droits requis).";
const std::string kBackupDone = "Sauvegarde de la variable REG_SZ effectu\x82" "e.";
const std::string kRetyped = "Modification du type REG_SZ en REG_EXPAND_SZ effectu\x82" "e.";
const std::string kBackupGone = "Suppression de la sauvegarde REG_SZ effectu\x82" "e.";
const std::string kBackupKept = "Suppression de la sauvegarde REG_SZ \x82" "chou\x82" "e.";
const std::string kDecomposed = "Variable Path (d\x82" "compos\x82" "e) :";
const std::string kRepaired = Lines({kRepairing, kBackupDone, kRetyped, kBackupGone, ""});
const std::string kShowOld = Lines({"Variable Path :", kOld, "", kDecomposed, "C:\\Windows",
                                    "%SystemRoot%\\bin"});
const std::string kShowAdded =
    Lines({"Variable Path :", kOld, "", "Nouvelle variable Path :", kNew, "", kDecomposed,
           "C:\\Windows", "%SystemRoot%\\bin", "C:\\outils\\"});

// What the folder steps print before: C:\outils found on the drive, confirmed.
const std::string kFolderSteps =
    Lines({" ", "C:\\outils\\"}) + "Confirmez l'ajout et la cr\x82" "ation du dossier [O/N] ?o\r\n" +
    Lines({"", "Le chemin C:\\outils\\ existe d\x82j\x85 sur le lecteur.", ""});

struct Outcome {
    std::string out; // after the folder steps
    int status;
    Opt path, backup;
    bool othersKept;  // no other value added, changed or removed
    int pathWrites;   // RegSetValueExA calls on the variable itself
};

// args: the command line after the program name; /K puts the value under HKLM.
inline Outcome RunCommand(const std::string& args, const Opt& path,
                      const std::function<void()>& arrange = {}) {
    const bool machine = args.find("/K") != std::string::npos;
    const os::RegKey root = machine ? os::HKeyLocalMachine : os::HKeyCurrentUser;
    const std::string key = machine ? "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\"
                                      "Environment" : "Environment";
    sim::Reset();
    ResetProgramState();
    sim::AddFolder("C:\\outils");
    sim::TypeKeys("o");
    sim::CommandLine = "wayfold " + args;
    sim::SetValue(root, key, "TEMP", os::RegSz, std::string("C:\\Temp\0", 8));
    if (path) sim::SetValue(root, key, "Path", path->type, path->data);
    if (arrange) arrange();
    auto before = sim::AllValues();
    Outcome r;
    r.status = wayFOLD();
    r.out = sim::StdOut();
    if (r.out.rfind(kFolderSteps, 0) == 0) r.out.erase(0, kFolderSteps.size());
    r.path = sim::GetValue(root, key, "Path");
    r.backup = sim::GetValue(root, key, "Path_wayFOLD_BACKUP");
    auto after = sim::AllValues();
    for (auto* values : {&before, &after})
        for (auto it = values->begin(); it != values->end();)
            it = it->first.find("\\Path") != std::string::npos ? values->erase(it) : ++it;
    r.othersKept = before == after;
    r.pathWrites = 0;
    for (const auto& call : sim::RegLog)
        r.pathWrites += call.rfind("RegSetValueExA(", 0) == 0 &&
                        call.find(", \"Path\", ") != std::string::npos;
    return r;
}

} // namespace vr
