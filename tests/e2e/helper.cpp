// The end-to-end tests' hands inside Wine (run.py drives it from C:\e2e-tools):
//   helper EXE CWD KEYS OUT LINES
// Deletes the values Path and Path_wayFOLD_BACKUP of the current user's (u)
// and the all-users (m) Environment key, then sets those that values.txt
// lists ("u|m NAME TYPE HEX": stored as exactly these bytes). Starts EXE once
// for each UTF-16 command line of LINES (hex, comma-separated; "-": none),
// all at once, in the folder Y:\, with CWD (UTF-16 in hex; "-": none) the
// current folder of its drive, and this one's standard output and error.
// OUT "none": no standard handles at all; "closed": standard output a pipe
// whose reader is gone. With KEYS (not "-") standard input is a console where
// KEYS are typed over and over once the run has had time to ask. Last it
// writes the exit statuses and every value of both keys (same lines) in
// after.txt. A run still going after 20 seconds is stopped (status 124).
// Exits 250 when it fails itself.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const int kHelperFailed = 250;
const int kStopped = 124;
const int kLongestRunMs = 20000;
const int kPollMs = 300;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "helper: %s (error %lu)\n", what, GetLastError());
    std::exit(kHelperFailed);
}

HKEY OpenKey(char scope) {
    const char* machine = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    HKEY key = nullptr;
    RegCreateKeyExA(scope == 'm' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                    scope == 'm' ? machine : "Environment", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    Check(key != nullptr, "no key");
    return key;
}

// The bytes of a hex text.
std::vector<BYTE> Unhex(const std::string& hex) {
    std::vector<BYTE> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<BYTE>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::wstring Wide(const std::string& hex) {
    std::vector<BYTE> bytes = Unhex(hex);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

void SetValues() {
    const HKEY keys[] = {OpenKey('u'), OpenKey('m')};
    for (HKEY key : keys) {
        RegDeleteValueA(key, "Path");
        RegDeleteValueA(key, "Path_wayFOLD_BACKUP");
    }
    std::ifstream in("values.txt");
    std::string scope;
    std::string name;
    DWORD type = 0;
    std::string hex;
    while (in >> scope >> name >> type >> hex) {
        std::vector<BYTE> data = Unhex(hex);
        const std::wstring wide(name.begin(), name.end());
        LSTATUS set = RegSetValueExW(keys[scope == "m"], wide.c_str(), 0, type, data.data(),
                                     static_cast<DWORD>(data.size()));
        Check(set == ERROR_SUCCESS, "no value");
    }
}

// The data as stored: the wide call does not convert texts.
void ListValues(std::FILE* out) {
    std::vector<BYTE> data(1 << 20);
    for (char scope : {'u', 'm'}) {
        const HKEY key = OpenKey(scope);
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD length = 256;
            DWORD type = 0;
            DWORD size = static_cast<DWORD>(data.size());
            if (RegEnumValueW(key, i, name, &length, nullptr, &type, data.data(), &size)) break;
            std::fprintf(out, "%c %ls %lu ", scope, name, type);
            for (DWORD b = 0; b < size; ++b) std::fprintf(out, "%02x", data[b]);
            std::fputc('\n', out);
        }
    }
}

void TypeKeys(HANDLE console, const std::string& keys) {
    for (char key : keys) {
        INPUT_RECORD record = {};
        record.EventType = KEY_EVENT;
        record.Event.KeyEvent.bKeyDown = TRUE;
        record.Event.KeyEvent.wRepeatCount = 1;
        record.Event.KeyEvent.wVirtualKeyCode = VkKeyScanA(key) & 0xFF;
        record.Event.KeyEvent.uChar.UnicodeChar = key;
        DWORD written;
        WriteConsoleInputW(console, &record, 1, &written);
        record.Event.KeyEvent.bKeyDown = FALSE;
        WriteConsoleInputW(console, &record, 1, &written);
    }
}

// Under load Wine now and then fails a start with an internal error before
// the program ran any of its code: such a start is tried again.
HANDLE Start(const wchar_t* exe, std::wstring line, DWORD flags, STARTUPINFOW& startup) {
    PROCESS_INFORMATION process;
    for (int attempt = 1; !CreateProcessW(exe, &line[0], nullptr, nullptr, TRUE, flags, nullptr,
                                          exe ? L"Y:\\" : nullptr, &startup, &process);
         ++attempt) {
        Check(GetLastError() == ERROR_INTERNAL_ERROR && attempt < 5, "cannot start");
        Sleep(200);
    }
    return process.hProcess;
}

}  // namespace

int main(int argc, char** argv) {
    Check(argc >= 6, "usage: helper EXE CWD KEYS OUT LINES");
    const std::string keys = argv[3];
    const std::string out = argv[4];
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE* handles[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    for (DWORD i = 0; i < 3; ++i) {
        *handles[i] = GetStdHandle(STD_INPUT_HANDLE - i);
        SetHandleInformation(*handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    if (keys != "-" && argc == 6) {
        // Wine gives a program started so a console of its own, with no window.
        startup.hStdInput = nullptr;
        HANDLE again = Start(nullptr, GetCommandLineW() + std::wstring(L" console"),
                             CREATE_NO_WINDOW, startup);
        DWORD status = kHelperFailed;
        WaitForSingleObject(again, INFINITE);
        GetExitCodeProcess(again, &status);
        return static_cast<int>(status);
    }
    if (keys != "-")
        startup.hStdInput =
            CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherited, OPEN_EXISTING, 0, nullptr);
    if (out == "none") {
        startup.hStdInput = nullptr;
        startup.hStdOutput = nullptr;
    }
    if (out == "closed") {
        HANDLE reader;
        Check(CreatePipe(&reader, &startup.hStdOutput, &inherited, 0), "no pipe");
        CloseHandle(reader);
    }
    SetValues();
    if (std::string(argv[2]) != "-") {
        const std::wstring folder = Wide(argv[2]);
        SetEnvironmentVariableW((L"=" + folder.substr(0, 2)).c_str(), folder.c_str());
    }
    const std::wstring exe(argv[1], argv[1] + std::strlen(argv[1]));
    std::vector<HANDLE> runs;
    std::istringstream lines(argv[5]);
    for (std::string line; std::getline(lines, line, ',') && line != "-";)
        runs.push_back(Start(exe.c_str(), Wide(line), 0, startup));
    DWORD count = static_cast<DWORD>(runs.size());
    for (int waited = kPollMs;
         count && WaitForMultipleObjects(count, runs.data(), TRUE, kPollMs) == WAIT_TIMEOUT;
         waited += kPollMs) {
        for (HANDLE run : runs)
            if (waited > kLongestRunMs) TerminateProcess(run, kStopped);
        if (waited >= 2 * kPollMs && keys != "-") TypeKeys(startup.hStdInput, keys);
    }
    std::FILE* after = std::fopen("after.txt", "w");
    for (HANDLE run : runs) {
        DWORD status = kHelperFailed;
        GetExitCodeProcess(run, &status);
        std::fprintf(after, "%lu ", status);
    }
    std::fputc('\n', after);
    ListValues(after);
    Check(std::fclose(after) == 0, "no after.txt");
}
