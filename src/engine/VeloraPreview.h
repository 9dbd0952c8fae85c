#pragma once
// The preview host: a child panel of ours laid over the host's preview
// window, one engine drawing into it, and a frame loop that pumps the
// messages itself until the host's window goes away or the panel is closed.
// The screensaver daemon's saver runs the same host with other options.
#include <chrono>
#include <csignal>
#include <memory>
#include <utility>

#include "engine/VeloraCore.h"
#include "platform/Platform.h"

namespace velora {

// The defaults are the preview's own.
struct PreviewOptions {
    bool SmallMode = true;
    // The panel keeps covering the host's window as it is resized, and the
    // engine's viewport follows; otherwise both keep their first size.
    bool FollowHost = false;
    // A pause after every frame.
    std::chrono::microseconds FrameDelay{0};
    // Ends the loop once it holds a value other than 0 (set by a signal handler).
    const volatile std::sig_atomic_t* StopRequest = nullptr;
};

class TPreviewPanel {
public:
    // A visible black child over the parent's whole client area.
    TPreviewPanel(platform::Application& app, WindowHandle parentWnd, bool followParent);
    TPreviewPanel(const TPreviewPanel&) = delete;
    TPreviewPanel& operator=(const TPreviewPanel&) = delete;

    WindowHandle Handle() const { return FWindow->Handle(); }
    bool Closed() const { return FClosed; }
    // Whether the panel's size changed since the last call.
    bool TakeResize() { return std::exchange(FResized, false); }

private:
    bool WndProc(const platform::Message& msg);

    std::unique_ptr<platform::Window> FWindow;
    bool FClosed = false;
    bool FResized = false;
};

class TVeloraPreview {
public:
    // Raises when the panel or the engine cannot be created, after
    // destroying whatever was made.
    TVeloraPreview(platform::Application& app, WindowHandle parentWnd, const PreviewOptions& options = {});
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
    bool StopRequested() const { return FOptions.StopRequest != nullptr && *FOptions.StopRequest != 0; }
    void Pause();

    platform::Application& FApp;
    const WindowHandle FParentWnd;
    const PreviewOptions FOptions;
    std::unique_ptr<TPreviewPanel> FPanel;
    std::unique_ptr<TVeloraEngine> FEngine;
};

}  // namespace velora
