// Simulated standard handles, console input and process facts.
#include "platform/sim/SimWindows.h"

namespace sim {

u32 StdOutType;
std::string StdOut, StdErr;
int StdOutWriteCount, FailStdOutWriteNumber;
bool InputIsConsole;
std::deque<char> TypeAhead, Keys;
std::u16string CommandLine;
std::string ModulePath;

namespace {
constexpr os::Handle kStdIn = 0x10, kStdOut = 0x14, kStdErr = 0x18;
u32 lastError = 0;
std::string commandLineA;
} // namespace

void ResetRegistry();
void ResetFiles();

void Reset() {
    ResetRegistry();
    ResetFiles();
    StdOutType = os::FileTypePipe;
    StdOut.clear();
    StdErr.clear();
    StdOutWriteCount = FailStdOutWriteNumber = 0;
    InputIsConsole = true;
    TypeAhead.clear();
    Keys.clear();
    CommandLine = u"wayfold";
    ModulePath = "C:\\outils\\wayfold.exe";
    AnsiCodePage = 1252;
    lastError = 0;
}

} // namespace sim

namespace os {

Handle GetStdHandle(u32 which) {
    return which == StdInputHandle ? sim::kStdIn : which == StdOutputHandle ? sim::kStdOut
                                                                            : sim::kStdErr;
}

u32 GetFileType(Handle file) { return file == sim::kStdOut ? sim::StdOutType : FileTypeChar; }

bool WriteFile(Handle file, const void* data, u32 size, u32* written) {
    const std::string bytes(static_cast<const char*>(data), size);
    *written = 0;
    if (file == sim::kStdErr) {
        sim::StdErr += bytes;
    } else if (++sim::StdOutWriteCount == sim::FailStdOutWriteNumber) {
        sim::lastError = 232; // the pipe is being closed
        return false;
    } else {
        sim::StdOut += bytes;
    }
    *written = size;
    return true;
}

bool FlushConsoleInputBuffer(Handle) {
    sim::TypeAhead.clear();
    return sim::InputIsConsole;
}

bool ReadConsoleInputA(Handle, InputRecord* records, u32, u32* read) {
    auto& queue = sim::TypeAhead.empty() ? sim::Keys : sim::TypeAhead;
    *read = 0;
    if (!sim::InputIsConsole || queue.empty()) {
        sim::lastError = 6;
        return false;
    }
    // '\0' stands for a mouse event, whose bytes happen to read as an 'o'.
    records[0] = queue.front() ? InputRecord{KeyEvent, queue.front()} : InputRecord{2, 'o'};
    queue.pop_front();
    *read = 1;
    return true;
}

u32 GetLastError() { return sim::lastError; }

const char* GetCommandLineA() {
    const int n = WideCharToMultiByte(CpAcp, 0, sim::CommandLine.data(),
                                      static_cast<int>(sim::CommandLine.size()), nullptr, 0,
                                      nullptr, nullptr);
    sim::commandLineA.assign(n, '\0');
    WideCharToMultiByte(CpAcp, 0, sim::CommandLine.data(), static_cast<int>(sim::CommandLine.size()),
                        sim::commandLineA.data(), n, nullptr, nullptr);
    return sim::commandLineA.c_str();
}

const wchar* GetCommandLineW() { return sim::CommandLine.c_str(); }

u32 GetModuleFileNameA(void*, char* name, u32 size) {
    const u32 n = sim::ModulePath.size() < size ? static_cast<u32>(sim::ModulePath.size()) : size - 1;
    sim::ModulePath.copy(name, n);
    name[n] = '\0';
    return n;
}

} // namespace os
