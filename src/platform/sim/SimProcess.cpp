// The simulated process: standard handles, console input, the command line,
// the lock shared with other runs, and code page 1252 with its OEM form 850.
#include "platform/sim/SimWindows.h"

#include <algorithm>
#include <cstring>

sim::Machine sim::machine;

namespace {

sim::Machine& m = sim::machine;

// Bytes 128 to 255 of Windows-1252 as code page 850 shows them.
const unsigned char kAnsiToOem850[128] = {
#include "platform/sim/AnsiToOem850.inc"
};

template <typename Text> // the size asked for, or the text into the caller's buffer
int Deliver(const Text& converted, typename Text::value_type* out, int capacity) {
    const int n = static_cast<int>(converted.size());
    if (capacity >= n) std::copy(converted.begin(), converted.end(), out);
    return capacity == 0 || capacity >= n ? n : 0;
}

} // namespace

// 1252 as far as the tests' texts go: its bytes 128 to 159 (the euro sign,
// Š, œ...) stand for other UTF-16 units, which no test uses.
std::u16string sim::Widen(const std::string& ansi) {
    std::u16string wide;
    for (unsigned char c : ansi) wide += c;
    return wide;
}

namespace os {

Handle GetStdHandle(u32 which) { return which; } // a standard handle is its own number

u32 GetFileType(Handle file) { return file == StdOutputHandle ? m.StdOutType : FileTypeChar; }

bool WriteFile(Handle file, const void* data, u32 size, u32* written) {
    const int number = file == StdOutputHandle ? ++m.StdOutWrites : 0, fail = m.FailStdOutWrite;
    const bool failed = number && number == fail, empty = number && number == -fail;
    m.LastError = failed ? 232 : 0; // the pipe is being closed
    *written = failed || empty ? 0 : size;
    (file == StdOutputHandle ? m.StdOut : m.StdErr).append(static_cast<const char*>(data), *written);
    return !failed;
}

bool FlushConsoleInputBuffer(Handle) { return !m.Keys.empty(); }

bool ReadConsoleInputA(Handle, InputRecord* records, u32, u32* read) {
    m.LockViolations += m.MutexOwned; // a slow answer would hold up every other run
    *read = !m.Keys.empty();
    m.LastError = *read ? 0 : 6;
    if (!*read) return false;
    records[0] = {KeyEvent, true, m.Keys.front()};
    m.Keys.pop_front();
    return true;
}

u32 GetLastError() { return m.LastError; }

const wchar* GetCommandLineW() { return m.CommandLine.c_str(); }

u32 GetModuleFileNameA(void*, char* name, u32 size) {
    const u32 n = static_cast<u32>(m.ModulePath.copy(name, size - 1));
    name[n] = '\0';
    return n;
}

Handle CreateMutexW(SecurityAttributes*, bool, const wchar*) { return 0x4D; }

u32 WaitForSingleObject(Handle, u32) {
    m.MutexOwned = m.MutexState != 1;
    return m.MutexState == 1 ? 0x102 : m.MutexState == 2 ? WaitAbandoned : WaitObject0; // 0x102: timed out
}

bool ReleaseMutex(Handle) { return !(m.MutexOwned = false); }

bool CloseHandle(Handle) { return true; }

int MultiByteToWideChar(u32, u32, const char* text, int length, wchar* wide, int wideLength) {
    return Deliver(sim::Widen(std::string(text, length)), wide, wideLength);
}

// A character 1252 lacks becomes '?' (Windows may pick a near letter instead).
int WideCharToMultiByte(u32, u32, const wchar* wide, int length, char* text, int textLength, const char*, bool*) {
    std::string ansi;
    for (int i = 0; i < length; ++i) ansi += wide[i] <= 0xFF ? static_cast<char>(wide[i]) : '?';
    return Deliver(ansi, text, textLength);
}

bool CharToOemBuffA(const char* source, char* target, u32 length) {
    std::transform(source, source + length, target, [](unsigned char c) {
        return static_cast<char>(c < 128 ? c : kAnsiToOem850[c - 128]);
    });
    return true;
}

bool CharToOemA(const char* source, char* target) {
    return CharToOemBuffA(source, target, static_cast<u32>(std::strlen(source)) + 1);
}

// 1252's own upper-casing: a to z, the accented letters, and its four of 128 to 159.
u32 CharUpperBuffA(char* text, u32 length) {
    for (u32 i = 0; i < length; ++i) {
        unsigned char& c = reinterpret_cast<unsigned char&>(text[i]);
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c != 0xF7 && c != 0xFF)) c -= 32;
        else if (c == 0x9A || c == 0x9C || c == 0x9E) c -= 16;
        else if (c == 0xFF) c = 0x9F;
    }
    return length;
}

bool GetCPInfo(u32, CpInfo* info) {
    *info = CpInfo{1, {}}; // no lead bytes
    return true;
}

} // namespace os
