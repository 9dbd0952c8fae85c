#pragma once
// The engine's GraphicsBinding on gdi32 and WGL. A device context is the
// window's HDC, a rendering context an HGLRC. OpenGL32.dll is loaded at run
// time, so that a system without it ends in "InitOpenGL() failed" instead of
// refusing to start; it stays loaded. It and GLU32.dll come from the system
// folder only.
#include "engine/GraphicsBinding.h"

#include <windows.h>

namespace velora::platform::win32 {

class Win32Graphics : public GraphicsBinding {
public:
    DeviceContext GetDC(WindowHandle wnd) override;
    void ReleaseDC(WindowHandle wnd, DeviceContext dc) override;
    bool InitOpenGL(const char* library, const char* gluLibrary, GlApi& gl) override;
    RenderingContext CreateRenderingContext(DeviceContext dc, const ContextRequest& request) override;
    void MakeCurrent(DeviceContext dc, RenderingContext rc) override;
    void DeleteContext(RenderingContext rc) override;
    void SwapBuffers(DeviceContext dc) override;
    bool GetWindowRect(WindowHandle wnd, Rect& rect) override;

private:
    // The WGL entry points of the loaded library.
    HGLRC(WINAPI* FCreateLayerContext)(HDC, int) = nullptr;
    BOOL(WINAPI* FMakeCurrent)(HDC, HGLRC) = nullptr;
    BOOL(WINAPI* FDeleteContext)(HGLRC) = nullptr;
};

}  // namespace velora::platform::win32
