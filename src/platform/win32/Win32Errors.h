#pragma once
// Windows' error codes in the user's words, and failed system calls turned
// into EOSError.
#include <windows.h>

#include <string>

namespace velora::platform::win32 {

// The system's description of an error code, without the trailing line break.
std::string SystemErrorText(DWORD code);

// Raises EOSError with the calling thread's last error code.
[[noreturn]] void RaiseLastOSError();

}  // namespace velora::platform::win32
