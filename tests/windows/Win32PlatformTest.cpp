// The Win32 backend on a real Wine desktop: frames, the message loop's
// order, modal runs, erasing, and the engine on WGL.
// <windows.h> first: the platform's names must survive its macros in this
// order as well as in the backend's.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/Errors.h"
#include "base/FloatingPoint.h"
#include "engine/VeloraCore.h"
#include "platform/Platform.h"

namespace velora::testing {
namespace {

using namespace platform;

struct Win32Test : ::testing::Test {
    std::unique_ptr<Window> Open(WindowKind kind, Rect bounds, WindowProc proc = nullptr, WindowHandle parent = 0) {
        WindowSpec request;
        request.Kind = kind;
        request.Caption = "Velora Skyshow";
        request.Bounds = bounds;
        request.MinWidth = 400;
        request.MinHeight = 300;
        request.Parent = parent;
        return App->OpenWindow(request, std::move(proc));
    }
    static HWND Hwnd(const Window& window) { return reinterpret_cast<HWND>(window.Handle()); }

    std::unique_ptr<Application> App = CreateApplication();
};

LONG_PTR Style(const Window& window) { return GetWindowLongPtrA(reinterpret_cast<HWND>(window.Handle()), GWL_STYLE); }
LONG_PTR ExStyle(const Window& window) {
    return GetWindowLongPtrA(reinterpret_cast<HWND>(window.Handle()), GWL_EXSTYLE);
}

// The full screen and the small window are checked on the whole program.
TEST_F(Win32Test, SizeableFrameKeepsItsMinimumAndTheDialogIsFixed) {
    auto sizeable = Open(WindowKind::Sizeable, Rect{100, 100, 700, 500});
    EXPECT_EQ(ExStyle(*sizeable) & WS_EX_TOPMOST, 0);
    EXPECT_NE(Style(*sizeable) & WS_THICKFRAME, 0);
    EXPECT_NE(Style(*sizeable) & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(sizeable->ClientRect().Right, 600);
    EXPECT_EQ(sizeable->ClientRect().Bottom, 400);
    MINMAXINFO limits{};
    SendMessageA(Hwnd(*sizeable), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 400);
    EXPECT_EQ(limits.ptMinTrackSize.y, 300);

    auto dialog = Open(WindowKind::Dialog, Rect{50, 50, 450, 400});
    EXPECT_EQ(Style(*dialog) & WS_THICKFRAME, 0);
    EXPECT_NE(Style(*dialog) & WS_SYSMENU, 0);
    EXPECT_EQ(dialog->ClientRect().Right, 400);
    EXPECT_EQ(dialog->ClientRect().Bottom, 350);
}

TEST_F(Win32Test, LoopOffersQueuedMessagesToTheHookBeforeTheWindow) {
    std::vector<std::uint32_t> hooked;
    std::vector<std::uint32_t> dispatched;
    auto window = Open(WindowKind::Popup, Rect{0, 0, 50, 50}, [&](const Message& msg) {
        if (msg.message == kWmKeyDown || msg.message == kWmLButtonDown) dispatched.push_back(msg.message);
        return false;
    });
    App->SetMessageHook([&](Message& msg, bool& handled) {
        if (msg.window != window->Handle()) return;
        hooked.push_back(msg.message);
        handled = msg.message == kWmKeyDown;
    });
    int idle = 0;
    App->SetIdleHandler([&](bool& done) {
        // Not done: the loop comes back at once without waiting for input.
        done = false;
        if (++idle == 3) {
            PostMessageA(Hwnd(*window), WM_KEYDOWN, VK_SPACE, 0);
            PostMessageA(Hwnd(*window), WM_LBUTTONDOWN, 0, 0);
        }
        if (idle == 6) App->Terminate();
    });
    App->Run();
    EXPECT_EQ(idle, 6);
    EXPECT_EQ(hooked, (std::vector<std::uint32_t>{kWmKeyDown, kWmLButtonDown}));
    EXPECT_EQ(dispatched, (std::vector<std::uint32_t>{kWmLButtonDown}));
}

TEST_F(Win32Test, QuitMessageMarksTheApplicationTerminated) {
    PostQuitMessage(0);
    App->ProcessMessages();
    EXPECT_TRUE(App->Terminated());
}

TEST_F(Win32Test, ModalRunKeepsHookAndIdleAndDisablesTheOtherWindows) {
    auto owner = Open(WindowKind::Sizeable, Rect{100, 100, 600, 500});
    owner->Show();
    // The dialog's close ends the modal run, as the settings dialog's does.
    auto dialog = Open(WindowKind::Dialog, Rect{200, 200, 600, 550}, [this](const Message& msg) {
        if (msg.message != kWmClose) return false;
        App->EndModal();
        return true;
    });
    int idle = 0;
    bool ownerDisabled = false;
    App->SetIdleHandler([&](bool& done) {
        done = false;
        ownerDisabled = !IsWindowEnabled(Hwnd(*owner));
        if (++idle == 5) PostMessageA(Hwnd(*dialog), WM_CLOSE, 0, 0);
    });
    bool hookSawClose = false;
    App->SetMessageHook([&](Message& msg, bool&) { hookSawClose = hookSawClose || msg.message == kWmClose; });
    App->RunModal(*dialog);
    EXPECT_GE(idle, 5);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(hookSawClose);
    EXPECT_TRUE(IsWindowEnabled(Hwnd(*owner)));
    EXPECT_TRUE(IsWindow(Hwnd(*dialog)));
}

TEST_F(Win32Test, EraseIsAnsweredWithoutErasingUnlessTheWindowHasABackground) {
    bool procFirst = false;
    auto plain = Open(WindowKind::Popup, Rect{0, 0, 64, 64}, [&](const Message& msg) {
        if (msg.message == kWmEraseBkgnd) procFirst = true;
        return false;
    });
    plain->Show();
    const HDC dc = GetDC(Hwnd(*plain));
    RECT all{0, 0, 64, 64};
    const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    EXPECT_NE(SendMessageA(Hwnd(*plain), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
    EXPECT_TRUE(procFirst);
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 0, 0));
    ReleaseDC(Hwnd(*plain), dc);

    WindowSpec request;
    request.Kind = WindowKind::Popup;
    request.Bounds = Rect{100, 0, 164, 64};
    request.HasBackground = true;
    request.BackgroundRgb = 0x0000FF;
    auto blue = App->OpenWindow(request, nullptr);
    blue->Show();
    const HDC blueDc = GetDC(Hwnd(*blue));
    FillRect(blueDc, &all, red);
    SendMessageA(Hwnd(*blue), WM_ERASEBKGND, reinterpret_cast<WPARAM>(blueDc), 0);
    EXPECT_EQ(GetPixel(blueDc, 10, 10), RGB(0, 0, 255));
    ReleaseDC(Hwnd(*blue), blueDc);
    DeleteObject(red);
}

// What a driver may do to the process while it loads: a 53-bit mantissa.
void LoadFiftyThreeBitMantissa() {
    const std::uint16_t word = 0x027F;
    asm volatile("fldcw %0" : : "m"(word));
}

long double SixtyFourBitRemainder() {
    volatile long double one = 1;
    volatile long double tiny = 0x1p-60L;
    return (one + tiny) - one;
}

TEST_F(Win32Test, EngineOnWglRunsWithTheSixtyFourBitMantissa) {
    auto window = Open(WindowKind::Popup, Rect{0, 0, 320, 240});
    window->Show();
    LoadFiftyThreeBitMantissa();
    {
        TVeloraEngine engine(App->Graphics(), App->SystemClock(), window->Handle(), true, false);
        EXPECT_TRUE(FloatingPointStateIsSet());
        EXPECT_EQ(SixtyFourBitRemainder(), 0x1p-60L);
        EXPECT_EQ(engine.Width(), 320);
        EXPECT_EQ(engine.Budget(), 154);
        engine.RenderFrame();
        EXPECT_GT(engine.LiveCount(), 0);
    }
    // The window keeps the pixel format it was given; a second engine
    // accepts it without setting it again.
    const int format = GetPixelFormat(GetDC(Hwnd(*window)));
    EXPECT_GT(format, 0);
    TVeloraEngine again(App->Graphics(), App->SystemClock(), window->Handle(), true, false);
    EXPECT_EQ(GetPixelFormat(GetDC(Hwnd(*window))), format);
}

TEST_F(Win32Test, MissingOpenGlLibraryIsNoFailureOfGlu) {
    GlApi gl;
    EXPECT_FALSE(App->Graphics().InitOpenGL("velora-missing-gl.dll", "GLU32.dll", gl));
    EXPECT_EQ(gl.Begin, nullptr);
    EXPECT_TRUE(App->Graphics().InitOpenGL("OpenGL32.dll", "velora-missing-glu.dll", gl));
    EXPECT_NE(gl.Vertex3f, nullptr);
}

// The text of the error a context step raised, or "" when none was.
std::string ContextFailure(Application& app, DeviceContext dc) {
    try {
        app.Graphics().CreateRenderingContext(dc, ContextRequest{ContextOption::DoubleBuffered, 32, 24});
    } catch (const EOSError& error) {
        return error.what();
    }
    return "";
}

TEST_F(Win32Test, AFailingContextStepRaisesThePlatformsErrorText) {
    GlApi gl;
    ASSERT_TRUE(App->Graphics().InitOpenGL("OpenGL32.dll", "GLU32.dll", gl));
    // No object at all: the object type test fails with the system's code.
    char description[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_INVALID_HANDLE, 0,
                   description, sizeof description, nullptr);
    std::string expected = "System Error.  Code: 6.\n" + std::string(description);
    while (static_cast<unsigned char>(expected.back()) <= ' ') expected.pop_back();
    EXPECT_EQ(ContextFailure(*App, 0x7654321), expected);

    // A memory device context is an object, but no window's: its pixel
    // format step fails, with or without a code.
    const HDC memory = CreateCompatibleDC(nullptr);
    const std::string text = ContextFailure(*App, reinterpret_cast<DeviceContext>(memory));
    DeleteDC(memory);
    EXPECT_TRUE(text == msg::kOsErrorUnknown || text.rfind("System Error.  Code: ", 0) == 0) << text;
}

}  // namespace
}  // namespace velora::testing
