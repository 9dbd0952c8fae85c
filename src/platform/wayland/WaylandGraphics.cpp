#include "platform/wayland/WaylandGraphics.h"

#include <EGL/eglext.h>
#include <dlfcn.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Errors.h"

namespace velora::platform::wayland {

namespace {

// GLVND splits libGL.so.1 into libOpenGL.so.0 (the GL entry points) and
// libGLX.so.0; with an EGL context the former alone will do.
constexpr const char* kGlLibrary = "libGL.so.1";
constexpr const char* kGlvndGlLibrary = "libOpenGL.so.0";

std::string EglErrorName(EGLint code) {
    static constexpr const char* kNames[] = {"EGL_SUCCESS",       "EGL_NOT_INITIALIZED",     "EGL_BAD_ACCESS",
                                             "EGL_BAD_ALLOC",     "EGL_BAD_ATTRIBUTE",       "EGL_BAD_CONFIG",
                                             "EGL_BAD_CONTEXT",   "EGL_BAD_CURRENT_SURFACE", "EGL_BAD_DISPLAY",
                                             "EGL_BAD_MATCH",     "EGL_BAD_NATIVE_PIXMAP",   "EGL_BAD_NATIVE_WINDOW",
                                             "EGL_BAD_PARAMETER", "EGL_BAD_SURFACE",         "EGL_CONTEXT_LOST"};
    if (code >= EGL_SUCCESS && code < EGL_SUCCESS + static_cast<EGLint>(std::size(kNames)))
        return kNames[code - EGL_SUCCESS];
    char text[32];
    std::snprintf(text, sizeof text, msg::kEglErrorCode, static_cast<unsigned>(code));
    return text;
}

[[noreturn]] void RaiseEglError(const char* call) {
    const EGLint code = eglGetError();
    throw EOSError(code, std::string(call) + ": " + EglErrorName(code));
}

void FrameDone(void* data, wl_callback* callback, std::uint32_t) {
    auto* state = static_cast<SurfaceState*>(data);
    wl_callback_destroy(callback);
    state->Frame = nullptr;
    state->FrameDue = true;
}

constexpr wl_callback_listener kFrameListener = {FrameDone};

EGLint Attribute(EGLDisplay display, EGLConfig config, EGLint name) {
    EGLint value = 0;
    eglGetConfigAttrib(display, config, name, &value);
    return value;
}

}  // namespace

WaylandGraphics::WaylandGraphics(wl_display* display, SurfaceLookup lookup)
    : FDisplay(display), FLookup(std::move(lookup)) {}

WaylandGraphics::~WaylandGraphics() {
    if (FEgl == EGL_NO_DISPLAY) return;
    eglMakeCurrent(FEgl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    for (RenderingContext rc : FContexts) eglDestroyContext(FEgl, reinterpret_cast<EGLContext>(rc));
    for (auto& [dc, drawable] : FDrawables) eglDestroySurface(FEgl, drawable->Surface);
    eglTerminate(FEgl);
}

DeviceContext WaylandGraphics::GetDC(WindowHandle wnd) {
    SurfaceState* state = FLookup(wnd);
    if (state == nullptr || state->EglWindow == nullptr) return 0;
    auto drawable = std::make_unique<Drawable>(Drawable{wnd, EGL_NO_SURFACE});
    const auto dc = reinterpret_cast<DeviceContext>(drawable.get());
    FDrawables.emplace(dc, std::move(drawable));
    return dc;
}

void WaylandGraphics::ReleaseDC(WindowHandle, DeviceContext dc) {
    const auto found = FDrawables.find(dc);
    if (found == FDrawables.end()) return;
    if (found->second->Surface != EGL_NO_SURFACE) {
        if (FCurrentDc == dc) MakeCurrent(0, 0);
        eglDestroySurface(FEgl, found->second->Surface);
    }
    FDrawables.erase(found);
}

WaylandGraphics::Drawable* WaylandGraphics::FindDrawable(DeviceContext dc) {
    const auto found = FDrawables.find(dc);
    return found == FDrawables.end() ? nullptr : found->second.get();
}

bool WaylandGraphics::InitOpenGL(const char* library, const char* gluLibrary, GlApi& gl) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && std::strcmp(library, kGlLibrary) == 0)
        handle = dlopen(kGlvndGlLibrary, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return false;
    // Loaded beside the OpenGL library as the product does, and never called.
    if (gluLibrary != nullptr) dlopen(gluLibrary, RTLD_NOW | RTLD_LOCAL);
    GlApi loaded;
    if (!ResolveGlApi(loaded, [handle](const char* name) { return dlsym(handle, name); })) return false;
    gl = loaded;
    return true;
}

void WaylandGraphics::Initialize() {
    if (FEgl != EGL_NO_DISPLAY) return;
    EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, FDisplay, nullptr);
    if (display == EGL_NO_DISPLAY) RaiseEglError("eglGetPlatformDisplay");
    if (eglInitialize(display, nullptr, nullptr) != EGL_TRUE) RaiseEglError("eglInitialize");
    FEgl = display;
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) RaiseEglError("eglBindAPI");
    FConfig = ChooseConfig();
}

// The request is 32 colour bits and 24 depth bits. eglChooseConfig sorts the
// deepest colour first, which may be a 10-bit format at half the frame rate;
// and an alpha channel would make the surface translucent wherever the
// stars are blended. So: 8/8/8 without alpha, 24 depth bits where there are.
EGLConfig WaylandGraphics::ChooseConfig() {
    const EGLint request[] = {EGL_SURFACE_TYPE,
                              EGL_WINDOW_BIT,
                              EGL_RENDERABLE_TYPE,
                              EGL_OPENGL_BIT,
                              EGL_RED_SIZE,
                              8,
                              EGL_GREEN_SIZE,
                              8,
                              EGL_BLUE_SIZE,
                              8,
                              EGL_NONE};
    EGLint count = 0;
    if (eglChooseConfig(FEgl, request, nullptr, 0, &count) != EGL_TRUE || count == 0) RaiseEglError("eglChooseConfig");
    std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
    eglChooseConfig(FEgl, request, configs.data(), count, &count);
    const auto rgb888 = [this](EGLConfig config) {
        return Attribute(FEgl, config, EGL_RED_SIZE) == 8 && Attribute(FEgl, config, EGL_GREEN_SIZE) == 8 &&
               Attribute(FEgl, config, EGL_BLUE_SIZE) == 8 && Attribute(FEgl, config, EGL_ALPHA_SIZE) == 0;
    };
    EGLConfig chosen = nullptr;
    for (EGLConfig config : configs) {
        if (!rgb888(config)) continue;
        if (chosen == nullptr) chosen = config;
        if (Attribute(FEgl, config, EGL_DEPTH_SIZE) >= 24) return config;
    }
    return chosen != nullptr ? chosen : configs.front();
}

RenderingContext WaylandGraphics::CreateRenderingContext(DeviceContext dc, const ContextRequest&) {
    Drawable* drawable = FindDrawable(dc);
    if (drawable == nullptr) throw EOSError(EGL_BAD_SURFACE, EglErrorName(EGL_BAD_SURFACE));
    SurfaceState* state = FLookup(drawable->Window);
    if (state == nullptr || state->EglWindow == nullptr)
        throw EOSError(EGL_BAD_NATIVE_WINDOW, EglErrorName(EGL_BAD_NATIVE_WINDOW));
    Initialize();
    if (drawable->Surface == EGL_NO_SURFACE) {
        drawable->Surface = eglCreatePlatformWindowSurface(FEgl, FConfig, state->EglWindow, nullptr);
        if (drawable->Surface == EGL_NO_SURFACE) RaiseEglError("eglCreatePlatformWindowSurface");
    }
    const EGLint compatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                    EGL_NONE};
    EGLContext context = eglCreateContext(FEgl, FConfig, EGL_NO_CONTEXT, compatibility);
    if (context == EGL_NO_CONTEXT) context = eglCreateContext(FEgl, FConfig, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) RaiseEglError("eglCreateContext");
    const auto rc = reinterpret_cast<RenderingContext>(context);
    FContexts.insert(rc);
    return rc;
}

void WaylandGraphics::MakeCurrent(DeviceContext dc, RenderingContext rc) {
    if (FEgl == EGL_NO_DISPLAY || (dc == FCurrentDc && rc == FCurrentRc)) return;
    if (dc == 0 && rc == 0) {
        eglMakeCurrent(FEgl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        FCurrentDc = 0;
        FCurrentRc = 0;
        return;
    }
    Drawable* drawable = FindDrawable(dc);
    if (drawable == nullptr || drawable->Surface == EGL_NO_SURFACE || !FContexts.contains(rc)) return;
    if (eglMakeCurrent(FEgl, drawable->Surface, drawable->Surface, reinterpret_cast<EGLContext>(rc)) != EGL_TRUE)
        return;
    // Frames are paced by the compositor's frame callbacks: a swap must never
    // wait, or a surface the compositor does not show would stop the others.
    eglSwapInterval(FEgl, 0);
    FCurrentDc = dc;
    FCurrentRc = rc;
}

void WaylandGraphics::DeleteContext(RenderingContext rc) {
    if (FContexts.erase(rc) == 0) return;
    if (FCurrentRc == rc) MakeCurrent(0, 0);
    eglDestroyContext(FEgl, reinterpret_cast<EGLContext>(rc));
}

void WaylandGraphics::SwapBuffers(DeviceContext dc) {
    Drawable* drawable = FindDrawable(dc);
    if (drawable == nullptr || drawable->Surface == EGL_NO_SURFACE) return;
    SurfaceState* state = FLookup(drawable->Window);
    if (state == nullptr) return;
    if (state->Frame == nullptr) {
        state->Frame = wl_surface_frame(state->Surface);
        wl_callback_add_listener(state->Frame, &kFrameListener, state);
    }
    state->FrameDue = false;
    eglSwapBuffers(FEgl, drawable->Surface);
}

bool WaylandGraphics::GetWindowRect(WindowHandle wnd, Rect& rect) {
    const SurfaceState* state = FLookup(wnd);
    if (state == nullptr) return false;
    rect = Rect{0, 0, state->PixelWidth, state->PixelHeight};
    return true;
}

}  // namespace velora::platform::wayland
