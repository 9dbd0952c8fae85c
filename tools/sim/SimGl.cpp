#include "SimGl.h"

namespace velora::sim {

namespace {

GlSwitches gSwitches;
std::FILE* gTrace = nullptr;

void SetSwitch(GLenum cap, bool on) {
    if (cap == GL_LINE_SMOOTH) gSwitches.LineSmooth = on;
    if (cap == GL_BLEND) gSwitches.Blend = on;
}

namespace null {
void VELORA_GLAPI BlendFunc(GLenum, GLenum) {}
void VELORA_GLAPI Enable(GLenum cap) { SetSwitch(cap, true); }
void VELORA_GLAPI Disable(GLenum cap) { SetSwitch(cap, false); }
void VELORA_GLAPI Hint(GLenum, GLenum) {}
void VELORA_GLAPI ClearColor(GLfloat, GLfloat, GLfloat, GLfloat) {}
void VELORA_GLAPI Viewport(GLint, GLint, GLsizei, GLsizei) {}
void VELORA_GLAPI MatrixMode(GLenum) {}
void VELORA_GLAPI LoadIdentity() {}
void VELORA_GLAPI Ortho(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble) {}
void VELORA_GLAPI LineWidth(GLfloat) {}
void VELORA_GLAPI Color4f(GLfloat, GLfloat, GLfloat, GLfloat) {}
void VELORA_GLAPI Begin(GLenum) {}
void VELORA_GLAPI Vertex3f(GLfloat, GLfloat, GLfloat) {}
void VELORA_GLAPI End() {}
void VELORA_GLAPI Clear(GLbitfield) {}
void VELORA_GLAPI Flush() {}
}  // namespace null

namespace trace {
void Line(const char* name) { std::fprintf(gTrace, "%s\n", name); }
void VELORA_GLAPI BlendFunc(GLenum s, GLenum d) { std::fprintf(gTrace, "glBlendFunc %u %u\n", s, d); }
void VELORA_GLAPI Enable(GLenum cap) {
    SetSwitch(cap, true);
    std::fprintf(gTrace, "glEnable %u\n", cap);
}
void VELORA_GLAPI Disable(GLenum cap) {
    SetSwitch(cap, false);
    std::fprintf(gTrace, "glDisable %u\n", cap);
}
void VELORA_GLAPI Hint(GLenum t, GLenum m) { std::fprintf(gTrace, "glHint %u %u\n", t, m); }
void VELORA_GLAPI ClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    std::fprintf(gTrace, "glClearColor %.9g %.9g %.9g %.9g\n", r, g, b, a);
}
void VELORA_GLAPI Viewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    std::fprintf(gTrace, "glViewport %d %d %d %d\n", x, y, w, h);
}
void VELORA_GLAPI MatrixMode(GLenum m) { std::fprintf(gTrace, "glMatrixMode %u\n", m); }
void VELORA_GLAPI LoadIdentity() { Line("glLoadIdentity"); }
void VELORA_GLAPI Ortho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    std::fprintf(gTrace, "glOrtho %.9g %.9g %.9g %.9g %.9g %.9g\n", l, r, b, t, n, f);
}
void VELORA_GLAPI LineWidth(GLfloat w) { std::fprintf(gTrace, "glLineWidth %.9g\n", w); }
void VELORA_GLAPI Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    std::fprintf(gTrace, "glColor4f %.9g %.9g %.9g %.9g\n", r, g, b, a);
}
void VELORA_GLAPI Begin(GLenum m) { std::fprintf(gTrace, "glBegin %u\n", m); }
void VELORA_GLAPI Vertex3f(GLfloat x, GLfloat y, GLfloat z) {
    std::fprintf(gTrace, "glVertex3f %.9g %.9g %.9g\n", x, y, z);
}
void VELORA_GLAPI End() { Line("glEnd"); }
void VELORA_GLAPI Clear(GLbitfield m) { std::fprintf(gTrace, "glClear %u\n", m); }
void VELORA_GLAPI Flush() { Line("glFlush"); }
}  // namespace trace

}  // namespace

GlApi NullGl() {
    using namespace null;
    return GlApi{BlendFunc, Enable,    Disable, Hint,  ClearColor, Viewport, MatrixMode, LoadIdentity,
                 Ortho,     LineWidth, Color4f, Begin, Vertex3f,   End,      Clear,      Flush};
}

GlApi TracingGl(std::FILE* out) {
    gTrace = out;
    using namespace trace;
    return GlApi{BlendFunc, Enable,    Disable, Hint,  ClearColor, Viewport, MatrixMode, LoadIdentity,
                 Ortho,     LineWidth, Color4f, Begin, Vertex3f,   End,      Clear,      Flush};
}

GlSwitches CurrentSwitches() { return gSwitches; }

void ResetSwitches() { gSwitches = GlSwitches{}; }

}  // namespace velora::sim
