#include "platform/web/WebGlLines.h"

#include <emscripten/html5.h>

#include <algorithm>
#include <string>

#include "base/Errors.h"

// Last: its macros spell the GL_ names that GlApi.h declares.
#include <GLES3/gl3.h>

namespace velora::platform::web {

namespace {

WebGlLines* gCurrent = nullptr;

// Vertex records per batch: 2 MiB, so that a frame of ten thousand loops
// takes three draws. A whole number of the texture's rows.
constexpr std::size_t kBatchRecords = 1 << 16;

constexpr GLenum kModelView = 0x1700;
constexpr GLenum kTexture = 0x1702;

// The batch's records are a float texture, two texels each (position and
// width, colour), a row holding kRecordsPerRow of them; each segment is two
// triangles over four vertices that fetch their segment's two records.
// (Drawn as instances instead, segments took SwiftShader an order of
// magnitude longer.) The rectangle is built in window coordinates, where
// the width is measured, out to where the coverage reaches zero.
constexpr int kRecordsPerRow = 1024;
constexpr int kTextureRows = static_cast<int>(kBatchRecords) / kRecordsPerRow;

constexpr const char* kVertexShader = R"(#version 300 es
uniform highp sampler2D u_records;
uniform mat4 u_transform;
uniform vec4 u_viewport;
uniform bool u_smooth;
out vec4 v_color;
out vec2 v_local;
flat out vec2 v_reach;

const int kRecordsPerRow = 1024;  // as on the C++ side
// The corners of a segment, as (along, across).
const vec2 kCorners[4] = vec2[4](vec2(-1.0, -1.0), vec2(1.0, -1.0), vec2(-1.0, 1.0), vec2(1.0, 1.0));
// The widths a line is drawn with, clamped as OpenGL implementations do
// (Mesa's smooth and aliased ranges are both 1 to 255): the engine's widths
// below 1 are drawn a pixel wide.
const float kMinSmoothWidth = 1.0;
const float kMaxWidth = 255.0;

vec3 ToWindow(vec3 p) {
    vec4 clip = u_transform * vec4(p, 1.0);
    vec3 ndc = clip.xyz / clip.w;
    return vec3((ndc.xy * 0.5 + 0.5) * u_viewport.zw + u_viewport.xy, ndc.z);
}

ivec2 RecordAt(int index) {
    return ivec2(index % kRecordsPerRow * 2, index / kRecordsPerRow);
}

void main() {
    int segment = gl_VertexID / 4;
    vec4 start = texelFetch(u_records, RecordAt(segment), 0);
    vec4 end = texelFetch(u_records, RecordAt(segment + 1), 0);
    float width = start.w;
    vec3 from = ToWindow(start.xyz);
    vec3 to = ToWindow(end.xyz);
    vec2 d = to.xy - from.xy;
    float len = length(d);
    v_color = texelFetch(u_records, RecordAt(segment) + ivec2(1, 0), 0);
    v_local = vec2(0.0);
    v_reach = vec2(0.0);
    if (width <= 0.0 || len == 0.0) {
        // A loop's closing record, or a segment without area: no pixels.
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        return;
    }
    vec2 corner = kCorners[gl_VertexID % 4];
    vec2 mid = (from.xy + to.xy) * 0.5;
    vec2 pos;
    if (u_smooth) {
        // v_local: the point in the segment's frame, along from its middle
        // and across from its centre line; coverage falls from 1 to 0 over
        // the pixel centred on the rectangle's border.
        vec2 along = d / len;
        vec2 across = vec2(-along.y, along.x);
        float halfWidth = clamp(width, kMinSmoothWidth, kMaxWidth) * 0.5;
        v_reach = vec2(len * 0.5, halfWidth) + 0.5;
        v_local = corner * v_reach;
        pos = mid + along * v_local.x + across * v_local.y;
    } else {
        // An aliased wide line: whole pixels wide, offset along the minor axis.
        float halfWidth = clamp(floor(width + 0.5), 1.0, kMaxWidth) * 0.5;
        vec2 minor = abs(d.x) >= abs(d.y) ? vec2(0.0, 1.0) : vec2(1.0, 0.0);
        pos = mid + d * 0.5 * corner.x + minor * halfWidth * corner.y;
    }
    float z = corner.x < 0.0 ? from.z : to.z;
    gl_Position = vec4((pos - u_viewport.xy) / u_viewport.zw * 2.0 - 1.0, z, 1.0);
}
)";

constexpr const char* kFragmentShader = R"(#version 300 es
precision highp float;
uniform bool u_smooth;
in vec4 v_color;
in vec2 v_local;
flat in vec2 v_reach;
out vec4 o_color;

void main() {
    float alpha = v_color.a;
    if (u_smooth) {
        vec2 edge = clamp(v_reach - abs(v_local), 0.0, 1.0);
        float coverage = edge.x * edge.y;
        if (coverage <= 0.0) discard;
        alpha *= coverage;
    }
    o_color = vec4(v_color.rgb, alpha);
}
)";

constexpr WebGlLines::Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

WebGlLines::Matrix Multiply(const WebGlLines::Matrix& a, const WebGlLines::Matrix& b) {
    WebGlLines::Matrix product{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k) product[column * 4 + row] += a[k * 4 + row] * b[column * 4 + k];
    return product;
}

GLfloat Clamped(GLfloat component) { return component >= 0 ? std::min(component, 1.0f) : 0.0f; }

std::string ShaderLog(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
    glGetShaderInfoLog(shader, length, nullptr, log.data());
    return log.c_str();
}

GLuint CompileShader(GLenum kind, const char* source, std::string& failure) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_FALSE) failure += ShaderLog(shader);
    return shader;
}

// Makes a context current for the lifetime of the object, then restores the
// one that was.
class ContextScope {
public:
    explicit ContextScope(EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context) : FPrevious(emscripten_webgl_get_current_context()) {
        emscripten_webgl_make_context_current(context);
    }
    ~ContextScope() { emscripten_webgl_make_context_current(FPrevious); }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE FPrevious;
};

namespace entry {
void BlendFunc(GLenum s, GLenum d) {
    if (gCurrent != nullptr) gCurrent->BlendFunc(s, d);
}
void Enable(GLenum cap) {
    if (gCurrent != nullptr) gCurrent->SetCapability(cap, true);
}
void Disable(GLenum cap) {
    if (gCurrent != nullptr) gCurrent->SetCapability(cap, false);
}
// The coverage is always computed per pixel: there is nothing to choose.
void Hint(GLenum, GLenum) {}
void ClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (gCurrent != nullptr) gCurrent->ClearColor(r, g, b, a);
}
void Viewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    if (gCurrent != nullptr) gCurrent->Viewport(x, y, w, h);
}
void MatrixMode(GLenum mode) {
    if (gCurrent != nullptr) gCurrent->MatrixMode(mode);
}
void LoadIdentity() {
    if (gCurrent != nullptr) gCurrent->LoadIdentity();
}
void Ortho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    if (gCurrent != nullptr) gCurrent->Ortho(l, r, b, t, n, f);
}
void LineWidth(GLfloat width) {
    if (gCurrent != nullptr) gCurrent->LineWidth(width);
}
void Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (gCurrent != nullptr) gCurrent->Color4f(r, g, b, a);
}
void Begin(GLenum mode) {
    if (gCurrent != nullptr) gCurrent->Begin(mode);
}
void Vertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (gCurrent != nullptr) gCurrent->Vertex3f(x, y, z);
}
void End() {
    if (gCurrent != nullptr) gCurrent->End();
}
void Clear(GLbitfield mask) {
    if (gCurrent != nullptr) gCurrent->Clear(mask);
}
void Flush() {
    if (gCurrent != nullptr) gCurrent->Flush();
}
}  // namespace entry

}  // namespace

WebGlLines::WebGlLines(EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context) : FContext(context), FRecords(kBatchRecords) {
    FMatrices.fill(kIdentity);
    ContextScope scope(context);
    std::string failure;
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, kVertexShader, failure);
    const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, kFragmentShader, failure);
    FProgram = glCreateProgram();
    glAttachShader(FProgram, vertex);
    glAttachShader(FProgram, fragment);
    glLinkProgram(FProgram);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(FProgram, GL_LINK_STATUS, &linked);
    if (linked == GL_FALSE) {
        emscripten_webgl_destroy_context(context);
        throw EOSError(EMSCRIPTEN_RESULT_FAILED, msg::kWebGlShaderFailed + failure);
    }
    // This context draws nothing else: program, vertex array and texture
    // stay bound for its whole life.
    glUseProgram(FProgram);
    FTransformLocation = glGetUniformLocation(FProgram, "u_transform");
    FViewportLocation = glGetUniformLocation(FProgram, "u_viewport");
    FSmoothLocation = glGetUniformLocation(FProgram, "u_smooth");

    // The segments' vertices have no attributes, only indices.
    glGenVertexArrays(1, &FVertexArray);
    glBindVertexArray(FVertexArray);
    glGenTextures(1, &FTexture);
    glBindTexture(GL_TEXTURE_2D, FTexture);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA32F, 2 * kRecordsPerRow, kTextureRows);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glUniform1i(glGetUniformLocation(FProgram, "u_records"), 0);
    // Two triangles per segment, over its four vertices.
    std::vector<GLuint> indices(6 * kBatchRecords);
    for (GLuint segment = 0; segment < kBatchRecords; ++segment) {
        const GLuint corners[6] = {0, 1, 2, 2, 1, 3};
        for (int k = 0; k < 6; ++k) indices[6 * segment + k] = 4 * segment + corners[k];
    }
    glGenBuffers(1, &FIndices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, FIndices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLuint)), indices.data(),
                 GL_STATIC_DRAW);
    // As in OpenGL, the viewport starts as the whole drawing buffer.
    glGetIntegerv(GL_VIEWPORT, FViewport.data());
}

WebGlLines::~WebGlLines() {
    if (gCurrent == this) gCurrent = nullptr;
    // The context's objects go with it.
    emscripten_webgl_destroy_context(FContext);
}

GlApi WebGlLines::EntryPoints() {
    GlApi gl;
#define VELORA_WEB_ENTRY(name, parameters) gl.name = entry::name;
    VELORA_GL_ENTRY_POINTS(VELORA_WEB_ENTRY)
#undef VELORA_WEB_ENTRY
    return gl;
}

void WebGlLines::MakeCurrent(WebGlLines* lines) {
    if (gCurrent != nullptr && gCurrent != lines && !gCurrent->FInside) gCurrent->Submit();
    gCurrent = lines;
    emscripten_webgl_make_context_current(lines != nullptr ? lines->FContext : 0);
}

WebGlLines* WebGlLines::Current() { return gCurrent; }

void WebGlLines::Flush() {
    if (FInside) return;
    Submit();
    FDrawnSinceFlush = false;
    glFlush();
}

void WebGlLines::FinishDrawing() {
    if (FInside || !FDrawnSinceFlush) return;
    Submit();
    FDrawnSinceFlush = false;
    // Reading a pixel back waits for everything drawn before it; WebGL's
    // finish() need not.
    unsigned char pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
}

void WebGlLines::BlendFunc(GLenum source, GLenum destination) {
    if (FInside || (source == FBlendSource && destination == FBlendDestination)) return;
    Submit();
    FBlendSource = source;
    FBlendDestination = destination;
    glBlendFunc(source, destination);
}

void WebGlLines::SetCapability(GLenum cap, bool enabled) {
    if (FInside) return;
    if (cap == GL_BLEND && enabled != FBlend) {
        Submit();
        FBlend = enabled;
        if (enabled)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
    } else if (cap == GL_LINE_SMOOTH && enabled != FSmooth) {
        Submit();
        FSmooth = enabled;
        FUniformsStale = true;
    }
}

void WebGlLines::ClearColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    if (!FInside) FClearColor = {Clamped(red), Clamped(green), Clamped(blue), Clamped(alpha)};
}

void WebGlLines::Viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (FInside || width < 0 || height < 0) return;
    Submit();
    FViewport = {x, y, width, height};
    glViewport(x, y, width, height);
    FUniformsStale = true;
}

void WebGlLines::MatrixMode(GLenum mode) {
    if (!FInside && mode >= kModelView && mode <= kTexture) FMatrixMode = mode - kModelView;
}

WebGlLines::Matrix& WebGlLines::CurrentMatrix() { return FMatrices[FMatrixMode]; }

void WebGlLines::LoadIdentity() {
    if (FInside) return;
    Submit();
    CurrentMatrix() = kIdentity;
    FUniformsStale = true;
}

void WebGlLines::Ortho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    if (FInside || left == right || bottom == top || zNear == zFar) return;
    Submit();
    Matrix ortho = kIdentity;
    ortho[0] = 2 / (right - left);
    ortho[5] = 2 / (top - bottom);
    ortho[10] = -2 / (zFar - zNear);
    ortho[12] = -(right + left) / (right - left);
    ortho[13] = -(top + bottom) / (top - bottom);
    ortho[14] = -(zFar + zNear) / (zFar - zNear);
    CurrentMatrix() = Multiply(CurrentMatrix(), ortho);
    FUniformsStale = true;
}

void WebGlLines::LineWidth(GLfloat width) {
    if (!FInside && width > 0) FLineWidth = width;
}

void WebGlLines::Color4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    FColor = {Clamped(red), Clamped(green), Clamped(blue), Clamped(alpha)};
}

void WebGlLines::Begin(GLenum mode) {
    if (FInside) return;
    FInside = true;
    FCollecting = mode == GL_LINE_LOOP;
    FLoopVertices = 0;
}

void WebGlLines::Vertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!FCollecting) return;
    const Record record{x, y, z, FLineWidth, FColor[0], FColor[1], FColor[2], FColor[3]};
    if (FLoopVertices++ == 0) FLoopFirst = record;
    Append(record);
}

void WebGlLines::End() {
    if (FCollecting) {
        if (FLoopVertices >= 2) {
            Record closing = FLoopFirst;
            closing.Width = 0;
            Append(closing);
            FDrawnSinceFlush = true;
        } else if (FLoopVertices == 1) {
            // A single vertex makes no segment.
            --FCount;
        }
    }
    FInside = false;
    FCollecting = false;
}

void WebGlLines::Clear(GLbitfield mask) {
    if (FInside) return;
    Submit();
    glClearColor(FClearColor[0], FClearColor[1], FClearColor[2], FClearColor[3]);
    // The accumulation buffer's bit means nothing to WebGL.
    glClear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void WebGlLines::Append(const Record& record) {
    if (FCount == FRecords.size()) {
        // A full batch: draw it, and carry a loop's last vertex over as the
        // start of its next segment.
        const Record last = FRecords[FCount - 1];
        Submit();
        if (FInside && FLoopVertices > 1) FRecords[FCount++] = last;
    }
    FRecords[FCount++] = record;
}

void WebGlLines::ApplyUniforms() {
    if (!FUniformsStale) return;
    const Matrix transform = Multiply(FMatrices[1], FMatrices[0]);
    GLfloat single[16];
    std::copy(transform.begin(), transform.end(), single);
    glUniformMatrix4fv(FTransformLocation, 1, GL_FALSE, single);
    glUniform4f(FViewportLocation, static_cast<GLfloat>(FViewport[0]), static_cast<GLfloat>(FViewport[1]),
                static_cast<GLfloat>(FViewport[2]), static_cast<GLfloat>(FViewport[3]));
    glUniform1i(FSmoothLocation, FSmooth ? 1 : 0);
    FUniformsStale = false;
}

void WebGlLines::Submit() {
    // Every record but the last starts a segment; the last is a loop's
    // closing record, or a vertex whose segment the next batch draws.
    if (FCount >= 2) {
        ApplyUniforms();
        const auto rows = static_cast<GLsizei>((FCount + kRecordsPerRow - 1) / kRecordsPerRow);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 2 * kRecordsPerRow, rows, GL_RGBA, GL_FLOAT, FRecords.data());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(6 * (FCount - 1)), GL_UNSIGNED_INT, nullptr);
    }
    FCount = 0;
}

}  // namespace velora::platform::web
