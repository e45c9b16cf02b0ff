#include "front/ExceptionReport.h"

#include "common/Console.h"
#include "common/RuntimeError.h"
#include "platform/Platform.h"

#include <cstdint>
#include <new>

namespace {

std::string ModuleName() {
    char path[260];
    os::u32 n = os::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name(path, n);
    size_t cut = name.find_last_of("\\/:");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

std::string AddressText(const void* address) {
    static const char digits[] = "0123456789ABCDEF";
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(address);
    std::string text(2 * sizeof value, '0');
    for (size_t i = text.size(); i-- > 0; value >>= 4) text[i] = digits[value & 15];
    return text;
}

}  // namespace

std::string FormatExceptionReport(std::exception_ptr error) {
    const char* className = "Exception";
    std::string message;
    const void* address = nullptr;
    try {
        std::rethrow_exception(error);
    } catch (const RuntimeError& e) {
        className = e.className;
        message = e.message;
        address = e.address;
    } catch (const std::bad_alloc&) {
        className = "EOutOfMemory";
        message = "Mémoire insuffisante";
    } catch (...) {
    }
    std::string report = "Exception " + std::string(className) + " dans le module " + ModuleName() +
                         " dans " + AddressText(address) + ".\r\n";
    if (!message.empty() && message.back() != '.') message += '.';
    return report + message + "\r\n";
}

void ReportUnhandledException(std::exception_ptr error) {
    const std::string oem = ConvertConsoleText(FormatExceptionReport(error)) + "\r\n";
    os::u32 written = 0;
    os::WriteFile(os::GetStdHandle(os::StdErrorHandle), oem.data(),
                  static_cast<os::u32>(oem.size()), &written);
}
