#include "engine/VeloraPreview.h"

namespace velora {

using namespace platform;

TPreviewPanel::TPreviewPanel(Application& app, WindowHandle parentWnd) {
    Rect client;
    app.GetClientRect(parentWnd, client);
    WindowSpec request;
    request.Kind = WindowKind::Child;
    request.Parent = parentWnd;
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
    return false;
}

TVeloraPreview::TVeloraPreview(Application& app, WindowHandle parentWnd) : FApp(app), FParentWnd(parentWnd) {
    CreatePanel();
    try {
        FEngine = std::make_unique<TVeloraEngine>(app.Graphics(), app.SystemClock(), FPanel->Handle(), true, true);
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
    while (FApp.IsWindow(FParentWnd) && !FPanel->Closed()) {
        FEngine->RenderFrame();
        FApp.ProcessMessages();
    }
}

void TVeloraPreview::CreatePanel() { FPanel = std::make_unique<TPreviewPanel>(FApp, FParentWnd); }

// Freeing the panel destroys its window, unless the host took it along.
void TVeloraPreview::DestroyPanel() noexcept { FPanel.reset(); }

}  // namespace velora
