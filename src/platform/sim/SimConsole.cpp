// Simulated standard handles, console input and process facts; Reset.
#include "platform/sim/SimWindows.h"

namespace sim {

u32 StdOutType;
std::string StdOut, StdErr, ModulePath;
int StdOutWriteCount, FailStdOutWriteNumber;
bool InputIsConsole;
std::deque<char> TypeAhead, Keys;
std::u16string CommandLine;

namespace {
constexpr os::Handle kStdIn = 0x10, kStdOut = 0x14, kStdErr = 0x18;
u32 lastError;
std::string commandLineA;
} // namespace

void ResetRegistry();
void ResetFiles();

void Reset() {
    ResetRegistry();
    ResetFiles();
    StdOutType = os::FileTypePipe;
    StdOut = StdErr = "";
    StdOutWriteCount = FailStdOutWriteNumber = 0;
    InputIsConsole = true;
    TypeAhead = Keys = {};
    CommandLine = u"wayfold";
    ModulePath = "C:\\outils\\wayfold.exe";
    AnsiCodePage = 1252;
}

} // namespace sim

namespace os {

Handle GetStdHandle(u32 which) {
    return which == StdInputHandle ? sim::kStdIn : which == StdOutputHandle ? sim::kStdOut : sim::kStdErr;
}

u32 GetFileType(Handle file) { return file == sim::kStdOut ? sim::StdOutType : FileTypeChar; }

bool WriteFile(Handle file, const void* data, u32 size, u32* written) {
    const bool failed = file == sim::kStdOut && ++sim::StdOutWriteCount == sim::FailStdOutWriteNumber;
    sim::lastError = failed ? 232 : 0; // the pipe is being closed
    if (!failed) (file == sim::kStdOut ? sim::StdOut : sim::StdErr).append(static_cast<const char*>(data), size);
    *written = failed ? 0 : size;
    return !failed;
}

bool FlushConsoleInputBuffer(Handle) {
    sim::TypeAhead.clear();
    return sim::InputIsConsole;
}

bool ReadConsoleInputA(Handle, InputRecord* records, u32, u32* read) {
    auto& queue = sim::TypeAhead.empty() ? sim::Keys : sim::TypeAhead;
    *read = sim::InputIsConsole && !queue.empty();
    sim::lastError = *read ? 0 : 6;
    if (!*read) return false;
    // '\0' stands for a mouse event, whose bytes happen to read as an 'o'.
    records[0] = queue.front() ? InputRecord{KeyEvent, queue.front()} : InputRecord{2, 'o'};
    queue.pop_front();
    return true;
}

u32 GetLastError() { return sim::lastError; }

const char* GetCommandLineA() {
    const int n = static_cast<int>(sim::CommandLine.size());
    sim::commandLineA.assign(n * 2, '\0');
    sim::commandLineA.resize(WideCharToMultiByte(CpAcp, 0, sim::CommandLine.data(), n,
                                                 sim::commandLineA.data(), n * 2, nullptr, nullptr));
    return sim::commandLineA.c_str();
}

const wchar* GetCommandLineW() { return sim::CommandLine.c_str(); }

u32 GetModuleFileNameA(void*, char* name, u32 size) {
    const u32 n = static_cast<u32>(sim::ModulePath.copy(name, size - 1));
    name[n] = '\0';
    return n;
}

} // namespace os
