#pragma once
// The sixteen OpenGL 1.1 entry points the engine calls, as a table of
// function pointers. The platform's loader fills it from the real library;
// tests and the simulator fill it with their own recorders.
#include <cstdint>
#include <type_traits>

#if defined(_WIN32) && !defined(_WIN64)
#define VELORA_GLAPI __stdcall
#else
#define VELORA_GLAPI
#endif

namespace velora {

using GLenum = std::uint32_t;
using GLbitfield = std::uint32_t;
using GLint = std::int32_t;
using GLsizei = std::int32_t;
using GLfloat = float;
using GLdouble = double;

inline constexpr GLenum GL_LINE_LOOP = 0x0002;
inline constexpr GLenum GL_SRC_ALPHA = 0x0302;
inline constexpr GLenum GL_ONE_MINUS_SRC_ALPHA = 0x0303;
inline constexpr GLenum GL_LINE_SMOOTH = 0x0B20;
inline constexpr GLenum GL_BLEND = 0x0BE2;
inline constexpr GLenum GL_LINE_SMOOTH_HINT = 0x0C52;
inline constexpr GLenum GL_NICEST = 0x1102;
inline constexpr GLenum GL_PROJECTION = 0x1701;
inline constexpr GLbitfield GL_COLOR_BUFFER_BIT = 0x00004000;

struct GlApi {
    void(VELORA_GLAPI* BlendFunc)(GLenum sfactor, GLenum dfactor) = nullptr;
    void(VELORA_GLAPI* Enable)(GLenum cap) = nullptr;
    void(VELORA_GLAPI* Disable)(GLenum cap) = nullptr;
    void(VELORA_GLAPI* Hint)(GLenum target, GLenum mode) = nullptr;
    void(VELORA_GLAPI* ClearColor)(GLfloat r, GLfloat g, GLfloat b, GLfloat a) = nullptr;
    void(VELORA_GLAPI* Viewport)(GLint x, GLint y, GLsizei w, GLsizei h) = nullptr;
    void(VELORA_GLAPI* MatrixMode)(GLenum mode) = nullptr;
    void(VELORA_GLAPI* LoadIdentity)() = nullptr;
    void(VELORA_GLAPI* Ortho)(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) = nullptr;
    void(VELORA_GLAPI* LineWidth)(GLfloat width) = nullptr;
    void(VELORA_GLAPI* Color4f)(GLfloat r, GLfloat g, GLfloat b, GLfloat a) = nullptr;
    void(VELORA_GLAPI* Begin)(GLenum mode) = nullptr;
    void(VELORA_GLAPI* Vertex3f)(GLfloat x, GLfloat y, GLfloat z) = nullptr;
    void(VELORA_GLAPI* End)() = nullptr;
    void(VELORA_GLAPI* Clear)(GLbitfield mask) = nullptr;
    void(VELORA_GLAPI* Flush)() = nullptr;
};

// Fills the table through a loader's lookup: `resolve(name)` gives the
// address of the entry point of that name, or null. True when every one of
// them was found.
template <typename Resolve>
bool ResolveGlApi(GlApi& gl, Resolve resolve) {
    bool found = true;
    const auto take = [&](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(resolve(name));
        found = found && entry != nullptr;
    };
    take(gl.BlendFunc, "glBlendFunc");
    take(gl.Enable, "glEnable");
    take(gl.Disable, "glDisable");
    take(gl.Hint, "glHint");
    take(gl.ClearColor, "glClearColor");
    take(gl.Viewport, "glViewport");
    take(gl.MatrixMode, "glMatrixMode");
    take(gl.LoadIdentity, "glLoadIdentity");
    take(gl.Ortho, "glOrtho");
    take(gl.LineWidth, "glLineWidth");
    take(gl.Color4f, "glColor4f");
    take(gl.Begin, "glBegin");
    take(gl.Vertex3f, "glVertex3f");
    take(gl.End, "glEnd");
    take(gl.Clear, "glClear");
    take(gl.Flush, "glFlush");
    return found;
}

}  // namespace velora
