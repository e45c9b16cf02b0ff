/* The end-to-end tests' hands inside Wine (run.py drives it from C:\e2e-tools):
 *   helper EXE NAME VALUE KEYS AHEAD OUT LOCK LINES
 * Sets the values that values.txt lists in the current user's (u) or the
 * all-users (m) Environment key ("u|m NAME TYPE HEX" lines: stored as exactly
 * these bytes; TYPE "-": deleted) and lists every value of both keys in
 * before.txt (same lines). Then starts EXE (a path) once for each UTF-16
 * command line of LINES (hex, comma-separated), all at once, in the folder Y:\,
 * with the environment variable NAME set to VALUE (UTF-16 in hex; "-": none;
 * "=C:" gives the current folder of C:), and this one's standard output and
 * error. OUT "none": no standard handles at all; "closed": standard output a
 * pipe whose reader is gone. With KEYS or AHEAD (not "-") standard input is a
 * console: AHEAD's records are written to it before the start, KEYS's over and
 * over once the run has had time to ask (a character: pressed and released;
 * ^c: released only; +c: pressed behind a Shift, in one write). LOCK "SCOPE
 * KIND" puts an object under the name of the lock of that Path (user or
 * machine) first: held, abandoned, semaphore, refusing or foreign (see make_lock).
 * Last it writes the exit statuses and the values again in after.txt. A run
 * still going after 20 seconds is stopped (status 124). Exits 250 when the
 * helper itself fails. */
#include <windows.h>
// Declared with the types of <windows.h>.
#include <sddl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define TOOLS "C:\\e2e-tools\\"
#define HELPER_FAILED 250
#define STOPPED 124
#define LONGEST_RUN_MS 20000
#define POLL_MS 300

static void check(BOOL ok, const char *what) {
    if (ok) return;
    fprintf(stderr, "helper: %s (error %lu)\n", what, GetLastError());
    exit(HELPER_FAILED);
}

static HKEY open_key(char scope) {
    const char *machine = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    HKEY root = scope == 'm' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY key;
    LSTATUS status = RegCreateKeyExA(root, scope == 'm' ? machine : "Environment", 0, NULL, 0,
                                     KEY_ALL_ACCESS, NULL, &key, NULL);
    check(status == ERROR_SUCCESS, "no key");
    return key;
}

/* The bytes of a hex text, with two zero bytes after them. */
static BYTE *unhex(const char *hex, BYTE *bytes, DWORD *size) {
    *size = 0;
    while (hex[2 * *size] && sscanf(hex + 2 * *size, "%2hhx", &bytes[*size]) == 1) ++*size;
    bytes[*size] = 0;
    bytes[*size + 1] = 0;
    return bytes;
}

/* The data as stored: the wide call does not convert texts. */
static void list(FILE *out) {
    static BYTE data[1 << 20];
    WCHAR name[256];
    for (const char *scope = "um"; *scope; ++scope) {
        HKEY key = open_key(*scope);
        for (DWORD i = 0;; ++i) {
            DWORD length = 256, type, size = sizeof data;
            if (RegEnumValueW(key, i, name, &length, NULL, &type, data, &size)) break;
            fprintf(out, "%c %ls %lu ", *scope, name, type);
            for (DWORD b = 0; b < size; ++b) fprintf(out, "%02x", data[b]);
            fputc('\n', out);
        }
        RegCloseKey(key);
    }
    check(!fclose(out), "no list");
}

static void set_values(void) {
    static BYTE bytes[1 << 18];
    static char line[1 << 18], hex[1 << 18];
    char name[256], scope[2];
    WCHAR wide[256];
    FILE *in = fopen(TOOLS "values.txt", "r");
    check(in != NULL, "no values.txt");
    while (fgets(line, sizeof line, in)) {
        DWORD type, size;
        hex[0] = 0;
        int fields = sscanf(line, "%1s %255s %lu %s", scope, name, &type, hex);
        MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 256);
        HKEY key = open_key(*scope);
        if (fields >= 3) {
            unhex(hex, bytes, &size);
            check(!RegSetValueExW(key, wide, 0, type, bytes, size), "no value");
        } else
            RegDeleteValueW(key, wide);
        RegCloseKey(key);
    }
    fclose(in);
}

static void type_keys(HANDLE console, const char *keys) {
    for (; *keys; ++keys) {
        INPUT_RECORD records[2] = {{.EventType = KEY_EVENT}, {.EventType = KEY_EVENT}};
        int shifted = *keys == '+', released = *keys == '^', n = 0;
        if (shifted || released) ++keys;
        if (shifted) {
            KEY_EVENT_RECORD shift = {TRUE, 1, VK_SHIFT, 0, {0}, SHIFT_PRESSED};
            records[n++].Event.KeyEvent = shift;
        }
        KEY_EVENT_RECORD key = {!released, 1, VkKeyScanA(*keys) & 0xFF, 0, {0}, 0};
        key.uChar.UnicodeChar = *keys;
        records[n].Event.KeyEvent = key;
        DWORD written;
        WriteConsoleInputW(console, records, n + 1, &written);
        if (!shifted && !released) { /* and released */
            records[0].Event.KeyEvent.bKeyDown = FALSE;
            WriteConsoleInputW(console, records, 1, &written);
        }
    }
}

static const char *lock_name;
static SECURITY_ATTRIBUTES *lock_security;

static DWORD WINAPI hold_and_end(void *unused) {
    (void)unused;
    return WaitForSingleObject(CreateMutexA(lock_security, FALSE, lock_name), INFINITE);
}

/* The object a LOCK puts under the lock's name, kept until the helper ends:
 * a mutex that a run of that Path made and holds (held), or that a thread
 * held when it ended (abandoned); a semaphore; a mutex whose DACL lets no one
 * in (refusing); one that another user owns (foreign). Mutexes are held, so
 * that a run that waited for one would fail. */
static void make_lock(const char *lock) {
    char scope[16], kind[16], sid[128] = "BA", name[256], sddl[512];
    check(sscanf(lock, "%15s %15s", scope, kind) == 2, "LOCK is SCOPE KIND");
    if (!strcmp(scope, "user")) {
        HANDLE token;
        BYTE user[256];
        DWORD size = 0;
        LPSTR text;
        check(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token), "no token");
        check(GetTokenInformation(token, TokenUser, user, sizeof user, &size), "no user");
        check(ConvertSidToStringSidA(((TOKEN_USER *)user)->User.Sid, &text), "no SID");
        snprintf(sid, sizeof sid, "%s", text);
    }
    snprintf(name, sizeof name, "Global\\wayFOLD-Path-%s", strcmp(scope, "user") ? "Machine" : sid);
    snprintf(sddl, sizeof sddl, "O:%sD:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;%s)", sid, sid);
    if (!strcmp(kind, "refusing")) strcpy(sddl, "D:P");
    if (!strcmp(kind, "foreign")) strcpy(sddl, "O:S-1-5-21-1-2-3-4D:(A;;GA;;;WD)");
    SECURITY_ATTRIBUTES security = {sizeof security, NULL, FALSE};
    check(ConvertStringSecurityDescriptorToSecurityDescriptorA(
              sddl, SDDL_REVISION_1, &security.lpSecurityDescriptor, NULL),
          "no descriptor");
    HANDLE made = !strcmp(kind, "semaphore")
                      ? CreateSemaphoreA(&security, 0, 1, name)
                      : CreateMutexA(&security, strcmp(kind, "abandoned") != 0, name);
    check(made != NULL, "no lock made");
    if (!strcmp(kind, "abandoned")) { /* held by a thread that ends */
        lock_name = name;
        lock_security = &security;
        HANDLE thread = CreateThread(NULL, 0, hold_and_end, NULL, 0, NULL);
        WaitForSingleObject(thread, INFINITE);
    }
}

/* Under load Wine now and then fails a start with an internal error before
 * the program ran any of its code: such a start is tried again. */
static void start(WCHAR *exe, WCHAR *line, DWORD flags, STARTUPINFOW *startup,
                  PROCESS_INFORMATION *process) {
    for (int attempt = 1; !CreateProcessW(exe, line, NULL, NULL, TRUE, flags, NULL,
                                          exe ? L"Y:\\" : NULL, startup, process);
         ++attempt) {
        check(GetLastError() == ERROR_INTERNAL_ERROR && attempt < 5, "cannot start");
        Sleep(200);
    }
}

/* Wine gives a program started so a console of its own, with no window. */
static int again_in_a_console(STARTUPINFOW *startup) {
    static WCHAR line[32768];
    PROCESS_INFORMATION process;
    DWORD status = HELPER_FAILED;
    wcscat(wcscpy(line, GetCommandLineW()), L" console");
    startup->hStdInput = NULL;
    start(NULL, line, CREATE_NO_WINDOW, startup, &process);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &status);
    return (int)status;
}

int main(int argc, char **argv) {
    static BYTE bytes[1 << 18], value[1 << 16];
    static WCHAR exe[MAX_PATH], variable[64];
    STARTUPINFOW startup = {.cb = sizeof startup, .dwFlags = STARTF_USESTDHANDLES};
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    HANDLE runs[MAXIMUM_WAIT_OBJECTS];
    DWORD size, status;
    int count = 0;
    check(argc >= 9, "usage: helper EXE NAME VALUE KEYS AHEAD OUT LOCK LINES");
    const char *keys = argv[4], *ahead = argv[5], *out = argv[6], *lock = argv[7];
    int typing = strcmp(keys, "-") || strcmp(ahead, "-");
    HANDLE *handles[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    for (int i = 0; i < 3; ++i) {
        *handles[i] = GetStdHandle(STD_INPUT_HANDLE - i);
        SetHandleInformation(*handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    if (typing && argc == 9) return again_in_a_console(&startup);
    if (typing) {
        startup.hStdInput =
            CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherited, OPEN_EXISTING, 0, NULL);
        if (strcmp(ahead, "-")) type_keys(startup.hStdInput, ahead);
    }
    if (!strcmp(out, "none")) {
        startup.hStdInput = NULL;
        startup.hStdOutput = NULL;
    } else if (!strcmp(out, "closed")) {
        HANDLE reader;
        check(CreatePipe(&reader, &startup.hStdOutput, &inherited, 0), "no pipe");
        CloseHandle(reader);
    }
    set_values();
    if (strcmp(argv[2], "-")) {
        wcsncpy(variable, (WCHAR *)unhex(argv[2], bytes, &size), 63);
        SetEnvironmentVariableW(variable, (WCHAR *)unhex(argv[3], value, &size));
    }
    if (strcmp(lock, "-")) make_lock(lock);
    FILE *before = fopen(TOOLS "before.txt", "w");
    fputc('\n', before);
    list(before);
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, exe, MAX_PATH);
    for (char *line = strtok(argv[8], ","); line && count < MAXIMUM_WAIT_OBJECTS;
         line = strtok(NULL, ",")) {
        PROCESS_INFORMATION process;
        start(exe, (WCHAR *)unhex(line, bytes, &size), 0, &startup, &process);
        runs[count++] = process.hProcess;
    }
    for (int waited = POLL_MS; WaitForMultipleObjects(count, runs, TRUE, POLL_MS) == WAIT_TIMEOUT;
         waited += POLL_MS) {
        for (int i = 0; waited > LONGEST_RUN_MS && i < count; ++i)
            TerminateProcess(runs[i], STOPPED);
        if (waited >= 2 * POLL_MS && strcmp(keys, "-")) type_keys(startup.hStdInput, keys);
    }
    FILE *after = fopen(TOOLS "after.txt", "w");
    for (int i = 0; i < count; ++i) {
        GetExitCodeProcess(runs[i], &status);
        fprintf(after, "%lu ", status);
    }
    fputc('\n', after);
    list(after);
    return 0;
}
