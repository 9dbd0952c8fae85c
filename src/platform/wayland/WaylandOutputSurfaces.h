#pragma once
// OutputSurfaces on libwayland-client: the registry's globals, its outputs
// (with xdg-output's sizes) each covered by a WaylandSurface, its seats, and
// the event loop that reports them to the listener.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/PosixServices.h"
#include "platform/wayland/WaylandGraphics.h"
#include "platform/wayland/WaylandSeat.h"
#include "platform/wayland/WaylandSurface.h"

struct wl_display;
struct wl_registry;
struct xkb_context;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace velora::platform::wayland {

// The compositor of WAYLAND_DISPLAY, with the standard descriptors kept
// apart from the connection's. Throws DisplayError when it cannot be reached.
wl_display* ConnectToCompositor();

class WaylandOutputSurfaces : public OutputSurfaces {
public:
    // Connects to the compositor of WAYLAND_DISPLAY and covers each output;
    // throws DisplayError when it cannot.
    explicit WaylandOutputSurfaces(const std::string& title);
    ~WaylandOutputSurfaces() override;
    WaylandOutputSurfaces(const WaylandOutputSurfaces&) = delete;
    WaylandOutputSurfaces& operator=(const WaylandOutputSurfaces&) = delete;

    void Dispatch(int timeoutMs, Listener& listener) override;
    bool FrameDue(WindowHandle surface) const override;
    bool AllClosed() const override;
    GraphicsBinding& Graphics() override { return *FGraphics; }
    Clock& SystemClock() override { return FClock; }

private:
    friend struct RegistryListeners;

    struct Output {
        WaylandOutputSurfaces* Owner = nullptr;
        std::uint32_t Name = 0;
        wl_output* Proxy = nullptr;
        zxdg_output_v1* Xdg = nullptr;
        OutputInfo Info;
        bool Gone = false;
        std::unique_ptr<WaylandSurface> Cover;
    };

    void Global(std::uint32_t name, const char* interface, std::uint32_t version);
    void GlobalRemove(std::uint32_t name);
    void OutputDone(Output& output);
    void Cover(Output& output);
    void Uncover(Output& output);
    void DescribeOutput(Output& output);
    WaylandSurface* Find(WindowHandle handle) const;
    [[noreturn]] void Lost() const;
    void Report(Listener& listener);

    std::string FTitle;
    wl_display* FDisplay = nullptr;
    wl_registry* FRegistry = nullptr;
    SurfaceGlobals FGlobals;
    zxdg_output_manager_v1* FXdgOutputs = nullptr;
    xkb_context* FXkb = nullptr;
    std::list<Output> FOutputs;
    std::list<WaylandSeat> FSeats;
    std::vector<Message> FInput;
    bool FSomeClosed = false;
    bool FStarted = false;  // past the first round trips: outputs get surfaces at once
    posix::MonotonicClock FClock;
    std::unique_ptr<WaylandGraphics> FGraphics;
};

}  // namespace velora::platform::wayland
