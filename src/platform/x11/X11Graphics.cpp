#include "platform/x11/X11Graphics.h"

#include <dlfcn.h>
#include <link.h>

#include "base/Errors.h"
#include "platform/x11/X11Errors.h"

// Last: its OpenGL header defines the GL_ names that GlApi.h declares.
#include <GL/glx.h>

namespace velora::platform::x11 {

struct X11Graphics::Glx {
    int (*GetConfig)(Display*, XVisualInfo*, int, int*) = nullptr;
    GLXContext (*CreateContext)(Display*, XVisualInfo*, GLXContext, Bool) = nullptr;
    Bool (*MakeCurrent)(Display*, GLXDrawable, GLXContext) = nullptr;
    void (*DestroyContext)(Display*, GLXContext) = nullptr;
    void (*SwapBuffers)(Display*, GLXDrawable) = nullptr;
    GLXFBConfig* (*ChooseFBConfig)(Display*, int, const int*, int*) = nullptr;
    XVisualInfo* (*GetVisualFromFBConfig)(Display*, GLXFBConfig) = nullptr;
};

namespace {

// Where the visuals of our windows are chosen, before any engine has named
// its own library.
constexpr const char* kVisualLibrary = "libGL.so.1";

template <typename Function>
bool Lookup(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

}  // namespace

std::unique_ptr<X11Graphics::Glx> X11Graphics::LoadGlx(void* library) {
    auto glx = std::make_unique<Glx>();
    if (!Lookup(library, "glXGetConfig", glx->GetConfig) || !Lookup(library, "glXCreateContext", glx->CreateContext) ||
        !Lookup(library, "glXMakeCurrent", glx->MakeCurrent) ||
        !Lookup(library, "glXDestroyContext", glx->DestroyContext) ||
        !Lookup(library, "glXSwapBuffers", glx->SwapBuffers) ||
        !Lookup(library, "glXChooseFBConfig", glx->ChooseFBConfig) ||
        !Lookup(library, "glXGetVisualFromFBConfig", glx->GetVisualFromFBConfig))
        return nullptr;
    return glx;
}

namespace {

[[noreturn]] void RaiseXError(Display* display, int code) {
    throw EOSError(code, code == 0 ? std::string() : ErrorText(display, code));
}

GLXContext ToGlx(RenderingContext rc) { return reinterpret_cast<GLXContext>(rc); }

#if defined(__SANITIZE_ADDRESS__)
#define VELORA_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELORA_LEAK_CHECKED 1
#endif
#endif

#if defined(VELORA_LEAK_CHECKED)
// The driver that GLX loads for the first context is unloaded when the
// display closes, and with it the driver's pointers to what it allocated
// once for the process: LeakSanitizer, running later, would report that
// memory as lost. Sanitizer builds keep every loaded library to the end.
void KeepLoadedLibraries() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] == '/')
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
#endif

}  // namespace

X11Graphics::X11Graphics(Display* display) : FDisplay(display) {}

X11Graphics::~X11Graphics() {
    if (FGlx) {
        for (RenderingContext rc : FContexts) FGlx->DestroyContext(FDisplay, ToGlx(rc));
    }
}

DeviceContext X11Graphics::GetDC(WindowHandle wnd) {
    XWindowAttributes attributes{};
    ErrorTrap trap(FDisplay);
    const Status ok = XGetWindowAttributes(FDisplay, wnd, &attributes);
    if (trap.Finish() != 0 || ok == 0) return 0;
    auto surface = std::make_unique<Surface>(Surface{wnd, XVisualIDFromVisual(attributes.visual)});
    const auto dc = reinterpret_cast<DeviceContext>(surface.get());
    FSurfaces.emplace(dc, std::move(surface));
    return dc;
}

void X11Graphics::ReleaseDC(WindowHandle, DeviceContext dc) { FSurfaces.erase(dc); }

const X11Graphics::Surface* X11Graphics::FindSurface(DeviceContext dc) const {
    const auto found = FSurfaces.find(dc);
    return found == FSurfaces.end() ? nullptr : found->second.get();
}

bool X11Graphics::InitOpenGL(const char* library, const char* gluLibrary, GlApi& gl) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return false;
    // Loaded beside the OpenGL library as the product does, and never called.
    if (gluLibrary != nullptr) dlopen(gluLibrary, RTLD_NOW | RTLD_LOCAL);

    GlApi loaded;
    auto glx = LoadGlx(handle);
    if (!ResolveGlApi(loaded, [handle](const char* name) { return dlsym(handle, name); }) || !glx) return false;
    gl = loaded;
    // Contexts made through an earlier table stay valid: the library is the
    // same or stays loaded beside this one.
    if (!FGlx) FGlx = std::move(glx);
    return true;
}

bool X11Graphics::VisualSupportsRgbaGl(XVisualInfo& visual) const {
    int useGl = 0;
    int rgba = 0;
    return FGlx->GetConfig(FDisplay, &visual, GLX_USE_GL, &useGl) == 0 && useGl != 0 &&
           FGlx->GetConfig(FDisplay, &visual, GLX_RGBA, &rgba) == 0 && rgba != 0;
}

std::optional<XVisualInfo> X11Graphics::ChooseVisual(ContextOption options) {
    const bool doubleBuffered = options == ContextOption::DoubleBuffered;
    if (const auto known = FVisuals.find(doubleBuffered); known != FVisuals.end()) return known->second;
    if (!FGlx) {
        if (void* handle = dlopen(kVisualLibrary, RTLD_NOW | RTLD_LOCAL); handle != nullptr) FGlx = LoadGlx(handle);
    }
    std::optional<XVisualInfo> chosen;
    if (FGlx) chosen = FindVisual(doubleBuffered);
#if defined(VELORA_LEAK_CHECKED)
    KeepLoadedLibraries();
#endif
    FVisuals[doubleBuffered] = chosen;
    return chosen;
}

std::optional<XVisualInfo> X11Graphics::FindVisual(bool doubleBuffered) {
    const int screen = DefaultScreen(FDisplay);
    const VisualID defaultVisual = XVisualIDFromVisual(DefaultVisual(FDisplay, screen));
    // DirectColor would need its colour map filled in: TrueColor only.
    const int request[] = {GLX_X_RENDERABLE,
                           True,
                           GLX_DRAWABLE_TYPE,
                           GLX_WINDOW_BIT,
                           GLX_RENDER_TYPE,
                           GLX_RGBA_BIT,
                           GLX_X_VISUAL_TYPE,
                           GLX_TRUE_COLOR,
                           GLX_RED_SIZE,
                           1,
                           GLX_GREEN_SIZE,
                           1,
                           GLX_BLUE_SIZE,
                           1,
                           GLX_DEPTH_SIZE,
                           24,
                           GLX_DOUBLEBUFFER,
                           doubleBuffered ? True : False,
                           None};
    const int anyRgba[] = {
        GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_X_VISUAL_TYPE,
        GLX_TRUE_COLOR,   None};
    for (const int* attributes : {request, anyRgba}) {
        ErrorTrap trap(FDisplay);
        int count = 0;
        GLXFBConfig* configs = FGlx->ChooseFBConfig(FDisplay, screen, attributes, &count);
        std::optional<XVisualInfo> best;
        for (int i = 0; i < count; ++i) {
            XVisualInfo* visual = FGlx->GetVisualFromFBConfig(FDisplay, configs[i]);
            if (visual == nullptr) continue;
            if (!best || visual->visualid == defaultVisual) best = *visual;
            XFree(visual);
            if (best->visualid == defaultVisual) break;
        }
        if (configs != nullptr) XFree(configs);
        trap.Finish();
        if (best) return best;
    }
    return std::nullopt;
}

// An X window's visual is fixed when the window is created, so the request
// can only be met by the window's own visual: the colour, depth and
// double-buffer sizes asked for are granted as that visual has them, which
// the product accepts whatever they are. Our windows are made with the
// visual that ChooseVisual picks for the same request.
RenderingContext X11Graphics::CreateRenderingContext(DeviceContext dc, const ContextRequest&) {
    const Surface* surface = FindSurface(dc);
    if (surface == nullptr) RaiseXError(FDisplay, BadDrawable);
    if (!FGlx) RaiseXError(FDisplay, 0);

    XWindowAttributes attributes{};
    ErrorTrap windowTrap(FDisplay);
    XGetWindowAttributes(FDisplay, surface->Window, &attributes);
    if (const int code = windowTrap.Finish(); code != 0) RaiseXError(FDisplay, code);

    XVisualInfo wanted{};
    wanted.visualid = surface->Visual;
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(FDisplay, VisualIDMask, &wanted, &count);
    if (visuals == nullptr) RaiseXError(FDisplay, 0);
    GLXContext context = nullptr;
    int code = 0;
    if (VisualSupportsRgbaGl(visuals[0])) {
        ErrorTrap contextTrap(FDisplay);
        context = FGlx->CreateContext(FDisplay, &visuals[0], nullptr, True);
        code = contextTrap.Finish();
    }
    XFree(visuals);
    if (context == nullptr) RaiseXError(FDisplay, code);
#if defined(VELORA_LEAK_CHECKED)
    KeepLoadedLibraries();
#endif
    const auto rc = reinterpret_cast<RenderingContext>(context);
    FContexts.insert(rc);
    return rc;
}

void X11Graphics::MakeCurrent(DeviceContext dc, RenderingContext rc) {
    if (!FGlx) return;
    ErrorTrap trap(FDisplay);
    if (dc == 0 && rc == 0) {
        FGlx->MakeCurrent(FDisplay, None, nullptr);
    } else if (const Surface* surface = FindSurface(dc); surface != nullptr && FContexts.contains(rc)) {
        FGlx->MakeCurrent(FDisplay, surface->Window, ToGlx(rc));
    }
    trap.Finish();
}

void X11Graphics::DeleteContext(RenderingContext rc) {
    if (!FGlx || FContexts.erase(rc) == 0) return;
    ErrorTrap trap(FDisplay);
    FGlx->DestroyContext(FDisplay, ToGlx(rc));
    trap.Finish();
}

void X11Graphics::SwapBuffers(DeviceContext dc) {
    // Once per frame: no round trip here. An error (the window died under
    // the preview) reaches the process's handler, which drops it.
    if (const Surface* surface = FindSurface(dc); surface != nullptr && FGlx)
        FGlx->SwapBuffers(FDisplay, surface->Window);
}

::Window X11Graphics::FrameOf(::Window window) const {
    // A window manager marks the windows it manages with WM_STATE and puts
    // them into a frame: the frame is their ancestor just below the root.
    const Atom wmState = XInternAtom(FDisplay, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(FDisplay, window, wmState, 0, 0, False, AnyPropertyType, &type, &format, &items, &after,
                           &data) != Success)
        return window;
    if (data != nullptr) XFree(data);
    if (type == None) return window;

    ::Window current = window;
    for (;;) {
        ::Window root = None;
        ::Window parent = None;
        ::Window* children = nullptr;
        unsigned int childCount = 0;
        if (XQueryTree(FDisplay, current, &root, &parent, &children, &childCount) == 0) return window;
        if (children != nullptr) XFree(children);
        if (parent == root || parent == None) return current;
        current = parent;
    }
}

bool X11Graphics::GetWindowRect(WindowHandle wnd, Rect& rect) {
    ErrorTrap trap(FDisplay);
    const ::Window outer = FrameOf(wnd);
    XWindowAttributes attributes{};
    int left = 0;
    int top = 0;
    ::Window child = None;
    const bool ok = XGetWindowAttributes(FDisplay, outer, &attributes) != 0 &&
                    XTranslateCoordinates(FDisplay, outer, attributes.root, 0, 0, &left, &top, &child);
    if (trap.Finish() != 0 || !ok) return false;
    const int border = attributes.border_width;
    rect = Rect{left - border, top - border, left + attributes.width + border, top + attributes.height + border};
    return true;
}

}  // namespace velora::platform::x11
