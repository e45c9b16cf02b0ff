// The few errors the runtime raises: the program has no exceptions of its own.
#pragma once

#include <string>

struct RuntimeError {
    const char* className;  // as the report names it, e.g. "EInOutError"
    int code;
    std::string message;
    const void* address;  // where it was raised
};

// Raises an input/output error; text empty gives "Erreur d'E/S <code>".
[[noreturn]] void RaiseInOutError(int code, const std::string& text = std::string());
