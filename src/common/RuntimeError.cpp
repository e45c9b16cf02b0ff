#include "common/RuntimeError.h"

void RaiseInOutError(int code, const std::string& text) {
    throw RuntimeError{"EInOutError", code,
                       text.empty() ? "Erreur d'E/S " + std::to_string(code) : text,
                       __builtin_return_address(0)};
}
