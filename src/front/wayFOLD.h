// The command's one pass from command line to exit status.
#pragma once

#include <cstdint>

std::int32_t wayFOLD();
