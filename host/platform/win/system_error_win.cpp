// system_error_win.cpp - the system's own words for a Windows error code (FormatMessageA).
#include "system_error_win.h"

#include "windows_api.h"

namespace host::platform {

std::string windowsErrorText(unsigned long code) {
    char *text = nullptr;
    DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string message = n != 0 && text != nullptr ? std::string(text, n) : std::string();
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "Windows error " + std::to_string(code) : message;
}

} // namespace host::platform
