/* regtool COMMAND ARGS [COMMAND ARGS ...]
 * Registry values byte for byte, several commands per run to save Wine
 * start-ups. Keys ("HKCU\Environment", "HKLM\SYSTEM\...") and value names
 * are hex; one answer line per command:
 *   get KEY NAME          "<type> <hex>" as RegQueryValueExA gives it
 *                         (strings in the ANSI code page), MISSING or NOKEY
 *   getw KEY NAME         the same through RegQueryValueExW: the bytes
 *                         exactly as stored (UTF-16 for strings)
 *   set KEY NAME TYPE HEX RegSetValueExA (creates the key): OK or ERROR <n>
 *   setw KEY NAME TYPE HEX the stored bytes as given, through the W call
 *   del KEY NAME          OK or MISSING
 *   mkkey KEY             OK or ERROR <n>
 *   rmkey KEY             the key and its sub-keys: OK or MISSING
 *   list KEY              one "<namehex> <type> <hex>" line per value (A
 *                         calls), then END; or NOKEY */
#define HELPER_NAME "regtool"
#include "helper.h"

#define MAX_DATA (1 << 20)
static unsigned char data[MAX_DATA];

static HKEY root_of(char **path) {
    static const struct { const char *name; HKEY key; } roots[] = {
        {"HKCU", HKEY_CURRENT_USER}, {"HKLM", HKEY_LOCAL_MACHINE}, {"HKU", HKEY_USERS},
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}};
    for (size_t i = 0; i < sizeof roots / sizeof roots[0]; ++i) {
        size_t n = strlen(roots[i].name);
        if (_strnicmp(*path, roots[i].name, n) == 0 && ((*path)[n] == '\\' || (*path)[n] == '\0')) {
            *path += (*path)[n] ? n + 1 : n;
            return roots[i].key;
        }
    }
    fail("unknown root key");
}

static void answer(const char *word, long code, int with_code) {
    puts_out(word);
    if (with_code) {
        puts_out(" ");
        put_number((unsigned long)code);
    }
    puts_out("\n");
}

static void put_value(DWORD type, DWORD size) {
    put_number(type);
    puts_out(" ");
    put_hex(data, size);
    puts_out("\n");
}

static void get(char *path, const char *name, int wide) {
    HKEY root = root_of(&path), key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        answer("NOKEY", 0, 0);
        return;
    }
    DWORD type = 0, size = MAX_DATA;
    LONG status;
    if (wide) {
        WCHAR wname[1024];
        int n = MultiByteToWideChar(CP_ACP, 0, name, -1, wname, 1024);
        if (n == 0) fail("value name too long");
        status = RegQueryValueExW(key, wname, NULL, &type, data, &size);
    } else {
        status = RegQueryValueExA(key, name, NULL, &type, data, &size);
    }
    RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND)
        answer("MISSING", 0, 0);
    else if (status != ERROR_SUCCESS)
        answer("ERROR", status, 1);
    else
        put_value(type, size);
}

static void set(char *path, const char *name, DWORD type, const unsigned char *bytes, DWORD size, int wide) {
    HKEY root = root_of(&path), key;
    LONG status = RegCreateKeyExA(root, path, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL);
    if (status == ERROR_SUCCESS) {
        if (wide) {
            WCHAR wname[1024];
            if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wname, 1024)) fail("value name too long");
            status = RegSetValueExW(key, wname, 0, type, bytes, size);
        } else {
            status = RegSetValueExA(key, name, 0, type, bytes, size);
        }
        RegCloseKey(key);
    }
    if (status == ERROR_SUCCESS)
        answer("OK", 0, 0);
    else
        answer("ERROR", status, 1);
}

static void del(char *path, const char *name) {
    HKEY root = root_of(&path), key;
    LONG status = RegOpenKeyExA(root, path, 0, KEY_WRITE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    answer(status == ERROR_SUCCESS ? "OK" : "MISSING", 0, 0);
}

static void mkkey(char *path) {
    HKEY root = root_of(&path), key;
    LONG status = RegCreateKeyExA(root, path, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    answer(status == ERROR_SUCCESS ? "OK" : "ERROR", status, status != ERROR_SUCCESS);
}

static void rmkey(char *path) {
    HKEY root = root_of(&path);
    LONG status = RegDeleteTreeA(root, path); /* the key itself goes too */
    answer(status == ERROR_SUCCESS ? "OK" : "MISSING", 0, 0);
}

static void list(char *path) {
    HKEY root = root_of(&path), key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        answer("NOKEY", 0, 0);
        return;
    }
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD name_size = sizeof name, type = 0, size = MAX_DATA;
        LONG status = RegEnumValueA(key, i, name, &name_size, NULL, &type, data, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) fail("cannot enumerate values");
        put_hex((const unsigned char *)name, name_size);
        puts_out(" ");
        put_value(type, size);
    }
    RegCloseKey(key);
    answer("END", 0, 0);
}

int main(int argc, char **argv) {
    int i = 1;
    while (i < argc) {
        const char *command = argv[i];
        int left = argc - i - 1;
        if (!strcmp(command, "get") && left >= 2) {
            get(unhex(argv[i + 1], NULL), unhex(argv[i + 2], NULL), 0);
            i += 3;
        } else if (!strcmp(command, "getw") && left >= 2) {
            get(unhex(argv[i + 1], NULL), unhex(argv[i + 2], NULL), 1);
            i += 3;
        } else if ((!strcmp(command, "set") || !strcmp(command, "setw")) && left >= 4) {
            DWORD size;
            char *bytes = unhex(argv[i + 4], &size);
            set(unhex(argv[i + 1], NULL), unhex(argv[i + 2], NULL), strtoul(argv[i + 3], NULL, 10),
                (const unsigned char *)bytes, size, command[3] == 'w');
            i += 5;
        } else if (!strcmp(command, "del") && left >= 2) {
            del(unhex(argv[i + 1], NULL), unhex(argv[i + 2], NULL));
            i += 3;
        } else if (!strcmp(command, "mkkey") && left >= 1) {
            mkkey(unhex(argv[i + 1], NULL));
            i += 2;
        } else if (!strcmp(command, "rmkey") && left >= 1) {
            rmkey(unhex(argv[i + 1], NULL));
            i += 2;
        } else if (!strcmp(command, "list") && left >= 1) {
            list(unhex(argv[i + 1], NULL));
            i += 2;
        } else {
            fail("bad command or missing arguments");
        }
    }
    return 0;
}
