/* The end-to-end tests' hands inside Wine (run.py drives it; wayfold.exe lies
 * beside it in C:\e2e-tools): helper CWD NAME VALUE KEYS AHEAD OUT LINES
 * sets the values that values.txt lists in the current user's (u) or the
 * all-users (m) Environment key ("u|m NAME TYPE HEX" lines: stored as exactly
 * these bytes; TYPE "-": deleted), lists every
 * value of both keys in before.txt (same lines), then starts wayfold.exe once
 * for each UTF-16 command line of LINES (hex, comma-separated), all at once,
 * in the folder CWD, with the environment variable NAME set to VALUE (UTF-16
 * in hex; "-": none; "=C:" gives the current folder of C:), and this one's
 * standard output and error; OUT "none": no standard input or output at all,
 * "closed": standard output a pipe whose reader is gone. With KEYS or AHEAD
 * (not "-") standard input is a console: AHEAD's records are written to it
 * before the start, KEYS's over and over once the run has had time to ask (a
 * character: pressed and released; ^c: released only; +c: pressed behind a
 * Shift, in one write).
 * Last it writes the exit statuses and the values again in after.txt. A
 * run still going after 20 seconds is stopped (status 124). Exits 250 when
 * the helper itself fails. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define TOOLS "C:\\e2e-tools\\"

static void check(BOOL ok, const char *what) {
    if (!ok) fprintf(stderr, "helper: %s (error %lu)\n", what, GetLastError()), exit(250);
}

static HKEY open_key(char scope) {
    HKEY key;
    check(!RegCreateKeyExA(scope == 'm' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                           scope == 'm'
                               ? "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
                               : "Environment",
                           0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
          "no key");
    return key;
}

static BYTE *unhex(const char *hex, BYTE *bytes, DWORD *size) { /* with two zero bytes after */
    for (*size = 0; hex[2 * *size] && sscanf(hex + 2 * *size, "%2hhx", &bytes[*size]) == 1;
         ++*size) {
    }
    bytes[*size] = bytes[*size + 1] = 0;
    return bytes;
}

static void list(FILE *out) { /* the data as stored: the wide call does not convert texts */
    static BYTE data[1 << 20];
    WCHAR name[256];
    for (const char *scope = "um"; *scope; ++scope) {
        HKEY key = open_key(*scope);
        for (DWORD i = 0, n = 256, type, size = sizeof data;
             !RegEnumValueW(key, i, name, &n, NULL, &type, data, &size);
             ++i, n = 256, size = sizeof data, fputc('\n', out)) {
            fprintf(out, "%c %ls %lu ", *scope, name, type);
            for (DWORD b = 0; b < size; ++b) fprintf(out, "%02x", data[b]);
        }
        RegCloseKey(key);
    }
    check(!fclose(out), "no list");
}

static void type_keys(HANDLE console, const char *keys) {
    for (DWORD written; *keys; ++keys) {
        INPUT_RECORD r[2] = {{.EventType = KEY_EVENT}, {.EventType = KEY_EVENT}};
        int shifted = *keys == '+', up = *keys == '^', n = 0;
        keys += shifted || up;
        if (shifted)
            r[n++].Event.KeyEvent = (KEY_EVENT_RECORD){TRUE, 1, VK_SHIFT, 0, {0}, SHIFT_PRESSED};
        r[n].Event.KeyEvent =
            (KEY_EVENT_RECORD){!up, 1, VkKeyScanA(*keys) & 0xFF, 0, {.UnicodeChar = *keys}, 0};
        WriteConsoleInputW(console, r, n + 1, &written);
        r[0].Event.KeyEvent.bKeyDown = FALSE; /* and released */
        if (!shifted && !up) WriteConsoleInputW(console, r, 1, &written);
    }
}

int main(int argc, char **argv) {
    static BYTE bytes[1 << 18];
    static char line[1 << 18], name[256], hex[1 << 18], scope[2];
    static WCHAR again[32768], variable[64] = {0}, wide[256], cwd[MAX_PATH];
    STARTUPINFOW si = {.cb = sizeof si, .dwFlags = STARTF_USESTDHANDLES};
    PROCESS_INFORMATION pi;
    HANDLE runs[MAXIMUM_WAIT_OBJECTS], *handles[] = {&si.hStdInput, &si.hStdOutput, &si.hStdError};
    DWORD size, status = 250, type;
    int count = 0, typing = argc >= 8 && (strcmp(argv[4], "-") || strcmp(argv[5], "-"));
    check(argc >= 8, "usage: helper CWD NAME VALUE KEYS AHEAD OUT LINES");
    for (int i = 0; i < 3; ++i)
        SetHandleInformation(*handles[i] = GetStdHandle(STD_INPUT_HANDLE - i), HANDLE_FLAG_INHERIT,
                             HANDLE_FLAG_INHERIT);
    if (typing &&
        argc == 8) { /* Wine gives a program started so a console of its own, with no window */
        si.hStdInput = NULL;
        check(CreateProcessW(NULL, wcscat(wcscpy(again, GetCommandLineW()), L" console"), NULL,
                             NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &si, &pi),
              "no console");
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &status);
        return (int)status;
    }
    if (typing)
        si.hStdInput =
            CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &(SECURITY_ATTRIBUTES){sizeof(SECURITY_ATTRIBUTES), NULL, TRUE},
                        OPEN_EXISTING, 0, NULL);
    if (strcmp(argv[5], "-")) type_keys(si.hStdInput, argv[5]);
    if (!strcmp(argv[6], "none")) si.hStdInput = si.hStdOutput = NULL;
    if (!strcmp(argv[6], "closed")) {
        HANDLE reader;
        check(CreatePipe(&reader, &si.hStdOutput,
                         &(SECURITY_ATTRIBUTES){sizeof(SECURITY_ATTRIBUTES), NULL, TRUE}, 0),
              "no pipe");
        CloseHandle(reader);
    }
    for (FILE *in = fopen(TOOLS "values.txt", "r"); in && fgets(line, sizeof line, in);
         hex[0] = 0) {
        int set = sscanf(line, "%1s %255s %lu %s", scope, name, &type, hex) >= 3;
        MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 256);
        HKEY key = open_key(*scope);
        unhex(hex, bytes, &size);
        check(set ? !RegSetValueExW(key, wide, 0, type, bytes, size)
                  : (RegDeleteValueW(key, wide), TRUE),
              "no value set");
        RegCloseKey(key);
    }
    if (strcmp(argv[2], "-"))
        SetEnvironmentVariableW(wcsncpy(variable, (WCHAR *)unhex(argv[2], bytes, &size), 63),
                                (WCHAR *)unhex(argv[3], (BYTE *)line, &size));
    FILE *before = fopen(TOOLS "before.txt", "w");
    fputc('\n', before);
    list(before);
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, cwd, MAX_PATH);
    for (char *h = strtok(argv[7], ","); h && count < MAXIMUM_WAIT_OBJECTS;
         h = strtok(NULL, ","), runs[count++] = pi.hProcess)
        /* Under load Wine now and then fails a start with an internal error before
         * the program ran any of its code: such a start is tried again. */
        for (int attempt = 1;
             !CreateProcessW(L"" TOOLS "wayfold.exe", (WCHAR *)unhex(h, bytes, &size), NULL, NULL,
                             TRUE, 0, NULL, cwd, &si, &pi);
             ++attempt, Sleep(200))
            check(GetLastError() == ERROR_INTERNAL_ERROR && attempt < 5,
                  "cannot start the program");
    for (int waited = 300; WaitForMultipleObjects(count, runs, TRUE, 300) == WAIT_TIMEOUT;
         waited += 300) {
        for (int i = 0; waited > 20000 && i < count; ++i) TerminateProcess(runs[i], 124);
        if (waited >= 600 && strcmp(argv[4], "-")) type_keys(si.hStdInput, argv[4]);
    }
    FILE *after = fopen(TOOLS "after.txt", "w");
    for (int i = 0; i < count; ++i)
        GetExitCodeProcess(runs[i], &status), fprintf(after, "%lu ", status);
    fputc('\n', after);
    list(after);
    return 0;
}
