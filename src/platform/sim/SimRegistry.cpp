// The simulated registry: keys and values in memory, texts in UTF-16. A key
// handle allows what it was opened for; every call but the close is counted.
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

// The id of the key, or of its subkey or value NAME; empty when the call is
// refused or the handle was not opened for what the call needs.
std::string Id(os::RegKey key, u32 need, const char* name) {
    if (machine.RegCallCount == machine.ChangeAfterCall) machine.Change();
    const auto it = machine.Handles.find(key);
    const bool refused = ++machine.RegCallCount == machine.FailRegCallNumber;
    if (refused || it == machine.Handles.end() || !(it->second.second & need)) return "";
    return it->second.first + (*name ? "\\" + Upper(name) : "");
}

os::Status Open(os::RegKey root, const char* subKey, u32 access, bool create, os::RegKey* result) {
    const std::string id = Id(root, ~0u, subKey);
    if (id.empty()) return 5; // denied
    if (create) AddKey(id);
    if (!machine.RegistryKeys.count(id)) return 2; // not found
    machine.Handles[*result = 0x100 + machine.RegCallCount] = {id, access}; // numbered after its call
    return os::ErrorSuccess;
}

os::Status Written() {
    if (++machine.WriteCount == machine.DieAfterWriteNumber) throw ProcessDied{};
    return os::ErrorSuccess;
}

} // namespace

void SetValue(const std::string& id, const Value& value) {
    const std::size_t cut = id.rfind('\\');
    AddKey(Upper(id.substr(0, cut)));
    machine.RegistryValues[Upper(id)] = value;
}

int OpenKeyCount() { return static_cast<int>(machine.Handles.size()) - 2; }

} // namespace sim

namespace os {

Status RegCreateKeyExA(RegKey key, const char* subKey, u32, char*, u32, u32 access, void*, RegKey* result,
                       u32*) {
    return sim::Open(key, subKey, access, true, result);
}

Status RegOpenKeyExA(RegKey key, const char* subKey, u32, u32 access, RegKey* result) {
    return sim::Open(key, subKey, access, false, result);
}

// The data as stored. (The ANSI query would map texts to the code page, but
// the command asks it only whether a value is there and its type.)
Status RegQueryValueExA(RegKey key, const char* name, u32*, u32* type, unsigned char* data, u32* size) {
    const std::string id = sim::Id(key, sim::kQueryValue, name);
    const auto& values = sim::machine.RegistryValues;
    const auto it = id.empty() ? values.end() : values.find(id);
    if (it == values.end()) return id.empty() ? 5 : 2;
    const std::string& bytes = it->second.data;
    const bool fits = !data || *size >= bytes.size();
    if (data && fits) std::memcpy(data, bytes.data(), bytes.size());
    if (type) *type = it->second.type;
    if (size) *size = static_cast<u32>(bytes.size());
    return fits ? ErrorSuccess : 234; // more data
}

Status RegQueryValueExW(RegKey key, const wchar* name, u32* reserved, u32* type, unsigned char* data,
                        u32* size) {
    return RegQueryValueExA(key, sim::Narrow(name).c_str(), reserved, type, data, size);
}

Status RegSetValueExA(RegKey key, const char* name, u32, u32 type, const unsigned char* data, u32 size) {
    const std::string id = sim::Id(key, sim::kSetValue, name);
    if (id.empty()) return 5;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (type == RegSz || type == RegExpandSz) { // Windows keeps texts in UTF-16
        const std::u16string wide = sim::Widen(bytes);
        bytes.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    }
    sim::machine.RegistryValues[id] = {type, bytes};
    return sim::Written();
}

Status RegDeleteValueA(RegKey key, const char* name) {
    const std::string id = sim::Id(key, sim::kSetValue, name);
    return id.empty() ? 5 : !sim::machine.RegistryValues.erase(id) ? 2 : sim::Written();
}

Status RegCloseKey(RegKey key) { return key > 0xFFFF || !sim::machine.Handles.erase(key) ? 6 : ErrorSuccess; }

} // namespace os
