#include "platform/win32/Win32Errors.h"

#include "base/Errors.h"

namespace velora::platform::win32 {

std::string SystemErrorText(DWORD code) {
    char* buffer = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text(buffer != nullptr ? buffer : "", length);
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
    return text;
}

void RaiseLastOSError() {
    const DWORD code = GetLastError();
    throw EOSError(static_cast<int>(code), code == 0 ? std::string() : SystemErrorText(code));
}

}  // namespace velora::platform::win32
