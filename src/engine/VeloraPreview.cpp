#include "engine/VeloraPreview.h"

#include <algorithm>
#include <thread>

namespace velora {

using namespace platform;

namespace {
// A long pause is slept in slices, so that a stop request ends it soon.
constexpr std::chrono::microseconds kPauseSlice{10000};
}  // namespace

TPreviewPanel::TPreviewPanel(Application& app, WindowHandle parentWnd, bool followParent) {
    Rect client;
    app.GetClientRect(parentWnd, client);
    WindowSpec request;
    request.Kind = WindowKind::Child;
    request.Parent = parentWnd;
    request.FollowParent = followParent;
    request.OpenGl = ContextOption::DoubleBuffered;
    request.Bounds = Rect{0, 0, client.Right - client.Left, client.Bottom - client.Top};
    request.HasBackground = true;
    request.BackgroundRgb = 0x000000;
    FWindow = app.OpenWindow(request, [this](const Message& msg) { return WndProc(msg); });
    FWindow->Show();
}

bool TPreviewPanel::WndProc(const Message& msg) {
    // A panel destroyed by another program ends the preview like a closed
    // one: there is nothing left to draw into.
    if (msg.message == kWmClose || msg.message == kWmDestroy) FClosed = true;
    if (msg.message == kWmSize) FResized = true;
    return false;
}

TVeloraPreview::TVeloraPreview(Application& app, WindowHandle parentWnd, const PreviewOptions& options)
    : FApp(app), FParentWnd(parentWnd), FOptions(options) {
    CreatePanel();
    try {
        FEngine = std::make_unique<TVeloraEngine>(app.Graphics(), app.SystemClock(), FPanel->Handle(), true,
                                                  FOptions.SmallMode);
    } catch (...) {
        DestroyPanel();
        throw;
    }
}

TVeloraPreview::~TVeloraPreview() {
    DestroyPanel();
    FEngine.reset();
}

void TVeloraPreview::Run() {
    while (FApp.IsWindow(FParentWnd) && !FPanel->Closed() && !StopRequested()) {
        if (FPanel->TakeResize() && FOptions.FollowHost) FEngine->SetupViewport();
        FEngine->RenderFrame();
        FApp.ProcessMessages();
        Pause();
    }
}

void TVeloraPreview::Pause() {
    for (auto left = FOptions.FrameDelay; left.count() > 0 && !StopRequested(); left -= kPauseSlice)
        std::this_thread::sleep_for(std::min(left, kPauseSlice));
}

void TVeloraPreview::CreatePanel() { FPanel = std::make_unique<TPreviewPanel>(FApp, FParentWnd, FOptions.FollowHost); }

// Freeing the panel destroys its window, unless the host took it along.
void TVeloraPreview::DestroyPanel() noexcept { FPanel.reset(); }

}  // namespace velora
