// Entry point of wayfold.exe.
#include "front/ProgramState.h"
#include "front/wayFOLD.h"

#include <cstdlib>

// The library's default terminate handler demangles names for its message
// and drags a demangler into the executable; this command never needs it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
} // namespace __gnu_cxx

int main() {
    const int status = wayFOLD();
    ReleaseGlobals();
    return status;
}
