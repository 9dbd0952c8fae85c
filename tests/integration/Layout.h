#pragma once

#include <cstdio>
#include <string>

#include "harness/Image.h"

namespace velora::testing {

// Where the program's windows belong on the 1024x768 test screen, which has no
// window manager: the work area is the whole screen.
inline const Rect kScreen{0, 0, 1024, 768};
inline const Rect kTestWindow{100, 100, 1024 - 200, 768 - 200};
inline const Rect kSmallWindow{(1024 - 180) / 2, (768 - 160) / 2, 180, 160};
inline const Rect kDialog{(1024 - 400) / 2, (768 - 350) / 2, 400, 350};
// Where the tests put a stand-in host's window for a preview or a saver.
inline const Rect kHost{200, 150, 400, 300};

// A window id as a command line gives it.
inline std::string Decimal(unsigned long window) { return std::to_string(window); }
inline std::string Hex(unsigned long window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lX", window);
    return text;
}

}  // namespace velora::testing
