#pragma once
// The engine's sixteen OpenGL 1.1 entry points over WebGL 2. WebGL has no
// immediate mode, no line wider than a pixel and no line smoothing, so the
// lines are drawn as OpenGL 1.1 defines a wide smooth line: each segment of
// a loop, the closing one included, is a rectangle the segment's length by
// the line's width, centred on the segment, whose edges are anti-aliased by
// coverage; there are no joins, so where two segments meet their ends blend
// twice, as with native smooth lines. Without GL_LINE_SMOOTH a segment is the
// hard-edged parallelogram of an aliased wide line.
//
// glBegin(GL_LINE_LOOP) ... glEnd is collected into a batch of vertex
// records (other primitives, which the engine never draws, are dropped);
// one draw of every segment in the batch runs when the batch is full, at
// glFlush, glClear and SwapBuffers, and before a change of the state the
// collected lines were given under. The batch and its texture are made once
// per context, so a frame allocates nothing.
//
// As in OpenGL, the entry points act on the current context: the one last
// made current with MakeCurrent. Calls that OpenGL refuses (a state change
// between glBegin and glEnd, a width that is not positive) change nothing.
#include <emscripten/html5_webgl.h>

#include <array>
#include <cstddef>
#include <vector>

#include "engine/GlApi.h"

namespace velora::platform::web {

class WebGlLines {
public:
    using Matrix = std::array<GLdouble, 16>;  // column-major, as OpenGL's

    // Takes over `context`: builds the shaders and buffers on it and destroys
    // it with itself. Raises EOSError, having destroyed it, when WebGL cannot
    // build the shaders. The current context stays as it was.
    explicit WebGlLines(EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context);
    ~WebGlLines();
    WebGlLines(const WebGlLines&) = delete;
    WebGlLines& operator=(const WebGlLines&) = delete;

    // The entry points, for GlApi.
    static GlApi EntryPoints();
    // Submits what the current context has collected, then makes `lines`
    // current (null: none).
    static void MakeCurrent(WebGlLines* lines);
    static WebGlLines* Current();

    // What glFlush does: draws the collected lines and sends WebGL's
    // commands on. The swap of a frame.
    void Flush();
    // When lines were collected since the last flush: draws them and waits
    // until the GPU has.
    void FinishDrawing();

    // The entry points' work on this context.
    void BlendFunc(GLenum source, GLenum destination);
    void SetCapability(GLenum cap, bool enabled);
    void ClearColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
    void Viewport(GLint x, GLint y, GLsizei width, GLsizei height);
    void MatrixMode(GLenum mode);
    void LoadIdentity();
    void Ortho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar);
    void LineWidth(GLfloat width);
    void Color4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
    void Begin(GLenum mode);
    void Vertex3f(GLfloat x, GLfloat y, GLfloat z);
    void End();
    void Clear(GLbitfield mask);

private:
    // A vertex of a loop with the width and colour it was given; the next
    // record is the segment's other end. A record of width 0 closes a loop:
    // it repeats the loop's first vertex and starts no segment itself.
    struct Record {
        GLfloat X, Y, Z;
        GLfloat Width;
        GLfloat Red, Green, Blue, Alpha;
    };
    void Append(const Record& record);
    void Submit();
    void ApplyUniforms();
    Matrix& CurrentMatrix();

    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE FContext;
    unsigned FProgram = 0;
    unsigned FVertexArray = 0;
    unsigned FTexture = 0;
    unsigned FIndices = 0;
    int FTransformLocation = -1;
    int FViewportLocation = -1;
    int FSmoothLocation = -1;

    std::vector<Record> FRecords;  // the batch, at its fixed capacity
    std::size_t FCount = 0;
    bool FInside = false;      // between glBegin and glEnd
    bool FCollecting = false;  // ... of a line loop
    int FLoopVertices = 0;
    Record FLoopFirst{};
    bool FDrawnSinceFlush = false;

    // OpenGL's initial state, which WebGL's matches.
    GLenum FBlendSource = 1;       // GL_ONE
    GLenum FBlendDestination = 0;  // GL_ZERO
    bool FBlend = false;
    bool FSmooth = false;
    std::array<GLfloat, 4> FClearColor{};
    std::array<GLint, 4> FViewport{};
    std::size_t FMatrixMode = 0;      // into FMatrices
    std::array<Matrix, 3> FMatrices;  // modelview, projection, texture
    GLfloat FLineWidth = 1;
    std::array<GLfloat, 4> FColor{1, 1, 1, 1};
    bool FUniformsStale = true;
};

}  // namespace velora::platform::web
