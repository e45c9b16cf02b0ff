// Entry point of wayfold.exe.
#include "common/ProgramState.h"
#include "front/wayFOLD.h"

#include <cstddef>

// The link points the runtime's one call of its demangler here instead
// (-Wl,--defsym in CMakeLists.txt): "no name", so that a report of an exception
// that escapes everything shows the name as compiled.
extern "C" char* wayFOLDNoDemangle(const char*, char*, std::size_t*, int* status) {
    constexpr int kInvalidName = -2;
    if (status) *status = kInvalidName;
    return nullptr;
}

int main() {
    const int status = wayFOLD();
    ReleaseGlobals();
    return status;
}
