#include "platform/win32/Win32Graphics.h"

#include <string>

#include "base/Errors.h"
#include "base/FloatingPoint.h"
#include "platform/win32/Win32Errors.h"

namespace velora::platform::win32 {

namespace {

template <typename Function>
bool Lookup(HMODULE library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

// The system's own copy of a library, never one that lies beside the program
// (a .scr run from a downloads folder) or in the current folder.
HMODULE LoadSystemLibrary(const char* name) {
    // Windows 8, and Windows 7 with update KB2533623, know the search flags;
    // AddDllDirectory came with them.
    if (GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddDllDirectory") != nullptr)
        return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string path = std::string(folder, length) + "\\" + name;
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HDC ToDc(DeviceContext dc) { return reinterpret_cast<HDC>(dc); }
HGLRC ToRc(RenderingContext rc) { return reinterpret_cast<HGLRC>(rc); }

}  // namespace

DeviceContext Win32Graphics::GetDC(WindowHandle wnd) {
    return reinterpret_cast<DeviceContext>(::GetDC(reinterpret_cast<HWND>(wnd)));
}

void Win32Graphics::ReleaseDC(WindowHandle wnd, DeviceContext dc) {
    ::ReleaseDC(reinterpret_cast<HWND>(wnd), ToDc(dc));
}

bool Win32Graphics::InitOpenGL(const char* library, const char* gluLibrary, GlApi& gl) {
    const HMODULE handle = LoadSystemLibrary(library);
    if (handle == nullptr) return false;
    // Loaded beside the OpenGL library as the product does, and never called.
    if (gluLibrary != nullptr) LoadSystemLibrary(gluLibrary);

    GlApi loaded;
    decltype(FCreateLayerContext) createLayerContext = nullptr;
    decltype(FMakeCurrent) makeCurrent = nullptr;
    decltype(FDeleteContext) deleteContext = nullptr;
    const auto resolve = [handle](const char* name) { return reinterpret_cast<void*>(GetProcAddress(handle, name)); };
    if (!ResolveGlApi(loaded, resolve) || !Lookup(handle, "wglCreateLayerContext", createLayerContext) ||
        !Lookup(handle, "wglMakeCurrent", makeCurrent) || !Lookup(handle, "wglDeleteContext", deleteContext))
        return false;
    gl = loaded;
    FCreateLayerContext = createLayerContext;
    FMakeCurrent = makeCurrent;
    FDeleteContext = deleteContext;
    return true;
}

RenderingContext Win32Graphics::CreateRenderingContext(DeviceContext dc, const ContextRequest& wanted) {
    PIXELFORMATDESCRIPTOR request{};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (wanted.Options == ContextOption::DoubleBuffered) request.dwFlags |= PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = static_cast<BYTE>(wanted.ColorBits);
    request.cAccumBits = static_cast<BYTE>(wanted.AccumBits);
    request.cDepthBits = static_cast<BYTE>(wanted.DepthBits);
    request.cStencilBits = static_cast<BYTE>(wanted.StencilBits);
    request.cAuxBuffers = static_cast<BYTE>(wanted.AuxBuffers);
    request.iLayerType = static_cast<BYTE>(wanted.Layer);

    const HDC hdc = ToDc(dc);
    SetLastError(0);
    if (GetObjectType(hdc) == 0) RaiseLastOSError();
    const int format = ChoosePixelFormat(hdc, &request);
    if (format == 0) RaiseLastOSError();
    if (GetPixelFormat(hdc) != format && !SetPixelFormat(hdc, format, &request)) RaiseLastOSError();
    // The granted format is read back and accepted whatever it is.
    DescribePixelFormat(hdc, format, sizeof request, &request);
    if (FCreateLayerContext == nullptr) RaiseLastOSError();
    const HGLRC rc = FCreateLayerContext(hdc, 0);
    // A driver may load its own floating-point state with the context.
    KeepFloatingPointState();
    if (rc == nullptr) RaiseLastOSError();
    return reinterpret_cast<RenderingContext>(rc);
}

void Win32Graphics::MakeCurrent(DeviceContext dc, RenderingContext rc) {
    if (FMakeCurrent == nullptr) return;
    FMakeCurrent(ToDc(dc), ToRc(rc));
    KeepFloatingPointState();
}

void Win32Graphics::DeleteContext(RenderingContext rc) {
    if (FDeleteContext != nullptr) FDeleteContext(ToRc(rc));
}

void Win32Graphics::SwapBuffers(DeviceContext dc) { ::SwapBuffers(ToDc(dc)); }

bool Win32Graphics::GetWindowRect(WindowHandle wnd, Rect& rect) {
    RECT outer{};
    if (!::GetWindowRect(reinterpret_cast<HWND>(wnd), &outer)) return false;
    rect = Rect{outer.left, outer.top, outer.right, outer.bottom};
    return true;
}

}  // namespace velora::platform::win32
