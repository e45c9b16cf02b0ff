/* The end-to-end tests' hands inside Wine (run.py drives it from C:\e2e-tools,
 * where wayfold.exe lies too): helper CWD NAME VALUE OUT LINE
 * deletes the Path and Path_wayFOLD_BACKUP values of the current user's (u)
 * and the all-users (m) Environment keys, sets those that values.txt lists
 * ("u|m NAME TYPE HEX" lines: stored as exactly these bytes), lists every
 * value of both keys in before.txt (same lines), starts wayfold.exe with the
 * UTF-16 command line LINE (hex) in the folder CWD, the environment variable
 * NAME set to VALUE ("-": none; "=C:" gives the current folder of C:),
 * standard output this one's or none (OUT "none"), then lists the values
 * again in after.txt. Exits with the program's status; 250 when the helper
 * itself fails. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#define TOOLS "C:\\e2e-tools\\"

static void fail(const char *what) {
    fprintf(stderr, "helper: %s (error %lu)\n", what, GetLastError());
    exit(250);
}

static HKEY open_key(const char *scope) {
    HKEY key;
    if (RegCreateKeyExA(*scope == 'm' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                        *scope == 'm' ? "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
                                      : "Environment", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL))
        fail("cannot open a key");
    return key;
}

static WCHAR *wide(const char *text) { /* from the ANSI code page */
    static WCHAR buffer[32768];
    MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, 32768);
    return buffer;
}

static BYTE *unhex(const char *hex, DWORD *size) {
    static BYTE bytes[1 << 17];
    for (*size = 0; hex[2 * *size] && sscanf(hex + 2 * *size, "%2hhx", &bytes[*size]) == 1; ++*size) {}
    bytes[*size] = bytes[*size + 1] = 0;
    return bytes;
}

static void set_values(void) {
    static char line[1 << 18], name[256], hex[1 << 18], scope[2];
    FILE *in = fopen(TOOLS "values.txt", "r");
    unsigned long type;
    DWORD size;
    while (in && fgets(line, sizeof line, in) &&
           sscanf(line, "%1s %255s %lu %s", scope, name, &type, hex) >= 3) {
        HKEY key = open_key(scope);
        BYTE *data = unhex(hex, &size);
        if (RegSetValueExW(key, wide(name), 0, type, data, size)) fail("cannot set a value");
        RegCloseKey(key);
        hex[0] = 0;
    }
    if (in) fclose(in);
}

static void list(const char *file) {
    static BYTE data[1 << 20];
    FILE *out = fopen(file, "w");
    for (const char *scope = "um"; *scope && out; ++scope) {
        HKEY key = open_key(scope);
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
    if (!out || fclose(out)) fail("cannot write the list");
}

int main(int argc, char **argv) {
    if (argc != 6) fail("usage: helper CWD NAME VALUE OUT LINE");
    for (const char *scope = "um"; *scope; ++scope) {
        HKEY key = open_key(scope);
        RegDeleteValueW(key, L"Path");
        RegDeleteValueW(key, L"Path_wayFOLD_BACKUP");
        RegCloseKey(key);
    }
    set_values();
    STARTUPINFOW si = {.cb = sizeof si, .dwFlags = STARTF_USESTDHANDLES};
    HANDLE *handles[] = {&si.hStdInput, &si.hStdOutput, &si.hStdError};
    for (int i = 0; i < 3; ++i) {
        *handles[i] = i == 1 && !strcmp(argv[4], "none") ? NULL : GetStdHandle(STD_INPUT_HANDLE - i);
        SetHandleInformation(*handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    if (strcmp(argv[2], "-")) SetEnvironmentVariableA(argv[2], argv[3]);
    PROCESS_INFORMATION pi;
    DWORD size, status = 250;
    list(TOOLS "before.txt");
    WCHAR *line = (WCHAR *)unhex(argv[5], &size);
    /* Under load Wine now and then fails a start with an internal error before
     * the program ran any of its code: such a start is tried again. */
    for (int attempt = 1;
         !CreateProcessW(L"" TOOLS "wayfold.exe", line, NULL, NULL, TRUE, 0, NULL, wide(argv[1]), &si, &pi);
         ++attempt, Sleep(200))
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 5) fail("cannot start the program");
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &status);
    list(TOOLS "after.txt");
    return (int)status;
}
