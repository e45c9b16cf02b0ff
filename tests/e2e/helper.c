/* The end-to-end tests' hands inside Wine (run.py drives it from C:\e2e-tools,
 * where wayfold.exe lies too): helper CWD NAME VALUE OUT KEYS AHEAD LINES
 * deletes the Path and Path_wayFOLD_BACKUP values of the current user's (u)
 * and the all-users (m) Environment keys, sets those that values.txt lists
 * ("u|m NAME TYPE HEX" lines: stored as exactly these bytes), lists every
 * value of both keys in before.txt (same lines), then starts wayfold.exe once
 * for each UTF-16 command line of LINES (hex, comma-separated), all at once,
 * in the folder CWD, with the environment variable NAME set to VALUE (both
 * UTF-16 in hex; "-": none; "=C:" gives the current folder of C:), standard output this one's or
 * none (OUT "none"). With KEYS or AHEAD (not "-") standard input is a
 * console: AHEAD's records are written to it before the start, KEYS's over
 * and over once the run has had time to ask (a character: pressed and
 * released; ^c: released only; +c: pressed behind a Shift, in one write).
 * Last it writes "ACP LCID STATUS..." and the values again in after.txt.
 * Exits 250 when the helper itself fails. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define TOOLS "C:\\e2e-tools\\"

static void fail(const char *what) {
    fprintf(stderr, "helper: %s (error %lu)\n", what, GetLastError());
    exit(250);
}

static HKEY open_key(char scope) {
    HKEY key;
    if (RegCreateKeyExA(scope == 'm' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                        scope == 'm' ? "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
                                     : "Environment", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL))
        fail("cannot open a key");
    return key;
}

static BYTE *unhex(const char *hex, DWORD *size) {
    static BYTE bytes[1 << 17];
    for (*size = 0; hex[2 * *size] && sscanf(hex + 2 * *size, "%2hhx", &bytes[*size]) == 1; ++*size) {}
    bytes[*size] = bytes[*size + 1] = 0;
    return bytes;
}

static void list(FILE *out) {
    static BYTE data[1 << 20];
    for (const char *scope = "um"; *scope; ++scope) {
        HKEY key = open_key(*scope);
        WCHAR name[256]; /* the data as stored: the wide call does not convert texts */
        DWORD length = 256, type, size = sizeof data;
        for (DWORD i = 0; !RegEnumValueW(key, i, name, &length, NULL, &type, data, &size);
             ++i, length = 256, size = sizeof data) {
            fprintf(out, "%c %ls %lu ", *scope, name, type);
            for (DWORD b = 0; b < size; ++b) fprintf(out, "%02x", data[b]);
            fputc('\n', out);
        }
        RegCloseKey(key);
    }
    if (fclose(out)) fail("cannot write a list");
}

static void type_keys(HANDLE console, const char *keys) {
    for (; *keys; ++keys) {
        INPUT_RECORD r[2] = {{.EventType = KEY_EVENT}, {.EventType = KEY_EVENT}};
        int shifted = *keys == '+', up = *keys == '^', n = 0;
        keys += shifted || up;
        if (shifted) r[n++].Event.KeyEvent = (KEY_EVENT_RECORD){TRUE, 1, VK_SHIFT, 0, {0}, SHIFT_PRESSED};
        r[n].Event.KeyEvent = (KEY_EVENT_RECORD){!up, 1, VkKeyScanA(*keys) & 0xFF, 0, {.UnicodeChar = *keys}, 0};
        DWORD written;
        WriteConsoleInputW(console, r, n + 1, &written);
        if (!shifted && !up) { /* and released */
            r[0].Event.KeyEvent.bKeyDown = FALSE;
            WriteConsoleInputW(console, r, 1, &written);
        }
    }
}

int main(int argc, char **argv) {
    if (argc < 8) fail("usage: helper CWD NAME VALUE OUT KEYS AHEAD LINES");
    const char *keys = argv[5], *ahead = argv[6];
    STARTUPINFOW si = {.cb = sizeof si, .dwFlags = STARTF_USESTDHANDLES};
    PROCESS_INFORMATION pi;
    DWORD size, status = 250;
    HANDLE *handles[] = {&si.hStdInput, &si.hStdOutput, &si.hStdError};
    for (int i = 0; i < 3; ++i) {
        *handles[i] = i == 1 && !strcmp(argv[4], "none") ? NULL : GetStdHandle(STD_INPUT_HANDLE - i);
        SetHandleInformation(*handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    int typing = strcmp(keys, "-") || strcmp(ahead, "-");
    if (typing && argc == 8) { /* Wine gives a program started so a console of its own, with no window */
        static WCHAR again[32768];
        wcscat(wcscpy(again, GetCommandLineW()), L" console");
        si.hStdInput = NULL;
        if (!CreateProcessW(NULL, again, NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &si, &pi))
            fail("cannot start again with a console");
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &status);
        return (int)status;
    }
    if (typing) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
        si.hStdInput = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherit, OPEN_EXISTING, 0, NULL);
        if (si.hStdInput == INVALID_HANDLE_VALUE) fail("no console");
        if (strcmp(ahead, "-")) type_keys(si.hStdInput, ahead);
    }
    for (const char *scope = "um"; *scope; ++scope) {
        HKEY key = open_key(*scope);
        RegDeleteValueW(key, L"Path");
        RegDeleteValueW(key, L"Path_wayFOLD_BACKUP");
        RegCloseKey(key);
    }
    static char line[1 << 18], name[256], hex[1 << 18], scope[2];
    unsigned long type;
    FILE *in = fopen(TOOLS "values.txt", "r");
    while (in && fgets(line, sizeof line, in) && sscanf(line, "%1s %255s %lu %s", scope, name, &type, hex) >= 3) {
        HKEY key = open_key(*scope);
        WCHAR wide[256];
        MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 256);
        BYTE *data = unhex(hex, &size);
        if (RegSetValueExW(key, wide, 0, type, data, size)) fail("cannot set a value");
        RegCloseKey(key);
        hex[0] = 0;
    }
    if (in) fclose(in);
    if (strcmp(argv[2], "-")) {
        WCHAR variable[64];
        wcsncpy(variable, (WCHAR *)unhex(argv[2], &size), 63)[63] = 0;
        SetEnvironmentVariableW(variable, (WCHAR *)unhex(argv[3], &size));
    }
    list(fopen(TOOLS "before.txt", "w"));
    HANDLE runs[MAXIMUM_WAIT_OBJECTS];
    WCHAR cwd[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, cwd, MAX_PATH);
    int count = 0;
    for (char *hexline = strtok(argv[7], ","); hexline && count < MAXIMUM_WAIT_OBJECTS; hexline = strtok(NULL, ",")) {
        WCHAR *command = (WCHAR *)unhex(hexline, &size);
        /* Under load Wine now and then fails a start with an internal error before
         * the program ran any of its code: such a start is tried again. */
        for (int attempt = 1;
             !CreateProcessW(L"" TOOLS "wayfold.exe", command, NULL, NULL, TRUE, 0, NULL, cwd, &si, &pi);
             ++attempt, Sleep(200))
            if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 5) fail("cannot start the program");
        runs[count++] = pi.hProcess;
    }
    /* The keys, again and again once the run has had time to ask; a run that
     * does not end in 20 seconds is stopped. */
    for (int waited = 300; WaitForMultipleObjects(count, runs, TRUE, 300) == WAIT_TIMEOUT; waited += 300) {
        if (waited > 20000)
            for (int i = 0; i < count; ++i) TerminateProcess(runs[i], 124);
        if (waited >= 600 && strcmp(keys, "-")) type_keys(si.hStdInput, keys);
    }
    FILE *after = fopen(TOOLS "after.txt", "w");
    fprintf(after, "%u %lx", GetACP(), GetThreadLocale());
    for (int i = 0; i < count; ++i) {
        GetExitCodeProcess(runs[i], &status);
        fprintf(after, " %lu", status);
    }
    fputc('\n', after);
    list(after);
    return 0;
}
