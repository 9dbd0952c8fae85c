#pragma once
// Opaque handles of the window system, as the portable core sees them.
// Each platform maps its own objects onto these integers (an X11 window id,
// a Win32 HWND, a pointer to the platform's binding record); zero means none.
#include <cstdint>

namespace velora {

using WindowHandle = std::uintptr_t;
using DeviceContext = std::uintptr_t;
using RenderingContext = std::uintptr_t;

struct Rect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};

}  // namespace velora
