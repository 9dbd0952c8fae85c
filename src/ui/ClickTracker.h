#pragma once
// A click as forms count it: the left button goes down in the window and
// comes up again inside its client area.
#include "base/Handles.h"
#include "platform/Platform.h"

namespace velora {

class ClickTracker {
public:
    // Feeds one dispatched message; true when it completes a click.
    bool Feed(const platform::Message& msg, const Rect& client) {
        if (msg.message == platform::kWmLButtonDown) {
            FPressed = true;
        } else if (msg.message == platform::kWmLButtonUp) {
            const bool pressed = FPressed;
            FPressed = false;
            const int x = platform::PointX(msg.lParam);
            const int y = platform::PointY(msg.lParam);
            return pressed && x >= client.Left && x < client.Right && y >= client.Top && y < client.Bottom;
        }
        return false;
    }

private:
    bool FPressed = false;
};

}  // namespace velora
