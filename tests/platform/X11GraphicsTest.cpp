#include <chrono>
#include <thread>

#include "X11Fixture.h"

#include <X11/Xutil.h>
#include "base/Errors.h"
#include "engine/VeloraCore.h"

namespace velora::testing {
namespace {

using namespace platform;

bool AnyColouredPixel(XImage* image) {
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            if ((XGetPixel(image, x, y) & 0xFFFFFF) != 0) return true;
    return false;
}

class X11Graphics : public X11Test {
protected:
    // Draws a few frames, then tells whether the window shows anything but black.
    bool FramesShow(TVeloraEngine& engine, ::Window window) {
        for (int frame = 0; frame < 20; ++frame) {
            engine.RenderFrame();
            App->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        Pump();
        const XWindowAttributes attributes = AttributesOf(window);
        XImage* image = XGetImage(Other, window, 0, 0, static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        if (image == nullptr) return false;
        const bool coloured = AnyColouredPixel(image);
        XDestroyImage(image);
        return coloured;
    }
};

WindowSpec Popup(Rect bounds) {
    WindowSpec request;
    request.Kind = WindowKind::Popup;
    request.Bounds = bounds;
    return request;
}

TEST_F(X11Graphics, TheOpenGlLibraryIsLoadedByNameWithAllSixteenEntryPoints) {
    GlApi gl;
    ASSERT_TRUE(App->Graphics().InitOpenGL("libGL.so.1", "libGLU.so.1", gl));
    const void* entries[] = {
        reinterpret_cast<const void*>(gl.BlendFunc),  reinterpret_cast<const void*>(gl.Enable),
        reinterpret_cast<const void*>(gl.Disable),    reinterpret_cast<const void*>(gl.Hint),
        reinterpret_cast<const void*>(gl.ClearColor), reinterpret_cast<const void*>(gl.Viewport),
        reinterpret_cast<const void*>(gl.MatrixMode), reinterpret_cast<const void*>(gl.LoadIdentity),
        reinterpret_cast<const void*>(gl.Ortho),      reinterpret_cast<const void*>(gl.LineWidth),
        reinterpret_cast<const void*>(gl.Color4f),    reinterpret_cast<const void*>(gl.Begin),
        reinterpret_cast<const void*>(gl.Vertex3f),   reinterpret_cast<const void*>(gl.End),
        reinterpret_cast<const void*>(gl.Clear),      reinterpret_cast<const void*>(gl.Flush)};
    for (const void* entry : entries) EXPECT_NE(entry, nullptr);
    // A missing GLU library is no failure.
    GlApi again;
    EXPECT_TRUE(App->Graphics().InitOpenGL("libGL.so.1", "libvelora-missing-glu.so.1", again));
}

TEST_F(X11Graphics, AMissingOpenGlLibraryIsReportedAndLeavesTheTableAlone) {
    GlApi gl;
    EXPECT_FALSE(App->Graphics().InitOpenGL("libvelora-missing-gl.so.1", "libGLU.so.1", gl));
    EXPECT_EQ(gl.Clear, nullptr);
    // A library without the entry points is no OpenGL library either.
    EXPECT_FALSE(App->Graphics().InitOpenGL("libm.so.6", nullptr, gl));
    EXPECT_EQ(gl.Clear, nullptr);
}

TEST_F(X11Graphics, ADeviceContextNeedsAnExistingWindow) {
    GraphicsBinding& graphics = App->Graphics();
    EXPECT_EQ(graphics.GetDC(0x1234567), 0u);
    auto window = App->OpenWindow(Popup(Rect{0, 0, 64, 48}), nullptr);
    const DeviceContext dc = graphics.GetDC(window->Handle());
    EXPECT_NE(dc, 0u);
    graphics.ReleaseDC(window->Handle(), dc);
}

TEST_F(X11Graphics, AContextIsCreatedAndMadeCurrentOnARealWindow) {
    GraphicsBinding& graphics = App->Graphics();
    auto window = App->OpenWindow(Popup(Rect{0, 0, 64, 48}), nullptr);
    window->Show();
    GlApi gl;
    ASSERT_TRUE(graphics.InitOpenGL("libGL.so.1", "libGLU.so.1", gl));
    const DeviceContext dc = graphics.GetDC(window->Handle());
    const RenderingContext rc =
        graphics.CreateRenderingContext(dc, ContextRequest{ContextOption::DoubleBuffered, 32, 24});
    ASSERT_NE(rc, 0u);
    graphics.MakeCurrent(dc, rc);
    gl.ClearColor(0, 0, 1, 0);
    gl.Clear(GL_COLOR_BUFFER_BIT);
    gl.Flush();
    graphics.SwapBuffers(dc);
    Pump();
    EXPECT_EQ(PixelAt(window->Handle(), 10, 10), 0x0000FFu);
    graphics.MakeCurrent(0, 0);
    graphics.DeleteContext(rc);
    graphics.ReleaseDC(window->Handle(), dc);
}

TEST_F(X11Graphics, FailingContextStepsRaiseThePlatformsError) {
    GraphicsBinding& graphics = App->Graphics();
    GlApi gl;
    ASSERT_TRUE(graphics.InitOpenGL("libGL.so.1", "libGLU.so.1", gl));
    try {
        graphics.CreateRenderingContext(0xBAD, ContextRequest{ContextOption::DoubleBuffered, 32, 24});
        FAIL() << "no error for a bogus device context";
    } catch (const EOSError& error) {
        EXPECT_EQ(error.ErrorCode(), 9);  // BadDrawable
        EXPECT_EQ(std::string(error.what()).rfind("System Error.  Code: 9.\nBadDrawable", 0), 0u) << error.what();
    }
    auto window = App->OpenWindow(Popup(Rect{0, 0, 10, 10}), nullptr);
    const DeviceContext dc = graphics.GetDC(window->Handle());
    window->Destroy();
    try {
        graphics.CreateRenderingContext(dc, ContextRequest{ContextOption::SingleBuffered, 32, 24});
        FAIL() << "no error for a destroyed window";
    } catch (const EOSError& error) {
        EXPECT_EQ(error.ErrorCode(), 3);  // BadWindow
    }
    graphics.ReleaseDC(window->Handle(), dc);
}

TEST_F(X11Graphics, TheWindowRectangleIsInRootCoordinates) {
    const ::Window host = ForeignWindow(200, 150);  // at 10, 10
    WindowSpec request = Popup(Rect{5, 7, 105, 57});
    request.Kind = WindowKind::Child;
    request.Parent = host;
    auto child = App->OpenWindow(request, nullptr);
    Rect rect;
    ASSERT_TRUE(App->Graphics().GetWindowRect(child->Handle(), rect));
    EXPECT_EQ(rect.Left, 15);
    EXPECT_EQ(rect.Top, 17);
    EXPECT_EQ(rect.Right, 115);
    EXPECT_EQ(rect.Bottom, 67);
    child->Destroy();
    Rect untouched{1, 2, 3, 4};
    EXPECT_FALSE(App->Graphics().GetWindowRect(child->Handle(), untouched));
    EXPECT_EQ(untouched.Right, 3);
}

TEST_F(X11Graphics, TheEngineDrawsStarsIntoAnXWindowAndSurvivesItsDeath) {
    auto window = App->OpenWindow(Popup(Rect{0, 0, 320, 240}), nullptr);
    window->Show();
    auto engine = std::make_unique<TVeloraEngine>(App->Graphics(), App->SystemClock(), window->Handle(), true, false);
    EXPECT_EQ(engine->Width(), 320.0f);
    EXPECT_EQ(engine->Height(), 240.0f);
    EXPECT_TRUE(FramesShow(*engine, window->Handle()));

    // The preview tears its panel down before the engine.
    window->Destroy();
    engine->RenderFrame();
    engine.reset();
    EXPECT_TRUE(App->IsWindow(DefaultRootWindow(Other)));
}

// The main form and the preview ask for double buffering, which the usual
// default visual has; an engine asking for a single buffer must get a
// window whose frames are not drawn into an invisible back buffer.
TEST_F(X11Graphics, ASingleBufferedEngineGetsAVisualThatShowsItsFrames) {
    WindowSpec request = Popup(Rect{0, 0, 320, 240});
    request.OpenGl = ContextOption::SingleBuffered;
    auto window = App->OpenWindow(request, nullptr);
    window->Show();
    TVeloraEngine engine(App->Graphics(), App->SystemClock(), window->Handle(), false, false);
    EXPECT_TRUE(FramesShow(engine, window->Handle()));

    // A double-buffered request keeps the default visual where it serves.
    request.OpenGl = ContextOption::DoubleBuffered;
    auto doubled = App->OpenWindow(request, nullptr);
    EXPECT_EQ(XVisualIDFromVisual(AttributesOf(doubled->Handle()).visual),
              XVisualIDFromVisual(DefaultVisual(Other, DefaultScreen(Other))));
    EXPECT_NE(XVisualIDFromVisual(AttributesOf(window->Handle()).visual),
              XVisualIDFromVisual(DefaultVisual(Other, DefaultScreen(Other))));
}

}  // namespace
}  // namespace velora::testing
