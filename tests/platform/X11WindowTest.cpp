#include "X11Fixture.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <filesystem>

namespace velora::testing {
namespace {

using namespace platform;

WindowSpec Request(WindowKind kind, Rect bounds) {
    WindowSpec request;
    request.Kind = kind;
    request.Caption = "Velora Skyshow";
    request.Bounds = bounds;
    return request;
}

std::string StringProperty(Display* display, ::Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False, AnyPropertyType, &type,
                       &format, &count, &after, &data);
    std::string text = data != nullptr ? std::string(reinterpret_cast<char*>(data), count) : std::string();
    if (data != nullptr) XFree(data);
    return text;
}

using X11Application = X11Test;

TEST_F(X11Application, AMissingDisplayIsOneClearError) {
    int free = 199;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(free)) ||
           std::filesystem::exists("/tmp/.X" + std::to_string(free) + "-lock"))
        --free;
    try {
        CreateApplication(":" + std::to_string(free));
        FAIL() << "opened a display nobody runs";
    } catch (const DisplayError& error) {
        EXPECT_EQ(std::string(error.what()), "cannot open display \":" + std::to_string(free) + "\"");
    }
}

TEST_F(X11Application, IsWindowAnswersForAnyIdWithoutDying) {
    const ::Window foreign = ForeignWindow(50, 40);
    EXPECT_TRUE(App->IsWindow(foreign));
    EXPECT_TRUE(App->IsWindow(DefaultRootWindow(Other)));
    EXPECT_FALSE(App->IsWindow(0));
    EXPECT_FALSE(App->IsWindow(0x1234567));
    // Cut to 32 bits on the wire, this would name the live window.
    EXPECT_FALSE(App->IsWindow(WindowHandle{1} << 32 | foreign));
    XDestroyWindow(Other, foreign);
    XSync(Other, False);
    EXPECT_FALSE(App->IsWindow(foreign));

    auto own = App->OpenWindow(Request(WindowKind::Popup, Rect{0, 0, 20, 20}), nullptr);
    EXPECT_TRUE(App->IsWindow(own->Handle()));
    own->Destroy();
    own->Destroy();
    EXPECT_FALSE(App->IsWindow(own->Handle()));
}

TEST_F(X11Application, ScreenMetricsComeFromTheRootAndTheDesktopsWorkArea) {
    const Rect screen = App->VirtualScreen();
    EXPECT_EQ(screen.Right - screen.Left, kScreenWidth);
    EXPECT_EQ(screen.Bottom - screen.Top, kScreenHeight);
    EXPECT_EQ(App->WorkArea().Bottom, kScreenHeight);  // no window manager: the whole screen

    const long area[8] = {0, 0, 640, 480, 0, 24, 600, 456};
    const long desktop = 1;
    const ::Window root = DefaultRootWindow(Other);
    XChangeProperty(Other, root, XInternAtom(Other, "_NET_WORKAREA", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(area), 8);
    XChangeProperty(Other, root, XInternAtom(Other, "_NET_CURRENT_DESKTOP", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&desktop), 1);
    XSync(Other, False);
    const Rect work = App->WorkArea();
    const long missing[2] = {2, -1};  // desktops with no area listed
    Rect fallbacks[2];
    for (int i = 0; i < 2; ++i) {
        XChangeProperty(Other, root, XInternAtom(Other, "_NET_CURRENT_DESKTOP", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&missing[i]), 1);
        XSync(Other, False);
        fallbacks[i] = App->WorkArea();
    }
    XDeleteProperty(Other, root, XInternAtom(Other, "_NET_WORKAREA", False));
    XDeleteProperty(Other, root, XInternAtom(Other, "_NET_CURRENT_DESKTOP", False));
    XSync(Other, False);
    EXPECT_EQ(work.Left, 0);
    EXPECT_EQ(work.Top, 24);
    EXPECT_EQ(work.Right, 600);
    EXPECT_EQ(work.Bottom, 480);
    for (const Rect& fallback : fallbacks) {
        EXPECT_EQ(fallback.Top, 0);
        EXPECT_EQ(fallback.Right, kScreenWidth);
    }
}

TEST_F(X11Application, TheFullScreenWindowCoversTheRootAndTakesKeyboardAndPointer) {
    auto window = App->OpenWindow(Request(WindowKind::FullScreen, App->VirtualScreen()), nullptr);
    window->Show();
    const XWindowAttributes attributes = AttributesOf(window->Handle());
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, kScreenWidth);
    EXPECT_EQ(attributes.height, kScreenHeight);
    const ::Window root = DefaultRootWindow(Other);
    EXPECT_EQ(XGrabKeyboard(Other, root, False, GrabModeAsync, GrabModeAsync, CurrentTime), AlreadyGrabbed);
    EXPECT_EQ(XGrabPointer(Other, root, False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime),
              AlreadyGrabbed);

    window->SetCursor(PointerShape::Hidden);
    window.reset();
    XSync(Other, False);
    EXPECT_EQ(XGrabKeyboard(Other, root, False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
    XUngrabKeyboard(Other, CurrentTime);
}

TEST_F(X11Application, ThePopupIsExactlyWhereAndAsLargeAsAsked) {
    auto window = App->OpenWindow(Request(WindowKind::Popup, Rect{230, 160, 410, 320}), nullptr);
    window->Show();
    const XWindowAttributes attributes = AttributesOf(window->Handle());
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(attributes.x, 230);
    EXPECT_EQ(attributes.y, 160);
    EXPECT_EQ(attributes.width, 180);
    EXPECT_EQ(attributes.height, 160);
    EXPECT_EQ(window->ClientRect().Right, 180);
}

TEST_F(X11Application, TheSizeableWindowIsNamedAndKeepsItsMinimumSize) {
    WindowSpec request = Request(WindowKind::Sizeable, Rect{100, 100, 540, 380});
    request.MinWidth = 400;
    request.MinHeight = 300;
    App->SetTitle("Velora Show");
    auto window = App->OpenWindow(request, nullptr);
    const ::Window wnd = window->Handle();
    EXPECT_FALSE(AttributesOf(wnd).override_redirect);
    EXPECT_EQ(StringProperty(Other, wnd, "WM_NAME"), "Velora Skyshow");
    EXPECT_EQ(StringProperty(Other, wnd, "_NET_WM_NAME"), "Velora Skyshow");
    EXPECT_EQ(StringProperty(Other, wnd, "WM_CLASS"), std::string("velora\0Velora Show\0", 19));
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(Other, wnd, &hints, &supplied));
    EXPECT_TRUE(hints.flags & PMinSize);
    EXPECT_FALSE(hints.flags & PMaxSize);
    EXPECT_EQ(hints.min_width, 400);
    EXPECT_EQ(hints.min_height, 300);
}

TEST_F(X11Application, TheDialogCannotBeResized) {
    auto window = App->OpenWindow(Request(WindowKind::Dialog, Rect{120, 65, 520, 415}), nullptr);
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(Other, window->Handle(), &hints, &supplied));
    EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
    EXPECT_EQ(hints.min_width, 400);
    EXPECT_EQ(hints.max_width, 400);
    EXPECT_EQ(hints.min_height, 350);
    EXPECT_EQ(hints.max_height, 350);
}

TEST_F(X11Application, AChildLiesOnAnotherProgramsWindowAndIsErasedBlack) {
    const ::Window host = ForeignWindow(152, 112);
    Rect client;
    ASSERT_TRUE(App->GetClientRect(host, client));
    EXPECT_EQ(client.Right, 152);
    EXPECT_EQ(client.Bottom, 112);
    WindowSpec request = Request(WindowKind::Child, client);
    request.Parent = host;
    request.HasBackground = true;
    request.BackgroundRgb = 0x000000;
    auto child = App->OpenWindow(request, nullptr);
    child->Show();
    Pump();  // the map carried out, and the expose that erases it
    ::Window root = None;
    ::Window parent = None;
    ::Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(Other, child->Handle(), &root, &parent, &children, &count);
    if (children != nullptr) XFree(children);
    EXPECT_EQ(parent, host);
    EXPECT_EQ(AttributesOf(child->Handle()).map_state, IsViewable);
    EXPECT_EQ(PixelAt(host, 151, 111), 0x000000u);
    XDestroyWindow(Other, host);
    XSync(Other, False);
    App->ProcessMessages();
    child.reset();  // its window went with the host's: nothing left to destroy
    EXPECT_TRUE(App->IsWindow(DefaultRootWindow(Other)));
}

TEST_F(X11Application, AFollowingChildTakesEveryNewSizeOfItsParentAndIsTold) {
    const ::Window host = ForeignWindow(152, 112);
    std::vector<std::pair<int, int>> sizes;
    WindowSpec request = Request(WindowKind::Child, Rect{0, 0, 152, 112});
    request.Parent = host;
    request.FollowParent = true;
    auto child = App->OpenWindow(request, [&](const Message& msg) {
        if (msg.message == kWmSize) sizes.emplace_back(PointX(msg.lParam), PointY(msg.lParam));
        return false;
    });
    WindowSpec still = request;
    still.FollowParent = false;
    auto keeper = App->OpenWindow(still, nullptr);
    child->Show();
    keeper->Show();

    XResizeWindow(Other, host, 300, 200);
    XSync(Other, False);
    Pump();
    Pump();  // the child's own resize comes back as a second event
    EXPECT_EQ(AttributesOf(child->Handle()).width, 300);
    EXPECT_EQ(AttributesOf(child->Handle()).height, 200);
    EXPECT_EQ(sizes, (std::vector<std::pair<int, int>>{{300, 200}}));
    EXPECT_EQ(AttributesOf(keeper->Handle()).width, 152);
}

TEST_F(X11Application, AChildOfTheDesktopLiesUnderEveryOtherWindowUnmanaged) {
    const ::Window other = ForeignWindow(40, 30);
    WindowSpec request = Request(WindowKind::Child, Rect{0, 0, kScreenWidth, kScreenHeight});
    request.Parent = App->DesktopWindow();
    auto child = App->OpenWindow(request, nullptr);
    child->Show();
    EXPECT_EQ(App->DesktopWindow(), DefaultRootWindow(Other));
    EXPECT_TRUE(AttributesOf(child->Handle()).override_redirect);
    ::Window root = None;
    ::Window parent = None;
    ::Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(Other, DefaultRootWindow(Other), &root, &parent, &children, &count);
    ASSERT_GE(count, 2u);
    EXPECT_EQ(children[0], child->Handle());  // bottom of the stack
    EXPECT_EQ(children[count - 1], other);
    XFree(children);
}

TEST_F(X11Application, AChildOfAVanishedWindowCannotBeMade) {
    const ::Window host = ForeignWindow(20, 20);
    XDestroyWindow(Other, host);
    XSync(Other, False);
    WindowSpec request = Request(WindowKind::Child, Rect{0, 0, 20, 20});
    request.Parent = host;
    EXPECT_THROW(App->OpenWindow(request, nullptr), Exception);
}

TEST_F(X11Application, APictureIsPaintedIntoTheWindow) {
    auto window = App->OpenWindow(Request(WindowKind::Dialog, Rect{10, 10, 12, 12}), nullptr);
    window->SetPicture(Picture{2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}});
    window->Show();
    Pump();
    EXPECT_EQ(PixelAt(window->Handle(), 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelAt(window->Handle(), 1, 0), 0x00FF00u);
    EXPECT_EQ(PixelAt(window->Handle(), 0, 1), 0x0000FFu);
    EXPECT_EQ(PixelAt(window->Handle(), 1, 1), 0xFFFFFFu);
    EXPECT_THROW(window->SetPicture(Picture{2, 2, {1, 2, 3}}), Exception);
}

}  // namespace
}  // namespace velora::testing
