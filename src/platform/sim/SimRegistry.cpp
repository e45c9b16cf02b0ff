// The simulated registry: keys and values in memory, names compared without
// regard to case, every call logged and any one of them refusable.
#include "platform/sim/SimWindows.h"

#include <cstdio>
#include <cstring>

namespace sim {

int FailRegCallNumber = 0;
std::optional<os::RegKey> ReadOnlyRoot;
std::vector<std::string> RegLog;
int RegCallCount = 0;
int DieAfterWriteNumber = 0;

namespace {

constexpr os::Status kAccessDenied = 5;
constexpr os::Status kFileNotFound = 2;
constexpr os::Status kMoreData = 234;

struct Key {
    std::map<std::string, std::pair<std::string, Value>> values; // upper name -> (name, value)
};

std::map<std::string, Key> keys;              // "HKCU\\UPPER\\SUB" -> key
std::map<os::RegKey, std::string> openHandles; // handle -> key id
os::RegKey nextHandle = 1;
int writeCount = 0;

std::string Upper(std::string s) {
    os::CharUpperBuffA(s.data(), static_cast<u32>(s.size()));
    return s;
}

std::string RootName(os::RegKey root) {
    if (root == os::HKeyCurrentUser) return "HKCU";
    if (root == os::HKeyLocalMachine) return "HKLM";
    return "#" + std::to_string(root);
}

std::string KeyId(os::RegKey root, const std::string& subKey) {
    std::string id = RootName(root);
    if (!subKey.empty()) id += "\\" + Upper(subKey);
    return id;
}

// The key a handle stands for: an open handle, or a predefined root.
const std::string* Resolve(os::RegKey key) {
    static std::string rootId;
    auto it = openHandles.find(key);
    if (it != openHandles.end()) return &it->second;
    if (key == os::HKeyCurrentUser || key == os::HKeyLocalMachine) {
        rootId = RootName(key);
        return &rootId;
    }
    return nullptr;
}

os::RegKey RootOf(os::RegKey key) {
    const std::string* id = Resolve(key);
    if (id && id->rfind("HKLM", 0) == 0) return os::HKeyLocalMachine;
    return os::HKeyCurrentUser;
}

std::string Quoted(const char* s) { return s ? "\"" + std::string(s) + "\"" : "null"; }
std::string Hex(u32 v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", v);
    return buf;
}
std::string HandleName(os::RegKey key) {
    if (openHandles.count(key)) return "#" + std::to_string(key);
    return RootName(key);
}

// Counts the call and says whether it is the one to refuse.
bool Refused(const std::string& call) {
    ++RegCallCount;
    RegLog.push_back(call);
    return RegCallCount == FailRegCallNumber;
}

void AfterWrite() {
    if (++writeCount == DieAfterWriteNumber) throw ProcessDied{};
}

os::RegKey OpenHandle(const std::string& id) {
    os::RegKey h = nextHandle++;
    openHandles[h] = id;
    return h;
}

} // namespace

void ResetRegistry() {
    keys.clear();
    keys["HKCU"];
    keys["HKLM"];
    openHandles.clear();
    nextHandle = 1;
    writeCount = 0;
    FailRegCallNumber = 0;
    DieAfterWriteNumber = 0;
    ReadOnlyRoot.reset();
    RegLog.clear();
    RegCallCount = 0;
}

void AddKey(os::RegKey root, const std::string& subKey) {
    std::string id = RootName(root);
    size_t start = 0;
    while (start <= subKey.size()) {
        size_t end = subKey.find('\\', start);
        if (end == std::string::npos) end = subKey.size();
        id += "\\" + Upper(subKey.substr(start, end - start));
        keys[id];
        start = end + 1;
    }
}

bool KeyExists(os::RegKey root, const std::string& subKey) {
    return keys.count(KeyId(root, subKey)) != 0;
}

void SetValue(os::RegKey root, const std::string& subKey, const std::string& name, u32 type,
              const std::string& data) {
    if (!subKey.empty()) AddKey(root, subKey);
    keys[KeyId(root, subKey)].values[Upper(name)] = {name, Value{type, data}};
}

std::optional<Value> GetValue(os::RegKey root, const std::string& subKey,
                              const std::string& name) {
    auto key = keys.find(KeyId(root, subKey));
    if (key == keys.end()) return std::nullopt;
    auto value = key->second.values.find(Upper(name));
    if (value == key->second.values.end()) return std::nullopt;
    return value->second.second;
}

std::map<std::string, Value> AllValues() {
    std::map<std::string, Value> all;
    for (auto& [id, key] : keys)
        for (auto& [upper, named] : key.values) all[id + "\\" + named.first] = named.second;
    return all;
}

int OpenKeyCount() { return static_cast<int>(openHandles.size()); }

} // namespace sim

namespace os {

using namespace sim;

Status RegCreateKeyExA(RegKey key, const char* subKey, u32 reserved, char* keyClass,
                       u32 options, u32 access, void*, RegKey* result, u32* disposition) {
    bool refused = Refused("RegCreateKeyExA(" + HandleName(key) + ", " + Quoted(subKey) + ", " +
                           std::to_string(reserved) + ", " + Quoted(keyClass) + ", " +
                           std::to_string(options) + ", " + Hex(access) + ")");
    const std::string* base = Resolve(key);
    if (refused || !base || (ReadOnlyRoot && RootOf(key) == *ReadOnlyRoot)) return kAccessDenied;
    std::string id = *base;
    bool existed = true;
    std::string rest = subKey ? subKey : "";
    size_t start = 0;
    while (!rest.empty() && start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        id += "\\" + Upper(rest.substr(start, end - start));
        if (!keys.count(id)) existed = false;
        keys[id];
        start = end + 1;
    }
    *result = OpenHandle(id);
    if (disposition) *disposition = existed ? 2 : 1;
    RegLog.back() += " -> #" + std::to_string(*result);
    return ErrorSuccess;
}

Status RegOpenKeyExA(RegKey key, const char* subKey, u32 options, u32 access, RegKey* result) {
    bool refused = Refused("RegOpenKeyExA(" + HandleName(key) + ", " + Quoted(subKey) + ", " +
                           std::to_string(options) + ", " + Hex(access) + ")");
    const std::string* base = Resolve(key);
    if (refused || !base) return kAccessDenied;
    if (access == KeyWrite && ReadOnlyRoot && RootOf(key) == *ReadOnlyRoot) return kAccessDenied;
    std::string id = *base;
    if (subKey && *subKey) id += "\\" + Upper(subKey);
    if (!keys.count(id)) return kFileNotFound;
    *result = OpenHandle(id);
    RegLog.back() += " -> #" + std::to_string(*result);
    return ErrorSuccess;
}

Status RegQueryValueExA(RegKey key, const char* valueName, u32* reserved, u32* type,
                        unsigned char* data, u32* size) {
    bool refused = Refused("RegQueryValueExA(" + HandleName(key) + ", " + Quoted(valueName) +
                           ", " + (reserved ? "reserved" : "null") + ", " +
                           (type ? "type" : "null") + ", " + (data ? "data" : "null") + ", " +
                           (size ? "size" : "null") + ")");
    auto handle = openHandles.find(key);
    if (refused || handle == openHandles.end()) return kAccessDenied;
    auto& values = keys[handle->second].values;
    auto it = values.find(Upper(valueName ? valueName : ""));
    if (it == values.end()) return kFileNotFound;
    const Value& v = it->second.second;
    if (type) *type = v.type;
    if (data) {
        if (!size) return 87; // invalid parameter
        if (*size < v.data.size()) {
            *size = static_cast<u32>(v.data.size());
            return kMoreData;
        }
        std::memcpy(data, v.data.data(), v.data.size());
    }
    if (size) *size = static_cast<u32>(v.data.size());
    return ErrorSuccess;
}

Status RegSetValueExA(RegKey key, const char* valueName, u32 reserved, u32 type,
                      const unsigned char* data, u32 size) {
    bool refused = Refused("RegSetValueExA(" + HandleName(key) + ", " + Quoted(valueName) + ", " +
                           std::to_string(reserved) + ", " + std::to_string(type) + ", " +
                           std::to_string(size) + " bytes)");
    auto handle = openHandles.find(key);
    if (refused || handle == openHandles.end()) return kAccessDenied;
    std::string name = valueName ? valueName : "";
    keys[handle->second].values[Upper(name)] = {
        name, Value{type, std::string(reinterpret_cast<const char*>(data), size)}};
    AfterWrite();
    return ErrorSuccess;
}

Status RegDeleteValueA(RegKey key, const char* valueName) {
    bool refused = Refused("RegDeleteValueA(" + HandleName(key) + ", " + Quoted(valueName) + ")");
    auto handle = openHandles.find(key);
    if (refused || handle == openHandles.end()) return kAccessDenied;
    if (keys[handle->second].values.erase(Upper(valueName ? valueName : "")) == 0)
        return kFileNotFound;
    AfterWrite();
    return ErrorSuccess;
}

Status RegCloseKey(RegKey key) {
    RegLog.push_back("RegCloseKey(" + HandleName(key) + ")");
    return openHandles.erase(key) ? ErrorSuccess : 6; // invalid handle
}

} // namespace os
