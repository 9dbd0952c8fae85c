#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "X11Fixture.h"

namespace velora::testing {
namespace {

using namespace platform;

using X11MessageLoop = X11Test;

WindowSpec TopLevel(WindowKind kind) {
    WindowSpec request;
    request.Kind = kind;
    request.Caption = "Velora Skyshow";
    request.Bounds = Rect{50, 50, 250, 200};
    return request;
}

TEST_F(X11MessageLoop, TheHookSeesAQueuedMessageBeforeItsWindow) {
    std::vector<std::string> seen;
    auto window = App->OpenWindow(TopLevel(WindowKind::Sizeable), [&](const Message& msg) {
        if (msg.message != kWmClose) return false;
        seen.push_back("window");
        App->Terminate();
        return true;
    });
    window->Show();
    App->SetMessageHook([&](Message& msg, bool&) {
        if (msg.message == kWmClose) seen.push_back("hook");
    });
    SendDeleteWindow(Other, window->Handle());
    App->Run();
    EXPECT_EQ(seen, (std::vector<std::string>{"hook", "window"}));
    EXPECT_TRUE(App->IsWindow(window->Handle()));  // handled: no default destruction
}

TEST_F(X11MessageLoop, AHandledMessageNeverReachesItsWindowAndAnUnhandledCloseDestroysIt) {
    bool windowSawClose = false;
    auto window = App->OpenWindow(TopLevel(WindowKind::Sizeable), [&](const Message& msg) {
        windowSawClose = windowSawClose || msg.message == kWmClose;
        return false;
    });
    window->Show();
    bool drop = true;
    App->SetMessageHook([&](Message& msg, bool& handled) {
        if (msg.message != kWmClose) return;
        handled = drop;
        drop = false;
    });
    SendDeleteWindow(Other, window->Handle());
    Pump();
    EXPECT_FALSE(windowSawClose);
    EXPECT_TRUE(App->IsWindow(window->Handle()));
    SendDeleteWindow(Other, window->Handle());
    Pump();
    EXPECT_TRUE(windowSawClose);
    EXPECT_FALSE(App->IsWindow(window->Handle()));
}

TEST_F(X11MessageLoop, AnIdleHandlerThatIsNotDoneIsCalledAgainAtOnce) {
    auto window = App->OpenWindow(TopLevel(WindowKind::Popup), [&](const Message& msg) {
        if (msg.message == kWmClose) App->Terminate();
        return true;
    });
    window->Show();
    int idle = 0;
    App->SetIdleHandler([&](bool& done) {
        // The loop would wait forever here if it slept after a false Done.
        if (++idle == 50) SendDeleteWindow(Other, window->Handle());
        done = false;
    });
    App->Run();
    EXPECT_GE(idle, 50);
    EXPECT_TRUE(App->Terminated());
}

TEST_F(X11MessageLoop, TheModalLoopKeepsTheIdleHandlerAndDisablesOtherWindows) {
    std::vector<std::uint32_t> hooked;
    auto main = App->OpenWindow(TopLevel(WindowKind::Sizeable), nullptr);
    main->Show();
    auto dialog = App->OpenWindow(TopLevel(WindowKind::Dialog), [&](const Message& msg) {
        if (msg.message == kWmClose) App->EndModal();
        return msg.message == kWmClose;
    });
    App->SetMessageHook([&](Message& msg, bool&) {
        if (msg.message == kWmKeyDown || msg.message == kWmClose) hooked.push_back(msg.message);
    });
    int idle = 0;
    App->SetIdleHandler([&](bool& done) {
        if (++idle == 20) {
            SendKey(main->Handle(), XK_a);
            SendKey(dialog->Handle(), XK_b);
            SendDeleteWindow(Other, dialog->Handle());
        }
        done = false;
    });
    App->RunModal(*dialog);
    EXPECT_GE(idle, 20);
    EXPECT_EQ(hooked, (std::vector<std::uint32_t>{kWmKeyDown, kWmClose}));  // the dialog's key only
    EXPECT_FALSE(App->Terminated());
    EXPECT_TRUE(App->IsWindow(dialog->Handle()));
}

TEST_F(X11MessageLoop, AModalDialogThatVanishesEndsItsLoop) {
    auto dialog = App->OpenWindow(TopLevel(WindowKind::Dialog), nullptr);
    int idle = 0;
    App->SetIdleHandler([&](bool& done) {
        if (++idle == 10) XDestroyWindow(Other, dialog->Handle());
        XFlush(Other);
        done = false;
    });
    App->RunModal(*dialog);
    EXPECT_FALSE(App->IsWindow(dialog->Handle()));
}

TEST_F(X11MessageLoop, ProcessMessagesReturnsWhenTheQueueIsEmptyAndIgnoresQuit) {
    int closes = 0;
    auto window = App->OpenWindow(TopLevel(WindowKind::Popup), [&](const Message& msg) {
        if (msg.message == kWmClose) {
            ++closes;
            App->Terminate();
        }
        return true;
    });
    window->Show();
    App->ProcessMessages();
    SendDeleteWindow(Other, window->Handle());
    SendDeleteWindow(Other, window->Handle());
    Pump();
    EXPECT_EQ(closes, 2);
    EXPECT_TRUE(App->Terminated());
}

TEST_F(X11MessageLoop, TheMessageBoxShowsTheTitleAndClosesOnReturn) {
    App->SetTitle("Velora Show");
    // Another process plays the user: it waits for the box and presses Return.
    const pid_t user = fork();
    ASSERT_GE(user, 0);
    if (user == 0) {
        Display* display = XOpenDisplay(Server().Display().c_str());
        for (int attempt = 0; display != nullptr && attempt < 500; ++attempt) {
            ::Window root = None;
            ::Window parent = None;
            ::Window* children = nullptr;
            unsigned int count = 0;
            XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
            for (unsigned int i = 0; i < count; ++i) {
                char* name = nullptr;
                XWindowAttributes attributes{};
                XGetWindowAttributes(display, children[i], &attributes);
                if (attributes.map_state == IsViewable && XFetchName(display, children[i], &name) && name != nullptr &&
                    std::string(name) == "Velora Show") {
                    XEvent event{};
                    event.xkey.type = KeyPress;
                    event.xkey.window = children[i];
                    event.xkey.root = root;
                    event.xkey.same_screen = True;
                    event.xkey.keycode = XKeysymToKeycode(display, XK_Return);
                    XSendEvent(display, children[i], True, KeyPressMask, &event);
                    XSync(display, False);
                    _exit(0);
                }
                if (name != nullptr) XFree(name);
            }
            if (children != nullptr) XFree(children);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        _exit(1);
    }
    ::testing::internal::CaptureStderr();
    App->ShowMessage("System Error.  Code: 3.\nBadWindow (invalid Window parameter)");
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    int status = -1;
    waitpid(user, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(stderrText, "System Error.  Code: 3. BadWindow (invalid Window parameter)\n");
}

}  // namespace
}  // namespace velora::testing
