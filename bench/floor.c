/* The start-up floor of bench/wine-startup.sh: a console program built like
   wayfold.exe, importing the same system DLLs, that makes one cheap call into
   each and exits. What wayfold.exe takes beyond it is the command's own work. */
#include <windows.h>

int main(void) {
    char text[] = "floor";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);        /* KERNEL32 */
    LSTATUS closed = RegCloseKey(NULL);                  /* ADVAPI32: refused, touches nothing */
    DWORD upper = CharUpperBuffA(text, sizeof text - 1); /* USER32 */
    return out != INVALID_HANDLE_VALUE && closed != ERROR_SUCCESS && upper == 5 ? 0 : 1;
}
