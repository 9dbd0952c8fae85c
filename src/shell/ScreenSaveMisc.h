#pragma once
// The screensaver command-line tests: which job the host asks for.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Handles.h"

namespace velora {

// The process's arguments; element 0 is the program itself.
using Arguments = std::vector<std::string>;

// Splits a single-byte command line the way the Windows runtime does:
// characters up to code 32 separate arguments, double quotes open and close
// quoted stretches and are dropped, an empty pair makes no argument.
Arguments SplitCommandLine(std::string_view commandLine);

// Converts a preview handle text to a signed 32-bit integer: leading blanks,
// one optional sign, decimal digits or hex digits after "$", "x" or "0x"
// (either case), nothing after the digits. Empty when the text is no number.
std::optional<std::int32_t> ParseHandleNumber(std::string_view text);

// Answers whether a number names an existing window.
using WindowExists = std::function<bool(WindowHandle)>;

bool IsConfigMode(const Arguments& args);
bool IsPreviewMode(const Arguments& args, const WindowExists& isWindow, WindowHandle& wnd);
bool IsSaverMode(const Arguments& args);

}  // namespace velora
