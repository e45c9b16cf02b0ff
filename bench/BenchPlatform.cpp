// The seam's calls the list operations reach, natively, for the benchmark
// only: a Western code page (no lead bytes), ASCII upper-casing, no console.
#include "platform/Platform.h"

#include <cctype>

namespace os {

u32 CharUpperBuffA(char* text, u32 length) {
    for (u32 i = 0; i < length; ++i) text[i] = static_cast<char>(std::toupper(text[i]));
    return length;
}

bool CharToOemBuffA(const char* source, char* target, u32 length) {
    for (u32 i = 0; i < length; ++i) target[i] = source[i];
    return true;
}

bool GetCPInfo(u32, CpInfo* info) {
    *info = CpInfo{1, {0}};
    return true;
}

u32 GetFileAttributesA(const char*) { return InvalidFileAttributes; }
Handle GetStdHandle(u32) { return 0; }
u32 GetFileType(Handle) { return FileTypeDisk; }
bool WriteFile(Handle, const void*, u32 size, u32* written) {
    *written = size;
    return true;
}
bool FlushConsoleInputBuffer(Handle) { return false; }
bool ReadConsoleInputA(Handle, InputRecord*, u32, u32*) { return false; }
u32 GetLastError() { return 0; }

}  // namespace os
