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

// Every entry point once: its name without the "gl" prefix, and its
// parameter list. The table and its loader below are both made from it.
#define VELORA_GL_ENTRY_POINTS(X)                                                      \
    X(BlendFunc, (GLenum sfactor, GLenum dfactor))                                     \
    X(Enable, (GLenum cap))                                                            \
    X(Disable, (GLenum cap))                                                           \
    X(Hint, (GLenum target, GLenum mode))                                              \
    X(ClearColor, (GLfloat r, GLfloat g, GLfloat b, GLfloat a))                        \
    X(Viewport, (GLint x, GLint y, GLsizei w, GLsizei h))                              \
    X(MatrixMode, (GLenum mode))                                                       \
    X(LoadIdentity, ())                                                                \
    X(Ortho, (GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)) \
    X(LineWidth, (GLfloat width))                                                      \
    X(Color4f, (GLfloat r, GLfloat g, GLfloat b, GLfloat a))                           \
    X(Begin, (GLenum mode))                                                            \
    X(Vertex3f, (GLfloat x, GLfloat y, GLfloat z))                                     \
    X(End, ())                                                                         \
    X(Clear, (GLbitfield mask))                                                        \
    X(Flush, ())

struct GlApi {
#define VELORA_GL_MEMBER(name, parameters) void(VELORA_GLAPI * name) parameters = nullptr;
    VELORA_GL_ENTRY_POINTS(VELORA_GL_MEMBER)
#undef VELORA_GL_MEMBER
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
#define VELORA_GL_TAKE(name, parameters) take(gl.name, "gl" #name);
    VELORA_GL_ENTRY_POINTS(VELORA_GL_TAKE)
#undef VELORA_GL_TAKE
    return found;
}

}  // namespace velora
