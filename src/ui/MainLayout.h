#pragma once
// The main form's three layouts and where each puts the window.
#include "base/Handles.h"
#include "shell/ScreenSaveMisc.h"

namespace velora {

enum class MainLayout { FullScreen, Small, Sizeable };

// The form description's minimum outer size, and the small window's size.
inline constexpr int kFormMinWidth = 400;
inline constexpr int kFormMinHeight = 300;
inline constexpr int kSmallWidth = 180;
inline constexpr int kSmallHeight = 160;
// How far the sizeable test window lies inside the work area on each side.
inline constexpr int kTestWindowInset = 100;

// The saver switch gives the full screen; exactly one argument, "-pdebug"
// (letter case included), the small window; anything else the test window.
MainLayout ChooseLayout(const Arguments& args);

struct MainPlacement {
    Rect Client;  // root coordinates
    int MinWidth = 0;
    int MinHeight = 0;
    bool SmallMode = false;
};

MainPlacement PlaceMainForm(MainLayout layout, const Rect& virtualScreen, const Rect& workArea);

}  // namespace velora
