/* Shared bits of the test helpers: hex arguments, plain output, failing.
 * Only kernel32 is used, so that running a helper never wakes Wine's
 * desktop process (which would keep the test's pipes open). */
#pragma once
#include <windows.h>
#include <string.h>

/* A helper's own failure, told apart from any status of the program run. */
#define HELPER_FAILED 250

static inline void put(HANDLE h, const char *text, DWORD size) {
    DWORD done;
    WriteFile(h, text, size, &done, NULL);
}

static inline void puts_out(const char *text) { put(GetStdHandle(STD_OUTPUT_HANDLE), text, (DWORD)strlen(text)); }

__attribute__((noreturn)) static inline void fail(const char *what) {
    DWORD error = GetLastError();
    char digits[12], *d = digits + sizeof digits;
    *--d = '\0';
    do *--d = (char)('0' + error % 10); while (error /= 10);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    put(err, HELPER_NAME ": ", (DWORD)strlen(HELPER_NAME) + 2);
    put(err, what, (DWORD)strlen(what));
    put(err, " (error ", 8);
    put(err, d, (DWORD)strlen(d));
    put(err, ")\r\n", 3);
    ExitProcess(HELPER_FAILED);
}

static inline int nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/* Decodes hex in place, NUL-terminated; *size gets the byte count. */
static inline char *unhex(char *text, DWORD *size) {
    size_t n = strlen(text);
    if (n % 2) fail("odd hex length");
    for (size_t i = 0; i < n / 2; ++i) {
        int hi = nibble(text[2 * i]), lo = nibble(text[2 * i + 1]);
        if (hi < 0 || lo < 0) fail("bad hex digit");
        text[i] = (char)(hi * 16 + lo);
    }
    text[n / 2] = '\0';
    if (size) *size = (DWORD)(n / 2);
    return text;
}

/* A command-line argument that is hex, or "@" and the Windows path of a
 * file holding the bytes: a long line in hex would pass the 32,767-character
 * limit of the helper's own command line. */
static inline char *hex_or_file(char *arg) {
    if (arg[0] != '@') return unhex(arg, NULL);
    HANDLE f = CreateFileA(arg + 1, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (f == INVALID_HANDLE_VALUE) fail("cannot open the argument file");
    DWORD size = GetFileSize(f, NULL), got = 0;
    char *bytes = HeapAlloc(GetProcessHeap(), 0, size + 1);
    if (!bytes || !ReadFile(f, bytes, size, &got, NULL) || got != size) fail("cannot read the argument file");
    CloseHandle(f);
    bytes[size] = '\0';
    return bytes;
}

/* Writes bytes as lower-case hex to standard output. */
static inline void put_hex(const unsigned char *data, DWORD size) {
    static const char digits[] = "0123456789abcdef";
    char chunk[256];
    DWORD used = 0;
    for (DWORD i = 0; i < size; ++i) {
        chunk[used++] = digits[data[i] >> 4];
        chunk[used++] = digits[data[i] & 15];
        if (used == sizeof chunk) {
            put(GetStdHandle(STD_OUTPUT_HANDLE), chunk, used);
            used = 0;
        }
    }
    put(GetStdHandle(STD_OUTPUT_HANDLE), chunk, used);
}

static inline void put_number(unsigned long value) {
    char digits[12], *d = digits + sizeof digits;
    *--d = '\0';
    do *--d = (char)('0' + value % 10); while (value /= 10);
    puts_out(d);
}

/* CreateProcessA with the handles inherited. Under load Wine now and then
 * fails a start with ERROR_INTERNAL_ERROR before the child ran any of its
 * code; such a start is tried again. */
static inline void start_child(char *app, char *line, STARTUPINFOA *si, PROCESS_INFORMATION *pi) {
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(app, line, NULL, NULL, TRUE, 0, NULL, NULL, si, pi)) return;
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 5) fail("cannot start the program");
        Sleep(200);
    }
}
