#pragma once

#include "harness/Image.h"

namespace itest {

// Where the program's windows belong on the 1024x768 test screen, which has no
// window manager: the work area is the whole screen.
inline const Rect kScreen{0, 0, 1024, 768};
inline const Rect kTestWindow{100, 100, 1024 - 200, 768 - 200};
inline const Rect kSmallWindow{(1024 - 180) / 2, (768 - 160) / 2, 180, 160};
inline const Rect kDialog{(1024 - 400) / 2, (768 - 350) / 2, 400, 350};

}  // namespace itest
