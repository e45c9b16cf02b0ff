// The simulated registry: keys and values in memory, texts in UTF-16.
#include "platform/sim/SimWindows.h"

#include <cstring>

namespace sim {

int FailRegCallNumber = 0;
bool MachineReadOnly = false;
int DieAfterWriteNumber = 0;
int RegCallCount = 0;

namespace {

constexpr os::Status kAccessDenied = 5, kFileNotFound = 2, kMoreData = 234;
constexpr u32 kQueryValue = 0x1, kSetValue = 0x2;

std::map<std::string, std::map<std::string, Value>> keys; // KEY -> NAME -> value
std::map<os::RegKey, std::pair<std::string, u32>> handles; // -> key, access
os::RegKey nextHandle = 1;
int writeCount = 0;

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

bool IsText(u32 type) { return type == os::RegSz || type == os::RegExpandSz || type == 7; }

// The key a handle stands for, and what it was opened for.
std::optional<std::pair<std::string, u32>> Resolve(os::RegKey key) {
    if (key == os::HKeyCurrentUser) return std::pair<std::string, u32>{"HKCU", ~0u};
    if (key == os::HKeyLocalMachine) return std::pair<std::string, u32>{"HKLM", ~0u};
    auto it = handles.find(key);
    if (it == handles.end()) return std::nullopt;
    return it->second;
}

// The key with every level above it.
void AddKey(const std::string& id) {
    for (std::size_t at = id.find('\\'); at != std::string::npos; at = id.find('\\', at + 1))
        keys[id.substr(0, at)];
    keys[id];
}

// Counts the call; true when it is the one to refuse.
bool Refused() { return ++RegCallCount == FailRegCallNumber; }

void Written() {
    if (++writeCount == DieAfterWriteNumber) throw ProcessDied{};
}

os::Status Open(os::RegKey key, const char* subKey, u32 access, bool create, os::RegKey* result) {
    auto base = Resolve(key);
    if (Refused() || !base) return kAccessDenied;
    std::string id = base->first + (subKey && *subKey ? "\\" + Upper(subKey) : "");
    if ((access & kSetValue) && MachineReadOnly && id.compare(0, 4, "HKLM") == 0)
        return kAccessDenied;
    if (create) AddKey(id);
    if (!keys.count(id)) return kFileNotFound;
    *result = nextHandle++;
    handles[*result] = {id, access};
    return os::ErrorSuccess;
}

} // namespace

void ResetRegistry() {
    keys = {{"HKCU", {}}, {"HKLM", {}}};
    handles.clear();
    nextHandle = 1;
    writeCount = RegCallCount = FailRegCallNumber = DieAfterWriteNumber = 0;
    MachineReadOnly = false;
}

void SetValue(const std::string& key, const std::string& name, const Value& value) {
    AddKey(Upper(key));
    keys[Upper(key)][Upper(name)] = value;
}

std::map<std::string, Value> AllValues() {
    std::map<std::string, Value> all;
    for (const auto& [id, values] : keys)
        for (const auto& [name, value] : values) all[id + "\\" + name] = value;
    return all;
}

int OpenKeyCount() { return static_cast<int>(handles.size()); }

} // namespace sim

namespace os {

using namespace sim;

Status RegCreateKeyExA(RegKey key, const char* subKey, u32 reserved, char*, u32, u32 access,
                       void*, RegKey* result, u32*) {
    return reserved ? 87 : Open(key, subKey, access, true, result);
}

Status RegOpenKeyExA(RegKey key, const char* subKey, u32, u32 access, RegKey* result) {
    return Open(key, subKey, access, false, result);
}

// Data as stored. (The ANSI query would map texts to the code page; the
// command asks it for a value's existence and type only.)
Status RegQueryValueExA(RegKey key, const char* valueName, u32*, u32* type, unsigned char* data,
                        u32* size) {
    auto handle = sim::Resolve(key);
    if (sim::Refused() || !handle || !(handle->second & sim::kQueryValue)) return 5;
    auto& values = sim::keys[handle->first];
    auto it = values.find(sim::Upper(valueName));
    if (it == values.end()) return 2;
    const std::string& bytes = it->second.data;
    if (type) *type = it->second.type;
    if (data && *size < bytes.size()) {
        *size = static_cast<u32>(bytes.size());
        return sim::kMoreData;
    }
    if (data) std::memcpy(data, bytes.data(), bytes.size());
    if (size) *size = static_cast<u32>(bytes.size());
    return ErrorSuccess;
}

Status RegQueryValueExW(RegKey key, const wchar* valueName, u32* reserved, u32* type,
                        unsigned char* data, u32* size) {
    std::string name;
    for (const wchar* c = valueName; *c; ++c) name += static_cast<char>(*c);
    return RegQueryValueExA(key, name.c_str(), reserved, type, data, size);
}

Status RegSetValueExA(RegKey key, const char* valueName, u32, u32 type, const unsigned char* data,
                      u32 size) {
    auto handle = sim::Resolve(key);
    if (sim::Refused() || !handle || !(handle->second & sim::kSetValue)) return 5;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (sim::IsText(type)) { // Windows keeps texts in UTF-16
        const std::u16string wide = sim::Widen(bytes);
        bytes.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    }
    sim::keys[handle->first][sim::Upper(valueName)] = {type, bytes};
    sim::Written();
    return ErrorSuccess;
}

Status RegDeleteValueA(RegKey key, const char* valueName) {
    auto handle = sim::Resolve(key);
    if (sim::Refused() || !handle || !(handle->second & sim::kSetValue)) return 5;
    if (!sim::keys[handle->first].erase(sim::Upper(valueName))) return 2;
    sim::Written();
    return ErrorSuccess;
}

Status RegCloseKey(RegKey key) { return sim::handles.erase(key) ? ErrorSuccess : 6; }

} // namespace os
