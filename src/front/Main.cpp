// Entry point of wayfold.exe.
#include "common/ProgramState.h"
#include "front/wayFOLD.h"

#include <cstddef>

// The runtime's report of an exception that escapes everything (which the
// driver never lets happen) demangles the type's name, and would bring the
// whole demangler into the executable. The link points its one call here
// instead (-Wl,--defsym): "no name", so the report shows the name as compiled.
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
