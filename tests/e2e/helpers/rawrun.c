/* rawrun APPHEX LINEHEX [noout]
 * Starts the program APP with exactly the command line LINE (both hex, so
 * every byte 1..255 survives Wine's own argument quoting; LINEHEX may also
 * be @file), passing on this process's standard handles and console, and
 * exits with the child's status. With "noout" the child gets no standard
 * output handle at all. */
#define HELPER_NAME "rawrun"
#include "helper.h"

static void inheritable(HANDLE h) {
    /* Some handles refuse this; they are passed on all the same. */
    if (h && h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

int main(int argc, char **argv) {
    if (argc < 3 || argc > 4 || (argc == 4 && strcmp(argv[3], "noout"))) fail("usage: rawrun APPHEX LINEHEX [noout]");
    char *app = unhex(argv[1], NULL);
    char *line = hex_or_file(argv[2]);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = argc == 4 ? NULL : GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    inheritable(si.hStdInput);
    inheritable(si.hStdOutput);
    inheritable(si.hStdError);
    PROCESS_INFORMATION pi;
    start_child(app, line, &si, &pi);
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD status = HELPER_FAILED;
    GetExitCodeProcess(pi.hProcess, &status);
    return (int)status;
}
