// The report that ends the process when nothing caught an exception.
#pragma once

#include <exception>
#include <string>

// "Exception <class> dans le module <exe> dans <address>." and the message.
std::string FormatExceptionReport(std::exception_ptr error);
// The report on standard error, in the console's code page.
void ReportUnhandledException(std::exception_ptr error);
