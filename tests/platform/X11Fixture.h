#pragma once
// Tests against a real X server: one private Xvfb for the test program, the
// application under test connected to it, and a second connection that
// plays the other programs on the same display (a screensaver host, a
// window manager, the user's input).
// Both before Xlib, whose None macro would garble them.
#include <gtest/gtest.h>

#include "platform/Platform.h"

#include <X11/Xlib.h>

#include <memory>

#include "CloseBox.h"
#include "XvfbServer.h"

namespace velora::testing {

inline constexpr int kScreenWidth = 640;
inline constexpr int kScreenHeight = 480;

class X11Test : public ::testing::Test {
protected:
    static XvfbServer& Server();

    void SetUp() override;
    void TearDown() override;

    // A mapped window of another program.
    ::Window ForeignWindow(int width, int height, unsigned long background = 0xFFFFFF);
    void SendKey(::Window target, unsigned long keysym);
    XWindowAttributes AttributesOf(::Window window);
    // Handles what the server has sent so far, and waits until it has
    // carried out what the application asked of it meanwhile.
    void Pump();
    // The pixel at (x, y) of a window, as 0xRRGGBB.
    unsigned long PixelAt(::Window window, int x, int y);

    std::unique_ptr<platform::Application> App;
    Display* Other = nullptr;
};

}  // namespace velora::testing
