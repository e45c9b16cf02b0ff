// Simulated standard handles, console input and process facts.
#include "platform/sim/SimWindows.h"

namespace sim {

u32 StdOutType = os::FileTypePipe;
std::vector<std::string> StdOutWrites;
int FailStdOutWriteNumber = 0;
std::string StdErr;
std::deque<os::InputRecord> TypeAhead;
std::deque<os::InputRecord> Keys;
bool InputIsConsole = true;
int ReadConsoleCount = 0;
std::string CommandLine = "wayfold";
std::string ModulePath = "C:\\outils\\wayfold.exe";

namespace {
constexpr os::Handle kStdIn = 0x10, kStdOut = 0x14, kStdErr = 0x18;
u32 lastError = 0;
int stdOutWriteCount = 0;
} // namespace

std::string StdOut() {
    std::string all;
    for (const auto& w : StdOutWrites) all += w;
    return all;
}

void TypeKeys(const std::string& chars) {
    for (char c : chars) Keys.push_back(os::InputRecord{os::KeyEvent, c});
}

void ResetRegistry();
void ResetFiles();

void Reset() {
    ResetRegistry();
    ResetFiles();
    StdOutType = os::FileTypePipe;
    StdOutWrites.clear();
    FailStdOutWriteNumber = 0;
    stdOutWriteCount = 0;
    StdErr.clear();
    TypeAhead.clear();
    Keys.clear();
    InputIsConsole = true;
    ReadConsoleCount = 0;
    CommandLine = "wayfold";
    ModulePath = "C:\\outils\\wayfold.exe";
    AnsiCodePage = 1252;
    SetLeadByteRanges({});
    lastError = 0;
}

} // namespace sim

namespace os {

Handle GetStdHandle(u32 which) {
    switch (which) {
    case StdInputHandle: return sim::kStdIn;
    case StdOutputHandle: return sim::kStdOut;
    case StdErrorHandle: return sim::kStdErr;
    default: return Handle(-1);
    }
}

u32 GetFileType(Handle file) {
    if (file == sim::kStdOut) return sim::StdOutType;
    if (file == sim::kStdErr || file == sim::kStdIn) return FileTypeChar;
    return FileTypeUnknown;
}

bool WriteFile(Handle file, const void* data, u32 size, u32* written) {
    std::string bytes(static_cast<const char*>(data), size);
    if (file == sim::kStdErr) {
        sim::StdErr += bytes;
    } else if (file == sim::kStdOut) {
        if (++sim::stdOutWriteCount == sim::FailStdOutWriteNumber) {
            sim::lastError = 232; // the pipe is being closed
            if (written) *written = 0;
            return false;
        }
        sim::StdOutWrites.push_back(bytes);
    } else {
        sim::lastError = 6;
        return false;
    }
    if (written) *written = size;
    return true;
}

bool FlushConsoleInputBuffer(Handle) {
    sim::TypeAhead.clear();
    return sim::InputIsConsole;
}

bool ReadConsoleInputA(Handle, InputRecord* records, u32 length, u32* read) {
    ++sim::ReadConsoleCount;
    // Keys typed ahead come first unless a flush dropped them.
    auto& queue = sim::TypeAhead.empty() ? sim::Keys : sim::TypeAhead;
    if (!sim::InputIsConsole || queue.empty() || length == 0) {
        if (read) *read = 0;
        sim::lastError = 6;
        return false;
    }
    records[0] = queue.front();
    queue.pop_front();
    if (read) *read = 1;
    return true;
}

u32 GetLastError() { return sim::lastError; }

const char* GetCommandLineA() { return sim::CommandLine.c_str(); }

u32 GetModuleFileNameA(void*, char* name, u32 size) {
    if (size == 0) return 0;
    u32 n = static_cast<u32>(sim::ModulePath.size());
    if (n >= size) n = size - 1;
    sim::ModulePath.copy(name, n);
    name[n] = '\0';
    return n;
}

} // namespace os
