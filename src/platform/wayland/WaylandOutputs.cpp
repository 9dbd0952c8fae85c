// OutputSurfaces on libwayland-client: the registry's outputs and seats, a
// surface on each output, and the seats' keyboards and pointers turned into
// the messages the forms read.
#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-egl.h>
#include <xkbcommon/xkbcommon.h>

#include <X11/X.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <vector>

#include "platform/Platform.h"
#include "platform/wayland/EglGraphics.h"
#include "platform/posix/PosixServices.h"
#include "platform/x11/X11Events.h"
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

constexpr int kWheelDelta = 120;
// Fractional scales come as numerators over 120.
constexpr int kScaleDenominator = 120;
constexpr const char* kNamespace = "velora-skyshow";

class Outputs;
struct Output;

struct Surface {
    Outputs* Owner = nullptr;
    Output* Screen = nullptr;
    SurfaceState State;
    zwlr_layer_surface_v1* Layer = nullptr;
    xdg_surface* Xdg = nullptr;
    xdg_toplevel* Toplevel = nullptr;
    wp_viewport* Viewport = nullptr;  // with Fraction, where the compositor offers both
    wp_fractional_scale_v1* Fraction = nullptr;
    int PreferredScale = 0;  // the compositor's fractional scale in 120ths; 0 until it names one
    int Width = 0;           // surface-local size, as the compositor configured it
    int Height = 0;
    int PendingWidth = 0;  // an xdg_toplevel's, until its xdg_surface configure
    int PendingHeight = 0;
    int Scale = kScaleDenominator;  // the scale in force, in 120ths
    bool Configured = false;
    bool Reported = false;
    bool Closed = false;

    WindowHandle Handle() { return reinterpret_cast<WindowHandle>(this); }
};

struct Output {
    Outputs* Owner = nullptr;
    std::uint32_t Name = 0;
    wl_output* Proxy = nullptr;
    zxdg_output_v1* Xdg = nullptr;
    int Scale = 1;
    int ModeWidth = 0;  // pixels of the current mode
    int ModeHeight = 0;
    int LogicalWidth = 0;  // its size in the compositor's space, from xdg-output
    int LogicalHeight = 0;
    bool Gone = false;
    std::unique_ptr<Surface> Cover;
};

struct Seat {
    Outputs* Owner = nullptr;
    std::uint32_t Name = 0;
    wl_seat* Proxy = nullptr;
    wl_keyboard* Keyboard = nullptr;
    wl_pointer* Pointer = nullptr;
    xkb_keymap* Keymap = nullptr;
    xkb_state* Keys = nullptr;
    Surface* KeyboardFocus = nullptr;
    Surface* PointerFocus = nullptr;
    int PointerX = 0;  // pixels in PointerFocus
    int PointerY = 0;
};

class Outputs : public OutputSurfaces {
public:
    explicit Outputs(const std::string& title);
    ~Outputs() override;

    void Dispatch(int timeoutMs, Listener& listener) override;
    bool FrameDue(WindowHandle surface) const override;
    bool AllClosed() const override;
    GraphicsBinding& Graphics() override { return *FGraphics; }
    Clock& SystemClock() override { return FClock; }

    // Registry.
    void Global(std::uint32_t name, const char* interface, std::uint32_t version);
    void GlobalRemove(std::uint32_t name);
    // Outputs and their surfaces.
    void OutputDone(Output& output);
    void Configure(Surface& surface, int width, int height);
    // Seats.
    void Capabilities(Seat& seat, std::uint32_t capabilities);
    void Keymap(Seat& seat, int fd, std::uint32_t size);
    void Post(const Surface* surface, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

private:
    void Cover(Output& output);
    void DescribeOutput(Output& output);
    void Destroy(Surface& surface);
    void ReleaseSeat(Seat& seat);
    Surface* Find(WindowHandle handle) const;
    [[noreturn]] void Lost() const;
    void Report(Listener& listener);

    std::string FTitle;
    wl_display* FDisplay = nullptr;
    wl_registry* FRegistry = nullptr;
    wl_compositor* FCompositor = nullptr;
    zwlr_layer_shell_v1* FLayerShell = nullptr;
    xdg_wm_base* FWmBase = nullptr;
    wp_viewporter* FViewporter = nullptr;
    wp_fractional_scale_manager_v1* FFractionalScale = nullptr;
    zxdg_output_manager_v1* FXdgOutputs = nullptr;
    xkb_context* FXkb = nullptr;
    std::list<Output> FOutputs;
    std::list<Seat> FSeats;
    std::vector<Message> FInput;
    bool FSomeClosed = false;
    bool FStarted = false;  // past the first round trips: outputs get surfaces at once
    posix::MonotonicClock FClock;
    std::unique_ptr<EglGraphics> FGraphics;
};

// Listeners. Every event of the versions bound has a handler.

void RegistryGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
    static_cast<Outputs*>(data)->Global(name, interface, version);
}
void RegistryGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    static_cast<Outputs*>(data)->GlobalRemove(name);
}
constexpr wl_registry_listener kRegistryListener = {RegistryGlobal, RegistryGlobalRemove};

void OutputGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                    const char*, const char*, std::int32_t) {}
void OutputMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
    if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
    auto* output = static_cast<Output*>(data);
    output->ModeWidth = width;
    output->ModeHeight = height;
}
void OutputDone(void* data, wl_output*) {
    auto* output = static_cast<Output*>(data);
    output->Owner->OutputDone(*output);
}
void OutputScale(void* data, wl_output*, std::int32_t factor) {
    static_cast<Output*>(data)->Scale = std::max(1, factor);
}
// Listeners are filled by name where the system's headers may add members
// (libwayland 1.22 added one to wl_pointer_listener): those stay null, since
// the versions bound never send their events.
constexpr wl_output_listener kOutputListener = [] {
    wl_output_listener listener{};
    listener.geometry = OutputGeometry;
    listener.mode = OutputMode;
    listener.done = OutputDone;
    listener.scale = OutputScale;
    return listener;
}();

void XdgOutputPosition(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
void XdgOutputSize(void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
    auto* output = static_cast<Output*>(data);
    output->LogicalWidth = width;
    output->LogicalHeight = height;
}
void XdgOutputDone(void*, zxdg_output_v1*) {}
void XdgOutputName(void*, zxdg_output_v1*, const char*) {}
void XdgOutputDescription(void*, zxdg_output_v1*, const char*) {}
constexpr zxdg_output_v1_listener kXdgOutputListener = {XdgOutputPosition, XdgOutputSize, XdgOutputDone, XdgOutputName,
                                                        XdgOutputDescription};

// At most a scale of 120, which keeps the buffer sizes far inside int.
void PreferredScale(void* data, wp_fractional_scale_v1*, std::uint32_t scale) {
    constexpr std::uint32_t kLargest = kScaleDenominator * kScaleDenominator;
    static_cast<Surface*>(data)->PreferredScale = static_cast<int>(std::min(scale, kLargest));
}
constexpr wp_fractional_scale_v1_listener kFractionListener = {PreferredScale};

void LayerConfigure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width,
                    std::uint32_t height) {
    auto* surface = static_cast<Surface*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    surface->Owner->Configure(*surface, static_cast<int>(width), static_cast<int>(height));
}
void LayerClosed(void* data, zwlr_layer_surface_v1*) { static_cast<Surface*>(data)->Closed = true; }
constexpr zwlr_layer_surface_v1_listener kLayerListener = {LayerConfigure, LayerClosed};

void WmBasePing(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }
constexpr xdg_wm_base_listener kWmBaseListener = {WmBasePing};

void XdgConfigure(void* data, xdg_surface* xdg, std::uint32_t serial) {
    auto* surface = static_cast<Surface*>(data);
    xdg_surface_ack_configure(xdg, serial);
    surface->Owner->Configure(*surface, surface->PendingWidth, surface->PendingHeight);
}
constexpr xdg_surface_listener kXdgSurfaceListener = {XdgConfigure};

void ToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
    auto* surface = static_cast<Surface*>(data);
    surface->PendingWidth = width;
    surface->PendingHeight = height;
}
void ToplevelClose(void* data, xdg_toplevel*) { static_cast<Surface*>(data)->Closed = true; }
constexpr xdg_toplevel_listener kToplevelListener = [] {
    xdg_toplevel_listener listener{};
    listener.configure = ToplevelConfigure;
    listener.close = ToplevelClose;
    return listener;
}();

Surface* SurfaceOf(wl_surface* surface) {
    return surface == nullptr ? nullptr : static_cast<Surface*>(wl_surface_get_user_data(surface));
}

void SeatCapabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    auto* seat = static_cast<Seat*>(data);
    seat->Owner->Capabilities(*seat, capabilities);
}
void SeatName(void*, wl_seat*, const char*) {}
constexpr wl_seat_listener kSeatListener = {SeatCapabilities, SeatName};

void KeyboardKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    auto* seat = static_cast<Seat*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) seat->Owner->Keymap(*seat, fd, size);
    close(fd);
}
void KeyboardEnter(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array*) {
    static_cast<Seat*>(data)->KeyboardFocus = SurfaceOf(surface);
}
void KeyboardLeave(void* data, wl_keyboard*, std::uint32_t, wl_surface*) {
    static_cast<Seat*>(data)->KeyboardFocus = nullptr;
}
void KeyboardKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state) {
    auto* seat = static_cast<Seat*>(data);
    if (state != WL_KEYBOARD_KEY_STATE_PRESSED) return;
    // Without a keymap every key is some key other than Pause.
    xkb_keysym_t keysym = XKB_KEY_NoSymbol;
    bool alt = false;
    if (seat->Keys != nullptr) {
        keysym = xkb_state_key_get_one_sym(seat->Keys, key + 8);  // evdev to XKB key codes
        alt = xkb_state_mod_name_is_active(seat->Keys, XKB_MOD_NAME_ALT, XKB_STATE_MODS_EFFECTIVE) > 0;
    }
    // XKB's keysyms are X11's: the X11 backend's translation serves both.
    const Message msg = x11::TranslateKeyPress(0, keysym, alt ? Mod1Mask : 0);
    seat->Owner->Post(seat->KeyboardFocus, msg.message, msg.wParam, 0);
}
void KeyboardModifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
                       std::uint32_t locked, std::uint32_t group) {
    auto* seat = static_cast<Seat*>(data);
    if (seat->Keys != nullptr) xkb_state_update_mask(seat->Keys, depressed, latched, locked, 0, 0, group);
}
void KeyboardRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
constexpr wl_keyboard_listener kKeyboardListener = {KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
                                                    KeyboardKey,    KeyboardModifiers, KeyboardRepeatInfo};

// Pixels of the buffer from surface-local units: a 24.8 fixed-point value
// times the scale in 120ths, rounded down.
int ToPixels(wl_fixed_t value, int scale) {
    return static_cast<int>(static_cast<std::int64_t>(value) * scale / (256 * kScaleDenominator));
}
// A surface-local size in pixels at a scale in 120ths, halves rounded away
// from zero.
int ScaledSize(int size, int scale) {
    const auto pixels = (static_cast<std::int64_t>(size) * scale + kScaleDenominator / 2) / kScaleDenominator;
    return static_cast<int>(std::max<std::int64_t>(1, pixels));
}
void PointerAt(Seat& seat, wl_fixed_t x, wl_fixed_t y) {
    const int scale = seat.PointerFocus != nullptr ? seat.PointerFocus->Scale : kScaleDenominator;
    seat.PointerX = ToPixels(x, scale);
    seat.PointerY = ToPixels(y, scale);
}
void PointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface, wl_fixed_t x,
                  wl_fixed_t y) {
    auto* seat = static_cast<Seat*>(data);
    seat->PointerFocus = SurfaceOf(surface);
    PointerAt(*seat, x, y);
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // no cursor over our surfaces
}
void PointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
    static_cast<Seat*>(data)->PointerFocus = nullptr;
}
void PointerMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
    auto* seat = static_cast<Seat*>(data);
    PointerAt(*seat, x, y);
    seat->Owner->Post(seat->PointerFocus, kWmMouseMove, 0, MakePointParam(seat->PointerX, seat->PointerY));
}
void PointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button, std::uint32_t state) {
    auto* seat = static_cast<Seat*>(data);
    const bool pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
    // The X11 backend's numbering: 1 left, 2 middle, 3 right, 8 and up extra.
    unsigned int number = 0;
    if (button == BTN_LEFT)
        number = Button1;
    else if (button == BTN_MIDDLE)
        number = Button2;
    else if (button == BTN_RIGHT)
        number = Button3;
    else if (button > BTN_MIDDLE && button < BTN_JOYSTICK)
        number = 8 + (button - BTN_SIDE);
    if (number == 0) return;
    if (const auto msg = x11::TranslateButton(0, pressed, number, seat->PointerX, seat->PointerY))
        seat->Owner->Post(seat->PointerFocus, msg->message, msg->wParam, msg->lParam);
}
void PointerAxis(void* data, wl_pointer*, std::uint32_t, std::uint32_t axis, wl_fixed_t value) {
    auto* seat = static_cast<Seat*>(data);
    if (value == 0) return;
    // Positive values scroll down (or right); Windows' wheel delta is positive up.
    const int delta = value > 0 ? -kWheelDelta : kWheelDelta;
    const std::uint32_t message = axis == WL_POINTER_AXIS_VERTICAL_SCROLL ? kWmMouseWheel : kWmMouseHWheel;
    seat->Owner->Post(seat->PointerFocus, message, static_cast<std::uintptr_t>(static_cast<std::uint16_t>(delta)) << 16,
                      MakePointParam(seat->PointerX, seat->PointerY));
}
void PointerFrame(void*, wl_pointer*) {}
void PointerAxisSource(void*, wl_pointer*, std::uint32_t) {}
void PointerAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void PointerAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
constexpr wl_pointer_listener kPointerListener = [] {
    wl_pointer_listener listener{};
    listener.enter = PointerEnter;
    listener.leave = PointerLeave;
    listener.motion = PointerMotion;
    listener.button = PointerButton;
    listener.axis = PointerAxis;
    listener.frame = PointerFrame;
    listener.axis_source = PointerAxisSource;
    listener.axis_stop = PointerAxisStop;
    listener.axis_discrete = PointerAxisDiscrete;
    return listener;
}();

template <typename Proxy>
Proxy* Bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
            std::uint32_t wanted) {
    return static_cast<Proxy*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

std::string ConnectFailureText(const char* display) {
    const int length = std::snprintf(nullptr, 0, msg::kCannotConnectCompositor, display);
    std::string text(static_cast<std::size_t>(std::max(0, length)), '\0');
    std::snprintf(text.data(), text.size() + 1, msg::kCannotConnectCompositor, display);
    return text;
}

Outputs::Outputs(const std::string& title) : FTitle(title) {
    posix::ReserveStandardDescriptors();
    FDisplay = wl_display_connect(nullptr);
    if (FDisplay == nullptr) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        throw DisplayError(ConnectFailureText(name != nullptr ? name : "wayland-0"));
    }
    FXkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    FGraphics = std::make_unique<EglGraphics>(FDisplay, [this](WindowHandle handle) -> SurfaceState* {
        Surface* surface = Find(handle);
        return surface != nullptr ? &surface->State : nullptr;
    });
    FRegistry = wl_display_get_registry(FDisplay);
    wl_registry_add_listener(FRegistry, &kRegistryListener, this);
    // The globals, then what the outputs tell of themselves.
    if (wl_display_roundtrip(FDisplay) < 0 || wl_display_roundtrip(FDisplay) < 0) Lost();
    if (FCompositor == nullptr || (FLayerShell == nullptr && FWmBase == nullptr))
        throw DisplayError(msg::kNoSurfaceShell);
    FStarted = true;
    for (Output& output : FOutputs) Cover(output);
}

Outputs::~Outputs() {
    // The EGL surfaces go before the windows they were made on.
    FGraphics.reset();
    for (Output& output : FOutputs) {
        if (output.Cover) Destroy(*output.Cover);
        if (output.Xdg != nullptr) zxdg_output_v1_destroy(output.Xdg);
        wl_output_destroy(output.Proxy);
    }
    for (Seat& seat : FSeats) {
        ReleaseSeat(seat);
        wl_seat_destroy(seat.Proxy);
    }
    if (FLayerShell != nullptr) zwlr_layer_shell_v1_destroy(FLayerShell);
    if (FWmBase != nullptr) xdg_wm_base_destroy(FWmBase);
    if (FViewporter != nullptr) wp_viewporter_destroy(FViewporter);
    if (FFractionalScale != nullptr) wp_fractional_scale_manager_v1_destroy(FFractionalScale);
    if (FXdgOutputs != nullptr) zxdg_output_manager_v1_destroy(FXdgOutputs);
    if (FCompositor != nullptr) wl_compositor_destroy(FCompositor);
    wl_registry_destroy(FRegistry);
    xkb_context_unref(FXkb);
    wl_display_disconnect(FDisplay);
}

void Outputs::Global(std::uint32_t name, const char* interface, std::uint32_t version) {
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        FCompositor = Bind<wl_compositor>(FRegistry, name, &wl_compositor_interface, version, 4);
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        FLayerShell = Bind<zwlr_layer_shell_v1>(FRegistry, name, &zwlr_layer_shell_v1_interface, version, 2);
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        FWmBase = Bind<xdg_wm_base>(FRegistry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(FWmBase, &kWmBaseListener, this);
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
        FViewporter = Bind<wp_viewporter>(FRegistry, name, &wp_viewporter_interface, version, 1);
    } else if (std::strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
        FFractionalScale = Bind<wp_fractional_scale_manager_v1>(FRegistry, name,
                                                                &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        FXdgOutputs = Bind<zxdg_output_manager_v1>(FRegistry, name, &zxdg_output_manager_v1_interface, version, 3);
        for (Output& output : FOutputs) DescribeOutput(output);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        Output& output = FOutputs.emplace_back();
        output.Owner = this;
        output.Name = name;
        output.Proxy = Bind<wl_output>(FRegistry, name, &wl_output_interface, version, 2);
        wl_output_add_listener(output.Proxy, &kOutputListener, &output);
        DescribeOutput(output);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        Seat& seat = FSeats.emplace_back();
        seat.Owner = this;
        seat.Name = name;
        seat.Proxy = Bind<wl_seat>(FRegistry, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(seat.Proxy, &kSeatListener, &seat);
    }
}

void Outputs::DescribeOutput(Output& output) {
    if (FXdgOutputs == nullptr || output.Xdg != nullptr) return;
    output.Xdg = zxdg_output_manager_v1_get_xdg_output(FXdgOutputs, output.Proxy);
    zxdg_output_v1_add_listener(output.Xdg, &kXdgOutputListener, &output);
}

void Outputs::GlobalRemove(std::uint32_t name) {
    for (Output& output : FOutputs)
        if (output.Name == name) output.Gone = true;
    for (auto seat = FSeats.begin(); seat != FSeats.end(); ++seat) {
        if (seat->Name != name) continue;
        ReleaseSeat(*seat);
        wl_seat_destroy(seat->Proxy);
        FSeats.erase(seat);
        break;
    }
}

void Outputs::OutputDone(Output& output) {
    if (!FStarted) return;
    // A new mode comes with the surface's next configure; a new scale is
    // applied when the surfaces are reported.
    Cover(output);
}

void Outputs::Cover(Output& output) {
    if (output.Cover || output.Gone) return;
    auto surface = std::make_unique<Surface>();
    surface->Owner = this;
    surface->Screen = &output;
    surface->State.Surface = wl_compositor_create_surface(FCompositor);
    wl_surface_set_user_data(surface->State.Surface, surface.get());
    if (FViewporter != nullptr && FFractionalScale != nullptr) {
        surface->Viewport = wp_viewporter_get_viewport(FViewporter, surface->State.Surface);
        surface->Fraction =
            wp_fractional_scale_manager_v1_get_fractional_scale(FFractionalScale, surface->State.Surface);
        wp_fractional_scale_v1_add_listener(surface->Fraction, &kFractionListener, surface.get());
    }
    if (FLayerShell != nullptr) {
        surface->Layer = zwlr_layer_shell_v1_get_layer_surface(FLayerShell, surface->State.Surface, output.Proxy,
                                                               ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, kNamespace);
        zwlr_layer_surface_v1_add_listener(surface->Layer, &kLayerListener, surface.get());
        zwlr_layer_surface_v1_set_anchor(surface->Layer,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_exclusive_zone(surface->Layer, -1);
        // On the overlay layer this is the exclusive keyboard focus.
        zwlr_layer_surface_v1_set_keyboard_interactivity(surface->Layer, 1);
        zwlr_layer_surface_v1_set_size(surface->Layer, 0, 0);
    } else {
        surface->Xdg = xdg_wm_base_get_xdg_surface(FWmBase, surface->State.Surface);
        xdg_surface_add_listener(surface->Xdg, &kXdgSurfaceListener, surface.get());
        surface->Toplevel = xdg_surface_get_toplevel(surface->Xdg);
        xdg_toplevel_add_listener(surface->Toplevel, &kToplevelListener, surface.get());
        xdg_toplevel_set_title(surface->Toplevel, FTitle.c_str());
        xdg_toplevel_set_app_id(surface->Toplevel, kNamespace);
        xdg_toplevel_set_fullscreen(surface->Toplevel, output.Proxy);
    }
    wl_surface_commit(surface->State.Surface);
    output.Cover = std::move(surface);
}

void Outputs::Configure(Surface& surface, int width, int height) {
    const Output& output = *surface.Screen;
    // A size of 0 leaves it to us: the whole output, as xdg-output tells its
    // size, else its mode over its scale.
    if (width <= 0) width = output.LogicalWidth > 0 ? output.LogicalWidth : output.ModeWidth / output.Scale;
    if (height <= 0) height = output.LogicalHeight > 0 ? output.LogicalHeight : output.ModeHeight / output.Scale;
    surface.Width = std::max(1, width);
    surface.Height = std::max(1, height);
    surface.Configured = true;
}

void Outputs::Destroy(Surface& surface) {
    for (Seat& seat : FSeats) {
        if (seat.KeyboardFocus == &surface) seat.KeyboardFocus = nullptr;
        if (seat.PointerFocus == &surface) seat.PointerFocus = nullptr;
    }
    if (surface.State.Frame != nullptr) wl_callback_destroy(surface.State.Frame);
    if (surface.State.EglWindow != nullptr) wl_egl_window_destroy(surface.State.EglWindow);
    if (surface.Fraction != nullptr) wp_fractional_scale_v1_destroy(surface.Fraction);
    if (surface.Viewport != nullptr) wp_viewport_destroy(surface.Viewport);
    if (surface.Layer != nullptr) zwlr_layer_surface_v1_destroy(surface.Layer);
    if (surface.Toplevel != nullptr) xdg_toplevel_destroy(surface.Toplevel);
    if (surface.Xdg != nullptr) xdg_surface_destroy(surface.Xdg);
    wl_surface_destroy(surface.State.Surface);
}

void Outputs::Capabilities(Seat& seat, std::uint32_t capabilities) {
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (keyboard && seat.Keyboard == nullptr) {
        seat.Keyboard = wl_seat_get_keyboard(seat.Proxy);
        wl_keyboard_add_listener(seat.Keyboard, &kKeyboardListener, &seat);
    } else if (!keyboard && seat.Keyboard != nullptr) {
        wl_keyboard_release(seat.Keyboard);
        seat.Keyboard = nullptr;
        seat.KeyboardFocus = nullptr;
    }
    if (pointer && seat.Pointer == nullptr) {
        seat.Pointer = wl_seat_get_pointer(seat.Proxy);
        wl_pointer_add_listener(seat.Pointer, &kPointerListener, &seat);
    } else if (!pointer && seat.Pointer != nullptr) {
        wl_pointer_release(seat.Pointer);
        seat.Pointer = nullptr;
        seat.PointerFocus = nullptr;
    }
}

void Outputs::Keymap(Seat& seat, int fd, std::uint32_t size) {
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (text == MAP_FAILED) return;
    xkb_keymap* keymap =
        xkb_keymap_new_from_buffer(FXkb, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap == nullptr) return;
    if (seat.Keys != nullptr) xkb_state_unref(seat.Keys);
    if (seat.Keymap != nullptr) xkb_keymap_unref(seat.Keymap);
    seat.Keymap = keymap;
    seat.Keys = xkb_state_new(keymap);
}

void Outputs::ReleaseSeat(Seat& seat) {
    Capabilities(seat, 0);
    if (seat.Keys != nullptr) xkb_state_unref(seat.Keys);
    if (seat.Keymap != nullptr) xkb_keymap_unref(seat.Keymap);
    seat.Keys = nullptr;
    seat.Keymap = nullptr;
}

void Outputs::Post(const Surface* surface, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    const WindowHandle window = surface != nullptr ? reinterpret_cast<WindowHandle>(surface) : 0;
    FInput.push_back(Message{window, message, wParam, lParam});
}

Surface* Outputs::Find(WindowHandle handle) const {
    for (const Output& output : FOutputs)
        if (output.Cover && output.Cover.get() == reinterpret_cast<const Surface*>(handle)) return output.Cover.get();
    return nullptr;
}

bool Outputs::FrameDue(WindowHandle handle) const {
    const Surface* surface = Find(handle);
    return surface != nullptr && surface->State.FrameDue;
}

bool Outputs::AllClosed() const {
    if (!FSomeClosed) return false;
    return std::none_of(FOutputs.begin(), FOutputs.end(), [](const Output& output) { return output.Cover != nullptr; });
}

void Outputs::Lost() const {
    const int code = wl_display_get_error(FDisplay);
    if (code == EPROTO) throw DisplayError(msg::kCompositorProtocolError);
    throw DisplayError(msg::kCompositorLost);
}

void Outputs::Dispatch(int timeoutMs, Listener& listener) {
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

void Outputs::Report(Listener& listener) {
    for (auto output = FOutputs.begin(); output != FOutputs.end();) {
        Surface* surface = output->Cover.get();
        if (surface != nullptr && (surface->Closed || output->Gone)) {
            FSomeClosed = FSomeClosed || surface->Closed;
            if (surface->Reported) listener.SurfaceRemoved(surface->Handle());
            Destroy(*surface);
            output->Cover.reset();
        }
        if (output->Gone) {
            wl_output_destroy(output->Proxy);
            output = FOutputs.erase(output);
        } else {
            ++output;
        }
    }
    for (Output& output : FOutputs) {
        Surface* surface = output.Cover.get();
        if (surface == nullptr || !surface->Configured) continue;
        // Drawn at the output's own pixels: at the compositor's fractional
        // scale through the viewport where it names one, else at the output's
        // integer scale through the buffer scale.
        const bool fractional = surface->PreferredScale > 0;
        const int scale = fractional ? surface->PreferredScale : output.Scale * kScaleDenominator;
        const int width = ScaledSize(surface->Width, scale);
        const int height = ScaledSize(surface->Height, scale);
        if (surface->State.EglWindow == nullptr) {
            surface->State.EglWindow = wl_egl_window_create(surface->State.Surface, width, height);
        } else if (width == surface->State.PixelWidth && height == surface->State.PixelHeight &&
                   scale == surface->Scale) {
            continue;
        } else {
            wl_egl_window_resize(surface->State.EglWindow, width, height, 0, 0);
        }
        // Applied with the next frame's commit.
        if (fractional) {
            wl_surface_set_buffer_scale(surface->State.Surface, 1);
            wp_viewport_set_destination(surface->Viewport, surface->Width, surface->Height);
        } else {
            wl_surface_set_buffer_scale(surface->State.Surface, output.Scale);
        }
        surface->Scale = scale;
        surface->State.PixelWidth = width;
        surface->State.PixelHeight = height;
        if (surface->Reported) {
            listener.SurfaceResized(surface->Handle());
        } else {
            surface->Reported = true;
            listener.SurfaceAdded(surface->Handle());
        }
    }
    std::vector<Message> input;
    input.swap(FInput);
    for (const Message& msg : input)
        if (Find(msg.window) != nullptr || msg.window == 0) listener.Input(msg);
}

}  // namespace

}  // namespace velora::platform::wayland

namespace velora::platform {

std::unique_ptr<OutputSurfaces> OpenOutputSurfaces(const std::string& title) {
    return std::make_unique<wayland::Outputs>(title);
}

}  // namespace velora::platform
