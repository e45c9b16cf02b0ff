// The end-to-end tests' hands inside Wine (run.py drives it from C:\e2e-tools):
//   helper EXE KEYS OUT
// Deletes the values Path and Path_wayFOLD_BACKUP of the current user's (u)
// and the all-users (m) Environment key, then sets those that values.txt
// lists ("u|m NAME TYPE HEX": stored as exactly these bytes; HEX "-": none).
// Starts EXE with the command line E2E_LINE (an environment variable, so
// that any UTF-16 text reaches it), in the folder Y:\, with E2E_CWD (if set)
// the current folder of its drive, and this one's standard output and
// error. OUT "none": no standard handles at all; "closed": standard output a pipe whose reader is
// gone. With KEYS (not
// "-") standard input is a console: the keys before a '|' are typed before
// the run starts; once it has had time to ask, those are released again and
// the keys after the '|' typed, over and over, each pressed and released.
// Last it writes the exit status and every value of both keys (same lines)
// in after.txt. A run still going after 5 seconds (15 when another run holds
// the lock it waits 10 seconds for) is stopped: status 124.
// Exits 250 when it fails itself.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

const int kHelperFailed = 250;
const int kStopped = 124;
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

// Each key of the text pressed and released, or only released.
void TypeKeys(HANDLE console, const std::string& keys, bool pressed) {
    for (char key : keys) {
        INPUT_RECORD record = {};
        record.EventType = KEY_EVENT;
        record.Event.KeyEvent.bKeyDown = pressed;
        record.Event.KeyEvent.uChar.UnicodeChar = key;
        DWORD written;
        WriteConsoleInputW(console, &record, 1, &written);
        record.Event.KeyEvent.bKeyDown = FALSE;
        if (pressed) WriteConsoleInputW(console, &record, 1, &written);
    }
}

HANDLE Start(const wchar_t* exe, std::wstring line, DWORD flags, STARTUPINFOW& startup) {
    PROCESS_INFORMATION process;
    Check(CreateProcessW(exe, &line[0], nullptr, nullptr, TRUE, flags, nullptr,
                         exe ? L"Y:\\" : nullptr, &startup, &process),
          "cannot start");
    return process.hProcess;
}

}  // namespace

int main(int argc, char** argv) {
    Check(argc >= 4, "usage: helper EXE KEYS OUT");
    const std::string keys = argv[2];
    const std::string out = argv[3];
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE* handles[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    for (DWORD i = 0; i < 3; ++i) {
        *handles[i] = GetStdHandle(STD_INPUT_HANDLE - i);
        SetHandleInformation(*handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    if (keys != "-" && argc == 4) {
        // Wine gives a program started so a console of its own, with no window.
        startup.hStdInput = nullptr;
        HANDLE again = Start(nullptr, GetCommandLineW() + std::wstring(L" console"),
                             CREATE_NO_WINDOW, startup);
        DWORD status = kHelperFailed;
        WaitForSingleObject(again, INFINITE);
        GetExitCodeProcess(again, &status);
        return static_cast<int>(status);
    }
    const std::size_t bar = keys.find('|');
    const std::string early = bar == std::string::npos ? "" : keys.substr(0, bar);
    if (keys != "-") {
        startup.hStdInput =
            CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherited, OPEN_EXISTING, 0, nullptr);
        Check(startup.hStdInput != INVALID_HANDLE_VALUE, "no console");
        TypeKeys(startup.hStdInput, early, true);
    }
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
    if (const wchar_t* folder = _wgetenv(L"E2E_CWD"))
        SetEnvironmentVariableW((L"=" + std::wstring(folder, 2)).c_str(), folder);
    const std::wstring exe(argv[1], argv[1] + std::strlen(argv[1]));
    const HANDLE run = Start(exe.c_str(), _wgetenv(L"E2E_LINE"), 0, startup);
    const char* lock = std::getenv("WAYFOLD_LOCK");
    const int longest = lock && !std::strcmp(lock, "held") ? 15000 : 5000;
    for (int waited = kPollMs; WaitForSingleObject(run, kPollMs) == WAIT_TIMEOUT;
         waited += kPollMs) {
        if (waited > longest) TerminateProcess(run, kStopped);
        if (waited < 2 * kPollMs || keys == "-") continue;
        TypeKeys(startup.hStdInput, early, false);
        TypeKeys(startup.hStdInput, keys.substr(bar + 1), true);  // all of them without a '|'
    }
    std::FILE* after = std::fopen("after.txt", "w");
    DWORD status = kHelperFailed;
    GetExitCodeProcess(run, &status);
    std::fprintf(after, "%lu\n", status);
    ListValues(after);
    Check(std::fclose(after) == 0, "no after.txt");
}
