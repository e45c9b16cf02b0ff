// The simulated registry: keys and values in memory, texts in UTF-16. A key
// handle allows what it was opened for; every call but the close is counted,
// and must come in this run's turn.
#include "platform/sim/SimWindows.h"

#include <cstring>

namespace sim {

namespace {

constexpr u32 kQueryValue = 0x1, kSetValue = 0x2;

std::string Upper(std::string s) { // the registry ignores case
    os::CharUpperBuffA(s.data(), static_cast<u32>(s.size()));
    return s;
}

void AddKey(const std::string& id) { // with every level above it
    for (std::size_t at = id.find('\\'); at != std::string::npos; at = id.find('\\', at + 1))
        machine.RegistryKeys.insert(id.substr(0, at));
    machine.RegistryKeys.insert(id);
}

// The id of the key, or of its subkey or value NAME, for a call of this kind;
// empty, and *status set, when the call is refused or the handle was not
// opened for what the call needs.
std::string Id(char kind, os::RegKey key, u32 need, const char* name, os::Status* status) {
    if (static_cast<int>(machine.Calls.size()) == machine.ChangeAfterCall) machine.Change();
    machine.Calls += kind;
    machine.LockViolations += !machine.MutexOwned;
    const auto it = machine.Handles.find(key);
    if (it == machine.Handles.end() || !(it->second.second & need)) {
        *status = it == machine.Handles.end() ? 6 : 5; // invalid handle, denied
        return "";
    }
    const std::string id = it->second.first + (*name ? "\\" + Upper(name) : "");
    if (static_cast<int>(machine.Calls.size()) != machine.FailCall) return id;
    *status = machine.FailStatus;
    if (*status == os::ErrorFileNotFound) machine.RegistryValues.erase(id); // deleted just before
    return "";
}

os::Status Open(char kind, os::RegKey root, const char* subKey, u32 access, os::RegKey* result) {
    os::Status status;
    const std::string id = Id(kind, root, ~0u, subKey, &status);
    if (id.empty()) return status;
    if (kind == 'C') AddKey(id);
    if (!machine.RegistryKeys.count(id)) return os::ErrorFileNotFound;
    machine.Handles[*result = 0x100 + machine.Calls.size()] = {id, access}; // numbered after its call
    return os::ErrorSuccess;
}

os::Status Written() {
    if (++machine.Writes == machine.DieAfterWrite) machine.Die();
    return os::ErrorSuccess;
}

} // namespace

void SetValue(const std::string& id, const Value& value) {
    AddKey(Upper(id.substr(0, id.rfind('\\'))));
    machine.RegistryValues[Upper(id)] = value;
}

int OpenKeyCount() { return static_cast<int>(machine.Handles.size()) - 2; }

} // namespace sim

namespace os {

Status RegCreateKeyExA(RegKey key, const char* subKey, u32, char*, u32, u32 access, void*, RegKey* result,
                       u32*) {
    return sim::Open('C', key, subKey, access, result);
}

Status RegOpenKeyExA(RegKey key, const char* subKey, u32, u32 access, RegKey* result) {
    return sim::Open('O', key, subKey, access, result);
}

Status RegQueryValueExW(RegKey key, const wchar* name, u32*, u32* type, unsigned char* data, u32* size) {
    Status status;
    std::string ansi; // the names the command uses are plain ASCII
    for (const wchar* c = name; *c; ++c) ansi += static_cast<char>(*c);
    const std::string id = sim::Id('Q', key, sim::kQueryValue, ansi.c_str(), &status);
    const auto it = sim::machine.RegistryValues.find(id);
    if (id.empty() || it == sim::machine.RegistryValues.end()) return id.empty() ? status : ErrorFileNotFound;
    const std::string& bytes = it->second.data;
    const bool fits = !data || *size >= bytes.size();
    if (data && fits) std::memcpy(data, bytes.data(), bytes.size());
    if (type) *type = it->second.type;
    if (size) *size = static_cast<u32>(bytes.size());
    return fits ? ErrorSuccess : 234; // more data
}

Status RegSetValueExA(RegKey key, const char* name, u32, u32 type, const unsigned char* data, u32 size) {
    Status status;
    const std::string id = sim::Id('S', key, sim::kSetValue, name, &status);
    if (id.empty()) return status;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (type == RegSz || type == RegExpandSz) { // Windows keeps texts in UTF-16
        const std::u16string wide = sim::Widen(bytes);
        bytes.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    }
    sim::machine.RegistryValues[id] = {type, bytes};
    return sim::Written();
}

Status RegDeleteValueA(RegKey key, const char* name) {
    Status status;
    const std::string id = sim::Id('D', key, sim::kSetValue, name, &status);
    if (id.empty()) return status;
    return !sim::machine.RegistryValues.erase(id) ? ErrorFileNotFound : sim::Written();
}

Status RegCloseKey(RegKey key) { return key > 0xFFFF || !sim::machine.Handles.erase(key) ? 6 : ErrorSuccess; }

} // namespace os
