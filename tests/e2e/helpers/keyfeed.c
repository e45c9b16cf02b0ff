/* keyfeed MODE APPHEX LINEHEX KEYSHEX
 * Runs APP with the raw command line LINE (hex, or @file) in this process's
 * console, its standard input being the console, and types KEYS into it one
 * at a time.
 * MODE "pipe": the child's standard output is ours (exact bytes).
 * MODE "screen": the child writes to the console; at the end the screen
 * rows, right-trimmed, are written to our standard output, CR LF after each.
 * Exits with the child's status, HELPER_FAILED on its own failure,
 * HELPER_TIMEOUT when the child had to be killed.
 *
 * The program under test flushes the console input before each read, so a
 * key written too early is lost. First a focus event goes in: once it is
 * gone, read or flushed, the child is at its reading loop. Each key (down
 * and up records, as a keyboard gives them) is then written only after the
 * previous one was taken and the child had time to come back to its read. */
#define HELPER_NAME "keyfeed"
#include "helper.h"

#define HELPER_TIMEOUT 251
#define SETTLE_MS 400
#define WAIT_MS 20000

static PROCESS_INFORMATION child;

static int child_ended(void) { return WaitForSingleObject(child.hProcess, 0) == WAIT_OBJECT_0; }

/* Waits until the input buffer is empty or the child ended; then lets the
 * child come back to its read. */
static void wait_taken(HANDLE in) {
    for (DWORD waited = 0; !child_ended(); waited += 20) {
        DWORD count = 1;
        if (!GetNumberOfConsoleInputEvents(in, &count)) fail("cannot count console input");
        if (count == 0) break;
        if (waited > WAIT_MS) return; /* left to the final wait */
        Sleep(20);
    }
    Sleep(SETTLE_MS);
}

static void type_key(HANDLE in, unsigned char c) {
    INPUT_RECORD r[2];
    memset(r, 0, sizeof r);
    WORD vk = 0;
    if (c >= 'a' && c <= 'z') vk = (WORD)(c - 'a' + 'A');
    else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') vk = c;
    else if (c == '\r') vk = VK_RETURN;
    else if (c == 27) vk = VK_ESCAPE;
    for (int i = 0; i < 2; ++i) {
        r[i].EventType = KEY_EVENT;
        r[i].Event.KeyEvent.bKeyDown = i == 0;
        r[i].Event.KeyEvent.wRepeatCount = 1;
        r[i].Event.KeyEvent.wVirtualKeyCode = vk;
        r[i].Event.KeyEvent.uChar.AsciiChar = (CHAR)c;
        r[i].Event.KeyEvent.dwControlKeyState = (c >= 'A' && c <= 'Z') ? SHIFT_PRESSED : 0;
    }
    DWORD written;
    if (!WriteConsoleInputA(in, r, 2, &written) || written != 2) fail("cannot write console input");
}

static void dump_screen(HANDLE out) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out, &info)) fail("cannot read the screen");
    static char row[1024];
    SHORT width = info.dwSize.X > 1024 ? 1024 : info.dwSize.X;
    SHORT last = info.dwCursorPosition.Y;
    for (SHORT y = 0; y <= last; ++y) {
        COORD at = {0, y};
        DWORD got = 0;
        if (!ReadConsoleOutputCharacterA(out, row, (DWORD)width, at, &got)) fail("cannot read a screen row");
        while (got > 0 && row[got - 1] == ' ') --got;
        put(GetStdHandle(STD_OUTPUT_HANDLE), row, got);
        put(GetStdHandle(STD_OUTPUT_HANDLE), "\r\n", 2);
    }
}

int main(int argc, char **argv) {
    if (argc != 5) fail("usage: keyfeed pipe|screen APPHEX LINEHEX KEYSHEX");
    int screen = !strcmp(argv[1], "screen");
    if (!screen && strcmp(argv[1], "pipe")) fail("mode is pipe or screen");
    char *app = unhex(argv[2], NULL);
    char *line = hex_or_file(argv[3]);
    DWORD key_count;
    char *keys = unhex(argv[4], &key_count);

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, NULL);
    HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, NULL);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE)
        fail("no console (standard input must be a terminal)");
    FlushConsoleInputBuffer(in);

    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = screen ? out : GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    SetHandleInformation(si.hStdOutput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SetHandleInformation(si.hStdError, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    start_child(app, line, &si, &child);
    CloseHandle(child.hThread);

    INPUT_RECORD focus;
    memset(&focus, 0, sizeof focus);
    focus.EventType = FOCUS_EVENT;
    focus.Event.FocusEvent.bSetFocus = TRUE;
    DWORD written;
    if (!WriteConsoleInputA(in, &focus, 1, &written)) fail("cannot write console input");
    wait_taken(in);
    for (DWORD i = 0; i < key_count && !child_ended(); ++i) {
        type_key(in, (unsigned char)keys[i]);
        wait_taken(in);
    }

    DWORD status = HELPER_TIMEOUT;
    if (WaitForSingleObject(child.hProcess, WAIT_MS) == WAIT_OBJECT_0)
        GetExitCodeProcess(child.hProcess, &status);
    else
        TerminateProcess(child.hProcess, HELPER_TIMEOUT);
    if (screen) dump_screen(out);
    return (int)status;
}
