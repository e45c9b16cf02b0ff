// The few errors the runtime raises (the program has no exceptions of its
// own), and the report that ends the process when nothing catches one.
#pragma once

#include <exception>
#include <string>

struct RuntimeError {
    const char* className; // as the report names it, e.g. "EInOutError"
    int code;
    std::string message;
    const void* address;   // where it was raised
};

// Raises an input/output error; text empty gives "Erreur d'E/S <code>".
[[noreturn]] void RaiseInOutError(int code, const std::string& text = std::string());

// The report on standard error for an exception that ended the run:
// "Exception <class> dans le module <exe> dans <address>." and the message.
std::string FormatExceptionReport(std::exception_ptr error);
void ReportUnhandledException(std::exception_ptr error);
