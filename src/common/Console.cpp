#include "common/Console.h"

#include "common/ProgramState.h"
#include "common/RuntimeError.h"
#include "platform/Platform.h"

#include <cstddef>

namespace {

constexpr std::size_t kBufferSize = 128;
constexpr int kFileNotOpenForOutput = 105;

os::Handle outHandle;
bool outIsConsole, outOpen;
char buffer[kBufferSize];
std::size_t buffered;

void WriteBuffer() {
    if (buffered == 0) return;
    os::u32 written = 0;
    bool ok = os::WriteFile(outHandle, buffer, static_cast<os::u32>(buffered), &written);
    bool complete = ok && written == buffered;
    // A failed write drops what it held, so that closing does not fail again.
    buffered = 0;
    if (!complete) RaiseInOutError(ok ? 101 : static_cast<int>(os::GetLastError()));
}

void Put(const char* data, std::size_t size) {
    if (!outOpen) RaiseInOutError(kFileNotOpenForOutput);
    for (std::size_t i = 0; i < size; ++i) {
        buffer[buffered++] = data[i];
        if (buffered == kBufferSize) WriteBuffer();
    }
}

void PutLineEnd() {
    Put("\r\n", 2);
    if (outIsConsole) WriteBuffer();
}

}  // namespace

void OpenStdOut() {
    outHandle = os::GetStdHandle(os::StdOutputHandle);
    os::u32 type = os::GetFileType(outHandle);
    buffered = 0;
    outIsConsole = type == os::FileTypeChar;
    // An installer's custom action or a detached process may have no standard
    // output at all: a silent run, which prints nothing, needs none; any other
    // fails on the first line it prints.
    outOpen = type != os::FileTypeUnknown;
}

void CloseStdOut() {
    if (!outOpen) return;
    outOpen = false;
    WriteBuffer();
}

void FlushStdOut() {
    if (outIsConsole) WriteBuffer();
}

std::string ConvertConsoleText(const std::string& text) {
    std::string copy(text.size(), '\0');
    if (!text.empty())
        os::CharToOemBuffA(text.data(), copy.data(), static_cast<os::u32>(text.size()));
    return copy;
}

void PrintLine(const std::string& text) {
    if (Silent) return;
    Put(text.data(), text.size());
    PutLineEnd();
}

void PrintConverted(const std::string& text) { PrintLine(ConvertConsoleText(text)); }

void PrintFormatted(const std::string& message, const std::string& argument) {
    std::string line = message;
    std::size_t at = line.find("%s");
    if (at != std::string::npos) line.replace(at, 2, argument);
    PrintConverted(line);
}

bool AskConfirmation(const std::string& question) {
    if (Silent) return true;
    std::string prompt = ConvertConsoleText(question + " [O/N] ?");
    Put(prompt.data(), prompt.size());
    FlushStdOut();
    // A key typed before the question was seen never answers it. Dropped
    // once: dropping again before each read would lose the letter that comes
    // in one batch behind a Shift.
    // It fails only where input is no console; the read below then fails too
    // and the question is answered no.
    os::FlushConsoleInputBuffer(StdInHandle);
    char answer = 0;
    for (;;) {
        os::InputRecord record{};
        os::u32 count = 0;
        if (!os::ReadConsoleInputA(StdInHandle, &record, 1, &count) || count == 0) {
            // Input is not a console (redirected, or none): no key can come,
            // so take it as no rather than wait forever.
            PutLineEnd();
            return false;
        }
        // Only a key pressed answers: releasing one pressed before the question does not.
        if (record.EventType != os::KeyEvent || !record.KeyDown) continue;
        answer = record.AsciiChar;
        if (answer == 'N' || answer == 'O' || answer == 'n' || answer == 'o') break;
    }
    Put(&answer, 1);
    PutLineEnd();
    return answer == 'O' || answer == 'o';
}
