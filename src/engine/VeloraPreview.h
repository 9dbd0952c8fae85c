#pragma once
// The preview host: a child panel of ours laid over the host's preview
// window, one engine drawing into it, and a frame loop that pumps the
// messages itself until the host's window goes away or the panel is closed.
#include <memory>

#include "engine/VeloraCore.h"
#include "platform/Platform.h"

namespace velora {

class TPreviewPanel {
public:
    // A visible black child over the parent's whole client area; it keeps
    // that size for its whole life.
    TPreviewPanel(platform::Application& app, WindowHandle parentWnd);
    TPreviewPanel(const TPreviewPanel&) = delete;
    TPreviewPanel& operator=(const TPreviewPanel&) = delete;

    WindowHandle Handle() const { return FWindow->Handle(); }
    bool Closed() const { return FClosed; }

private:
    bool WndProc(const platform::Message& msg);

    std::unique_ptr<platform::Window> FWindow;
    bool FClosed = false;
};

class TVeloraPreview {
public:
    // Raises when the panel or the engine cannot be created, after
    // destroying whatever was made.
    TVeloraPreview(platform::Application& app, WindowHandle parentWnd);
    // The panel first, then the engine, which copes with its window being gone.
    ~TVeloraPreview();
    TVeloraPreview(const TVeloraPreview&) = delete;
    TVeloraPreview& operator=(const TVeloraPreview&) = delete;

    void Run();

    const TPreviewPanel* Panel() const { return FPanel.get(); }
    const TVeloraEngine* Engine() const { return FEngine.get(); }

private:
    void CreatePanel();
    void DestroyPanel() noexcept;

    platform::Application& FApp;
    const WindowHandle FParentWnd;
    std::unique_ptr<TPreviewPanel> FPanel;
    std::unique_ptr<TVeloraEngine> FEngine;
};

}  // namespace velora
