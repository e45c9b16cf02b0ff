/* The end-to-end tests' hands inside Wine (run.py drives it). Its commands,
 * carried out in turn, with u and m for the current user's and the all-users
 * Environment keys:
 *   set u|m NAME TYPE HEX   the value, stored as exactly these bytes
 *   del u|m NAME
 *   list FILE               every value of both keys: "u|m NAME TYPE HEX" lines
 *   run CWD ENV OUT LINE    wayfold.exe beside this helper, started with the
 *                           UTF-16 command line LINE (hex) in the folder CWD,
 *                           with the environment entry ENV added ("-": none),
 *                           standard output this one's or none (OUT "none")
 * Exits with the program's status; 250 when the helper itself fails. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const WCHAR *KEYS[] = {L"Environment",
                              L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"};

static void fail(const char *what) {
    fprintf(stderr, "helper: %s (error %lu)\n", what, GetLastError());
    exit(250);
}

static HKEY open_key(const char *which) {
    HKEY key;
    int m = which[0] == 'm';
    if (RegCreateKeyExW(m ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, KEYS[m], 0, NULL, 0,
                        KEY_READ | KEY_WRITE, NULL, &key, NULL))
        fail("cannot open a key");
    return key;
}

static BYTE *unhex(const char *hex, DWORD *size) {
    *size = (DWORD)strlen(hex) / 2;
    BYTE *bytes = malloc(*size + 2);
    for (DWORD i = 0; i < *size; ++i) sscanf(hex + 2 * i, "%2hhx", &bytes[i]);
    bytes[*size] = bytes[*size + 1] = 0;
    return bytes;
}

static WCHAR *wide(const char *text) {
    static WCHAR name[256];
    MultiByteToWideChar(CP_ACP, 0, text, -1, name, 256);
    return name;
}

static void list(const char *file) {
    FILE *out = fopen(file, "w");
    if (!out) fail("cannot write the list");
    for (int m = 0; m < 2; ++m) {
        HKEY key = open_key(m ? "m" : "u");
        static BYTE data[1 << 20];
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = sizeof name, type, size = sizeof data;
            if (RegEnumValueA(key, i, name, &nameSize, NULL, &type, NULL, NULL)) break;
            WCHAR *w = wide(name);
            if (RegQueryValueExW(key, w, NULL, &type, data, &size)) fail("cannot read a value");
            fprintf(out, "%c %s %lu ", m ? 'm' : 'u', name, type);
            for (DWORD b = 0; b < size; ++b) fprintf(out, "%02x", data[b]);
            fputc('\n', out);
        }
        RegCloseKey(key);
    }
    fclose(out);
}

static DWORD run(char **arg) {
    DWORD size;
    WCHAR *line = (WCHAR *)unhex(arg[3], &size), *env = NULL, exe[MAX_PATH];
    GetModuleFileNameW(NULL, exe, MAX_PATH);
    wcscpy(wcsrchr(exe, L'\\') + 1, L"wayfold.exe");
    if (strcmp(arg[1], "-")) { /* this one entry, then ours */
        WCHAR *ours = GetEnvironmentStringsW(), *end = ours;
        while (*end) end += wcslen(end) + 1;
        size_t first = strlen(arg[1]) + 1;
        env = calloc(first + (end - ours) + 1, sizeof(WCHAR));
        MultiByteToWideChar(CP_ACP, 0, arg[1], -1, env, (int)first);
        memcpy(env + first, ours, (end - ours) * sizeof(WCHAR));
    }
    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = strcmp(arg[2], "none") ? GetStdHandle(STD_OUTPUT_HANDLE) : NULL;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    SetHandleInformation(si.hStdInput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SetHandleInformation(si.hStdOutput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SetHandleInformation(si.hStdError, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(exe, line, NULL, NULL, TRUE, CREATE_UNICODE_ENVIRONMENT, env,
                        wide(arg[0]), &si, &pi))
        fail("cannot start the program");
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD status = 250;
    GetExitCodeProcess(pi.hProcess, &status);
    return status;
}

int main(int argc, char **argv) {
    DWORD status = 0, size;
    for (int i = 1; i < argc;) {
        const char *command = argv[i++];
        if (!strcmp(command, "set") && i + 4 <= argc) {
            HKEY key = open_key(argv[i]);
            BYTE *data = unhex(argv[i + 3], &size);
            if (RegSetValueExW(key, wide(argv[i + 1]), 0, atoi(argv[i + 2]), data, size))
                fail("cannot set a value");
            RegCloseKey(key);
            i += 4;
        } else if (!strcmp(command, "del") && i + 2 <= argc) {
            HKEY key = open_key(argv[i]);
            RegDeleteValueW(key, wide(argv[i + 1]));
            RegCloseKey(key);
            i += 2;
        } else if (!strcmp(command, "list") && i < argc) {
            list(argv[i++]);
        } else if (!strcmp(command, "run") && i + 4 <= argc) {
            status = run(argv + i);
            i += 4;
        } else {
            SetLastError(0);
            fail("bad command");
        }
    }
    return (int)status;
}
