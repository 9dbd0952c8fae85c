#include "platform/wayland/WaylandOutputSurfaces.h"

#include <poll.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/Errors.h"
// The generated header names a parameter "namespace", a C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace velora::platform::wayland {

namespace {

template <typename Proxy>
Proxy* Bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
            std::uint32_t wanted) {
    return static_cast<Proxy*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

}  // namespace

// Every event of the versions bound has a handler.
struct RegistryListeners {
    using Output = WaylandOutputSurfaces::Output;

    static void Global(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
        static_cast<WaylandOutputSurfaces*>(data)->Global(name, interface, version);
    }
    static void GlobalRemove(void* data, wl_registry*, std::uint32_t name) {
        static_cast<WaylandOutputSurfaces*>(data)->GlobalRemove(name);
    }
    static constexpr wl_registry_listener kRegistry = {Global, GlobalRemove};

    static void OutputGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                               const char*, const char*, std::int32_t) {}
    static void OutputMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
                           std::int32_t) {
        if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
        auto* output = static_cast<Output*>(data);
        output->Info.ModeWidth = width;
        output->Info.ModeHeight = height;
    }
    static void OutputDone(void* data, wl_output*) {
        auto* output = static_cast<Output*>(data);
        output->Owner->OutputDone(*output);
    }
    static void OutputScale(void* data, wl_output*, std::int32_t factor) {
        static_cast<Output*>(data)->Info.Scale = std::max(1, factor);
    }
    // Filled by name: the system's headers may add members for events the
    // version bound never sends; those stay null.
    static constexpr wl_output_listener kOutput = [] {
        wl_output_listener listener{};
        listener.geometry = OutputGeometry;
        listener.mode = OutputMode;
        listener.done = OutputDone;
        listener.scale = OutputScale;
        return listener;
    }();

    static void XdgOutputPosition(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
    static void XdgOutputSize(void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
        auto* output = static_cast<Output*>(data);
        output->Info.LogicalWidth = width;
        output->Info.LogicalHeight = height;
    }
    static void XdgOutputDone(void*, zxdg_output_v1*) {}
    static void XdgOutputName(void*, zxdg_output_v1*, const char*) {}
    static void XdgOutputDescription(void*, zxdg_output_v1*, const char*) {}
    static constexpr zxdg_output_v1_listener kXdgOutput = {XdgOutputPosition, XdgOutputSize, XdgOutputDone,
                                                           XdgOutputName, XdgOutputDescription};

    static void WmBasePing(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }
    static constexpr xdg_wm_base_listener kWmBase = {WmBasePing};
};

wl_display* ConnectToCompositor() {
    posix::ReserveStandardDescriptors();
    wl_display* display = wl_display_connect(nullptr);
    if (display != nullptr) return display;
    const char* env = std::getenv("WAYLAND_DISPLAY");
    const char* name = env != nullptr ? env : "wayland-0";
    const int length = std::snprintf(nullptr, 0, msg::kCannotConnectCompositor, name);
    std::string text(static_cast<std::size_t>(std::max(0, length)), '\0');
    std::snprintf(text.data(), text.size() + 1, msg::kCannotConnectCompositor, name);
    throw DisplayError(text);
}

WaylandOutputSurfaces::WaylandOutputSurfaces(const std::string& title) : FTitle(title) {
    FDisplay = ConnectToCompositor();
    FXkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    FGraphics = std::make_unique<WaylandGraphics>(FDisplay, [this](WindowHandle handle) -> SurfaceState* {
        WaylandSurface* surface = Find(handle);
        return surface != nullptr ? &surface->State() : nullptr;
    });
    FRegistry = wl_display_get_registry(FDisplay);
    wl_registry_add_listener(FRegistry, &RegistryListeners::kRegistry, this);
    // The globals, then what the outputs tell of themselves.
    if (wl_display_roundtrip(FDisplay) < 0 || wl_display_roundtrip(FDisplay) < 0) Lost();
    if (FGlobals.Compositor == nullptr || (FGlobals.LayerShell == nullptr && FGlobals.WmBase == nullptr))
        throw DisplayError(msg::kNoSurfaceShell);
    FStarted = true;
    for (Output& output : FOutputs) Cover(output);
}

WaylandOutputSurfaces::~WaylandOutputSurfaces() {
    // The EGL surfaces go before the windows they were made on.
    FGraphics.reset();
    for (Output& output : FOutputs) {
        Uncover(output);
        if (output.Xdg != nullptr) zxdg_output_v1_destroy(output.Xdg);
        wl_output_destroy(output.Proxy);
    }
    FSeats.clear();
    if (FGlobals.LayerShell != nullptr) zwlr_layer_shell_v1_destroy(FGlobals.LayerShell);
    if (FGlobals.WmBase != nullptr) xdg_wm_base_destroy(FGlobals.WmBase);
    if (FGlobals.Viewporter != nullptr) wp_viewporter_destroy(FGlobals.Viewporter);
    if (FGlobals.FractionalScale != nullptr) wp_fractional_scale_manager_v1_destroy(FGlobals.FractionalScale);
    if (FXdgOutputs != nullptr) zxdg_output_manager_v1_destroy(FXdgOutputs);
    if (FGlobals.Compositor != nullptr) wl_compositor_destroy(FGlobals.Compositor);
    wl_registry_destroy(FRegistry);
    xkb_context_unref(FXkb);
    wl_display_disconnect(FDisplay);
}

void WaylandOutputSurfaces::Global(std::uint32_t name, const char* interface, std::uint32_t version) {
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        FGlobals.Compositor = Bind<wl_compositor>(FRegistry, name, &wl_compositor_interface, version, 4);
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        FGlobals.LayerShell = Bind<zwlr_layer_shell_v1>(FRegistry, name, &zwlr_layer_shell_v1_interface, version, 2);
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        FGlobals.WmBase = Bind<xdg_wm_base>(FRegistry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(FGlobals.WmBase, &RegistryListeners::kWmBase, this);
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
        FGlobals.Viewporter = Bind<wp_viewporter>(FRegistry, name, &wp_viewporter_interface, version, 1);
    } else if (std::strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
        FGlobals.FractionalScale = Bind<wp_fractional_scale_manager_v1>(
            FRegistry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        FXdgOutputs = Bind<zxdg_output_manager_v1>(FRegistry, name, &zxdg_output_manager_v1_interface, version, 3);
        for (Output& output : FOutputs) DescribeOutput(output);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        Output& output = FOutputs.emplace_back();
        output.Owner = this;
        output.Name = name;
        output.Proxy = Bind<wl_output>(FRegistry, name, &wl_output_interface, version, 2);
        wl_output_add_listener(output.Proxy, &RegistryListeners::kOutput, &output);
        DescribeOutput(output);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        FSeats.emplace_back(Bind<wl_seat>(FRegistry, name, &wl_seat_interface, version, 5), name, FXkb, FInput);
    }
}

void WaylandOutputSurfaces::DescribeOutput(Output& output) {
    if (FXdgOutputs == nullptr || output.Xdg != nullptr) return;
    output.Xdg = zxdg_output_manager_v1_get_xdg_output(FXdgOutputs, output.Proxy);
    zxdg_output_v1_add_listener(output.Xdg, &RegistryListeners::kXdgOutput, &output);
}

void WaylandOutputSurfaces::GlobalRemove(std::uint32_t name) {
    for (Output& output : FOutputs)
        if (output.Name == name) output.Gone = true;
    const auto seat =
        std::find_if(FSeats.begin(), FSeats.end(), [name](const WaylandSeat& s) { return s.Name() == name; });
    if (seat != FSeats.end()) FSeats.erase(seat);
}

void WaylandOutputSurfaces::OutputDone(Output& output) {
    if (!FStarted) return;
    // A new mode comes with the surface's next configure; a new scale is
    // applied when the surfaces are reported.
    Cover(output);
}

void WaylandOutputSurfaces::Cover(Output& output) {
    if (output.Cover || output.Gone) return;
    output.Cover = std::make_unique<WaylandSurface>(FGlobals, output.Proxy, output.Info, FTitle);
}

void WaylandOutputSurfaces::Uncover(Output& output) {
    if (!output.Cover) return;
    for (WaylandSeat& seat : FSeats) seat.Forget(*output.Cover);
    output.Cover.reset();
}

WaylandSurface* WaylandOutputSurfaces::Find(WindowHandle handle) const {
    for (const Output& output : FOutputs)
        if (output.Cover && output.Cover->Handle() == handle) return output.Cover.get();
    return nullptr;
}

bool WaylandOutputSurfaces::FrameDue(WindowHandle handle) const {
    const WaylandSurface* surface = Find(handle);
    return surface != nullptr && surface->State().FrameDue;
}

bool WaylandOutputSurfaces::AllClosed() const {
    if (!FSomeClosed) return false;
    return std::none_of(FOutputs.begin(), FOutputs.end(), [](const Output& output) { return output.Cover != nullptr; });
}

void WaylandOutputSurfaces::Lost() const {
    const int code = wl_display_get_error(FDisplay);
    if (code == EPROTO) throw DisplayError(msg::kCompositorProtocolError);
    throw DisplayError(msg::kCompositorLost);
}

void WaylandOutputSurfaces::Dispatch(int timeoutMs, Listener& listener) {
    while (wl_display_prepare_read(FDisplay) != 0) {
        if (wl_display_dispatch_pending(FDisplay) < 0) Lost();
    }
    if (wl_display_flush(FDisplay) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(FDisplay);
        Lost();
    }
    pollfd fd{wl_display_get_fd(FDisplay), POLLIN, 0};
    const int ready = poll(&fd, 1, timeoutMs);
    if (ready > 0 && (fd.revents & POLLIN) != 0) {
        if (wl_display_read_events(FDisplay) < 0) Lost();
    } else {
        wl_display_cancel_read(FDisplay);
        if (ready > 0 && (fd.revents & (POLLERR | POLLHUP)) != 0) Lost();
    }
    if (wl_display_dispatch_pending(FDisplay) < 0) Lost();
    Report(listener);
}

void WaylandOutputSurfaces::Report(Listener& listener) {
    for (auto output = FOutputs.begin(); output != FOutputs.end();) {
        const WaylandSurface* surface = output->Cover.get();
        if (surface != nullptr && (surface->Closed() || output->Gone)) {
            FSomeClosed = FSomeClosed || surface->Closed();
            if (surface->Reported()) listener.SurfaceRemoved(surface->Handle());
            Uncover(*output);
        }
        if (output->Gone) {
            wl_output_destroy(output->Proxy);
            output = FOutputs.erase(output);
        } else {
            ++output;
        }
    }
    for (Output& output : FOutputs) {
        WaylandSurface* surface = output.Cover.get();
        if (surface == nullptr || !surface->Configured() || !surface->FitToOutput()) continue;
        if (surface->Reported()) {
            listener.SurfaceResized(surface->Handle());
        } else {
            surface->SetReported();
            listener.SurfaceAdded(surface->Handle());
        }
    }
    std::vector<Message> input;
    input.swap(FInput);
    for (const Message& msg : input)
        if (Find(msg.window) != nullptr || msg.window == 0) listener.Input(msg);
}

}  // namespace velora::platform::wayland

namespace velora::platform {

std::unique_ptr<OutputSurfaces> CreateOutputSurfaces(const std::string& title) {
    return std::make_unique<wayland::WaylandOutputSurfaces>(title);
}

}  // namespace velora::platform
