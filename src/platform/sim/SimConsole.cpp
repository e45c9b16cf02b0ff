// Simulated standard handles, console input and process facts.
#include "platform/sim/SimWindows.h"

sim::Machine sim::machine;

namespace os {

namespace {
sim::Machine& m = sim::machine;
} // namespace

Handle GetStdHandle(u32 which) { return which; } // a standard handle is its own number

u32 GetFileType(Handle file) { return file == StdOutputHandle ? m.StdOutType : FileTypeChar; }

bool WriteFile(Handle file, const void* data, u32 size, u32* written) {
    const int number = file == StdOutputHandle ? ++m.StdOutWriteCount : 0, fail = m.FailStdOutWriteNumber;
    const bool failed = number && number == fail, empty = number && number == -fail;
    m.LastError = failed ? 232 : 0; // the pipe is being closed
    *written = failed || empty ? 0 : size;
    (file == StdOutputHandle ? m.StdOut : m.StdErr).append(static_cast<const char*>(data), *written);
    return !failed;
}

bool FlushConsoleInputBuffer(Handle) {
    m.TypeAhead.clear();
    return m.InputIsConsole;
}

bool ReadConsoleInputA(Handle, InputRecord* records, u32, u32* read) {
    auto& queue = m.TypeAhead.empty() ? m.Keys : m.TypeAhead;
    *read = m.InputIsConsole && !queue.empty();
    m.LastError = *read ? 0 : 6;
    if (!*read) return false;
    // '\0' stands for a mouse event, whose bytes happen to read as an 'o'.
    records[0] = queue.front() ? InputRecord{KeyEvent, queue.front()} : InputRecord{2, 'o'};
    queue.pop_front();
    return true;
}

u32 GetLastError() { return m.LastError; }

const char* GetCommandLineA() { return (m.CommandLineA = sim::Narrow(m.CommandLine)).c_str(); }

const wchar* GetCommandLineW() { return m.CommandLine.c_str(); }

u32 GetModuleFileNameA(void*, char* name, u32 size) {
    const u32 n = static_cast<u32>(m.ModulePath.copy(name, size - 1));
    name[n] = '\0';
    return n;
}

} // namespace os
