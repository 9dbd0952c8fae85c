#include "engine/VeloraCore.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>

#include "base/BitCast.h"
#include "base/Errors.h"
#include "base/Extended.h"
#include "base/FloatingPoint.h"
#include "base/Random.h"
#include "base/Trig.h"
#include "color/hsb.h"

// The OpenGL library the engine asks its platform to load; a test build
// injects a name that cannot exist.
#ifndef VELORA_GL_LIBRARY
#ifdef _WIN32
#define VELORA_GL_LIBRARY "OpenGL32.dll"
#else
#define VELORA_GL_LIBRARY "libGL.so.1"
#endif
#endif
#ifndef VELORA_GLU_LIBRARY
#ifdef _WIN32
#define VELORA_GLU_LIBRARY "GLU32.dll"
#else
#define VELORA_GLU_LIBRARY "libGLU.so.1"
#endif
#endif

namespace velora {

namespace {

constexpr ext kPi = X87Constant(0x4000, 0xC90FDAA22168C235, std::numbers::pi_v<long double>);
constexpr ext kTwoPi = X87Constant(0x4001, 0xC90FDAA22168C235, 2 * std::numbers::pi_v<long double>);
constexpr ext k0_5 = X87Constant(0x3FFE, 0x8000000000000000, 0.5L);
constexpr ext k0_3 = X87Constant(0x3FFD, 0x999999999999999A, 0.3L);
constexpr ext k0_2 = X87Constant(0x3FFC, 0xCCCCCCCCCCCCCCCD, 0.2L);
constexpr ext k0_1 = X87Constant(0x3FFB, 0xCCCCCCCCCCCCCCCD, 0.1L);
constexpr ext k0_02 = X87Constant(0x3FF9, 0xA3D70A3D70A3D70A, 0.02L);
constexpr ext k0_01 = X87Constant(0x3FF8, 0xA3D70A3D70A3D70A, 0.01L);
constexpr ext k0_007 = X87Constant(0x3FF7, 0xE5604189374BC6A8, 0.007L);
constexpr ext k0_005 = X87Constant(0x3FF7, 0xA3D70A3D70A3D70A, 0.005L);

// Palette presets, degrees of hue for the three hues of a salvo.
constexpr int kPalette[8][3] = {{234, 200, 48}, {34, 68, 319},  {83, 107, 64}, {274, 325, 47},
                                {17, 189, 301}, {215, 172, 27}, {56, 330, 83}, {212, 257, 299}};

// The angles of one star outline: from 0 in steps of pi/points, summed in
// single precision, while the sum stays within 2*pi.
class OutlineWalk {
public:
    explicit OutlineWalk(float points) : FStep(static_cast<float>(kPi / points)) {}
    bool More() const { return static_cast<ext>(FV) <= kTwoPi; }
    float Angle() const { return FV; }
    // False when the step is too small to move the sum on, so that an absurd
    // point count ends the outline instead of looping forever.
    bool Advance() {
        const float next = SumToFloat(FV, FStep);
        if (next == FV) return false;
        FV = next;
        return true;
    }

private:
    float FStep;
    float FV = 0;
};

// Outline angles of the whole-numbered point counts sparks use, walked once.
constexpr int kMinTablePoints = 3;
constexpr int kMaxTablePoints = 12;
constexpr int kMaxOutlineVertices = 2 * kMaxTablePoints + 1;

struct OutlineTable {
    int Count = 0;
    float Angles[kMaxOutlineVertices] = {};
};

const std::array<OutlineTable, kMaxTablePoints + 1> kOutlines = [] {
    std::array<OutlineTable, kMaxTablePoints + 1> tables{};
    for (int points = kMinTablePoints; points <= kMaxTablePoints; ++points) {
        OutlineTable& t = tables[points];
        for (OutlineWalk walk(static_cast<float>(points)); walk.More() && t.Count < kMaxOutlineVertices;) {
            t.Angles[t.Count++] = walk.Angle();
            if (!walk.Advance()) break;
        }
    }
    return tables;
}();

float SanitizedPoints(float points) { return points >= 3 ? points : 5.0f; }

float SanitizedInnerRatio(float ratio) { return (ratio > 1 || !(ratio >= 0)) ? 0.5f : ratio; }

}  // namespace

TVeloraEngine::TVeloraEngine(GraphicsBinding& graphics, Clock& clock, WindowHandle wnd, bool doubleBuffered,
                             bool smallMode)
    : FGraphics(graphics), FClock(clock) {
    try {
        FWnd = wnd;
        if (wnd == 0) throw Exception(msg::kWindowHandleRequired);
        FDoubleBuffered = doubleBuffered;
        FSmallMode = smallMode;
        InitGraphics();
    } catch (...) {
        // A destructor does not run for a half-built object: give back here
        // whatever InitGraphics had taken.
        DoneGraphics();
        throw;
    }
}

TVeloraEngine::~TVeloraEngine() { DoneGraphics(); }

void TVeloraEngine::InitGraphics() {
    FDC = FGraphics.GetDC(FWnd);
    if (FDC == 0) throw Exception(msg::kGetDcFailed);
    if (!FGraphics.InitOpenGL(VELORA_GL_LIBRARY, VELORA_GLU_LIBRARY, FGl)) throw Exception(msg::kInitOpenGlFailed);
    ContextRequest request;
    request.Options = FDoubleBuffered ? ContextOption::DoubleBuffered : ContextOption::SingleBuffered;
    request.ColorBits = 32;
    request.DepthBits = 24;
    FRC = FGraphics.CreateRenderingContext(FDC, request);
    if (FRC == 0) throw Exception(msg::kCreateRenderingContextFailed);
    FGraphics.MakeCurrent(FDC, FRC);

    FGl.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    FGl.Enable(GL_BLEND);
    FGl.Enable(GL_LINE_SMOOTH);
    FGl.Hint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    FGl.ClearColor(0, 0, 0, 0);

    SetupViewport();
    ProbeSpeed();

    std::uint64_t counter = 0;
    RandSeed = FClock.QueryPerformanceCounter(counter) ? static_cast<std::uint32_t>(counter) : FClock.GetTickCount();
    LaunchSalvo();
}

void TVeloraEngine::DoneGraphics() noexcept {
    try {
        if (FRC != 0) {
            FGraphics.MakeCurrent(0, 0);
            FGraphics.DeleteContext(FRC);
        }
    } catch (...) {
    }
    FRC = 0;
    try {
        if (FWnd != 0 && FDC != 0) FGraphics.ReleaseDC(FWnd, FDC);
    } catch (...) {
    }
    FDC = 0;
}

void TVeloraEngine::SetupViewport() {
    KeepFloatingPointState();
    Rect rect{0, 0, 1, 1};
    FGraphics.GetWindowRect(FWnd, rect);
    const auto w = static_cast<std::int32_t>(std::int64_t{rect.Right} - rect.Left);
    const auto h = static_cast<std::int32_t>(std::int64_t{rect.Bottom} - rect.Top);
    FGl.Viewport(0, 0, w, h);
    FGl.MatrixMode(GL_PROJECTION);
    FGl.LoadIdentity();
    FHeight = static_cast<float>(h);
    FWidth = static_cast<float>(w);
    FGl.Ortho(0, FWidth, 0, FHeight, -1, 1);
    // The area of a large window overflows 32 bits; take it in 64.
    const std::int64_t budget = Round(static_cast<ext>(std::int64_t{w} * h) / 500);
    FBudget = static_cast<std::int32_t>(std::clamp<std::int64_t>(budget, 100, 2000));
}

std::uint32_t TVeloraEngine::ProbeDraw(std::int32_t count) {
    const Tick start = FClock.GetTickCount();
    for (std::int32_t i = 0; i < count; ++i)
        DrawStar(0.5f, 0.5f, 0.0f, 8.0f, 0.8f, 0.8f, 0.2f, 0.6f, 0.5f, 0.6f, 0.7f, 0.7f);
    return TickDiff(FClock.GetTickCount(), start);
}

void TVeloraEngine::ProbeSpeed() {
    constexpr std::uint32_t kSlowProbeMs = 70;
    if (ProbeDraw(1000) > kSlowProbeMs) {
        FGl.Disable(GL_LINE_SMOOTH);
        if (ProbeDraw(1000) > kSlowProbeMs) FGl.Disable(GL_BLEND);
    }
}

std::int32_t TVeloraEngine::FindFreeSlot() {
    for (std::int32_t i = FSearchHint; i < kPoolSize; ++i) {
        if (!FSparks[i].Alive) {
            FSearchHint = i + 1;
            return i;
        }
    }
    return -1;
}

void TVeloraEngine::SpawnSpark(float X, float Y, float Hue1, float Hue2, float Hue3, float SpeedRange) {
    const std::int32_t i = FindFreeSlot();
    if (i == -1) return;
    Spark& s = FSparks[i];
    ++FLiveCount;
    s.Alive = true;
    s.X = X;
    s.Y = Y;
    s.Z = 0;

    const std::int32_t f = Random(100);
    if (f < 10)
        s.Points = 4;
    else if (f <= 60)
        s.Points = static_cast<float>(Random(4) + 5);
    else if (f <= 80)
        s.Points = static_cast<float>(Random(2) + 8);
    else
        s.Points = static_cast<float>(Random(2) + 10);

    s.Radius = static_cast<float>(FWidth >= 500 ? Random(13) + 7 : Random(9) + 5);

    if (s.Points > 6)
        s.InnerRatio = static_cast<float>(static_cast<ext>(Random(5)) / 10 + k0_3);
    else if (s.Points >= 5)
        s.InnerRatio = static_cast<float>(static_cast<ext>(Random(4)) / 10 + k0_2);
    else
        s.InnerRatio = static_cast<float>(Random() / 5 + k0_1);

    s.Angle = static_cast<float>(Random());
    s.LineWidth = static_cast<float>(static_cast<ext>(Random(3)) / 10 + k0_5);

    const std::int32_t h = Random(10);
    float hue = h <= 6 ? Hue1 : (h <= 8 ? Hue2 : Hue3);
    hue = static_cast<float>(hue + static_cast<ext>(Random(3) - 1) / 20);
    if (hue < 0)
        hue = static_cast<float>(static_cast<ext>(hue) + 1);
    else if (hue > 1)
        hue = static_cast<float>(static_cast<ext>(hue) - 1);

    const std::int32_t saturation = Random(51);
    const std::int32_t brightness = Random(20);
    RgbBytes rgb{};
    HsbToRgb(MakeHsbColor(hue, static_cast<double>(static_cast<ext>(saturation + 50) / 100),
                          static_cast<double>(static_cast<ext>(brightness + 81) / 100)),
             rgb);
    s.Red = static_cast<float>(static_cast<ext>(rgb.R) / 255);
    s.Green = static_cast<float>(static_cast<ext>(rgb.G) / 255);
    s.Blue = static_cast<float>(static_cast<ext>(rgb.B) / 255);
    s.Alpha = 1;

    // Three separate stores into the single-precision field.
    s.Spin = static_cast<float>(k0_02 - static_cast<ext>(Random(7)) / 100);
    if (FWidth < 500) s.Spin = static_cast<float>(static_cast<ext>(s.Spin) / 10);
    if (s.Spin == 0) s.Spin = static_cast<float>(k0_01);

    s.Heading = static_cast<float>(Random() * 2 * kPi);

    s.Speed = static_cast<float>(static_cast<ext>(Random(static_cast<std::int32_t>(Round(SpeedRange)))) / 100);
    if (static_cast<ext>(s.Speed) < k0_01) s.Speed = static_cast<float>(k0_2);

    s.Copies = Random(2) + 1;
}

void TVeloraEngine::LaunchSalvo() {
    const std::int32_t quarter = (kPoolSize - FLiveCount) / 4;
    std::int32_t n;
    if (quarter > FBudget) {
        n = FBudget;
    } else {
        if (quarter < 100) return;
        n = quarter;
    }

    const auto x = static_cast<float>(Random() * FWidth);
    const auto y = static_cast<float>(Random() * FHeight);
    const std::int32_t p = Random(10);
    float hues[3];
    for (int k = 0; k < 3; ++k)
        hues[k] = p <= 7 ? static_cast<float>(static_cast<ext>(kPalette[p][k]) / 360) : static_cast<float>(Random());
    const auto speedRange =
        static_cast<float>(static_cast<ext>(Random(static_cast<std::int32_t>(Round(FWidth)))) + FWidth);

    for (std::int32_t k = 0; k < n; ++k) SpawnSpark(x, y, hues[0], hues[1], hues[2], speedRange);

    FLastSalvoTick = FClock.GetTickCount();
    const int m = (FLiveCount >= 3000 || FSmallMode) ? 2000 : 1000;
    FSalvoDelay = static_cast<std::int32_t>(Round(Random() * m + 200));
}

void TVeloraEngine::StepSparks(std::uint32_t Elapsed) {
    const auto d = static_cast<float>(45000 / static_cast<ext>(FWidth));
    if (FSmallMode && Elapsed == 0) Elapsed = 2;
    const ext elapsed = Elapsed;
    for (std::int32_t i = 0; i < kPoolSize; ++i) {
        Spark& s = FSparks[i];
        if (!s.Alive) continue;
        HeadingTrig& trig = FHeadingTrig[i];
        const auto headingBits = BitCast<std::uint32_t>(s.Heading);
        if (!trig.Valid || trig.HeadingBits != headingBits) {
            SinCos(s.Heading, trig.Sine, trig.Cosine);
            trig.HeadingBits = headingBits;
            trig.Valid = true;
        }
        s.X = static_cast<float>(s.X + trig.Cosine * s.Speed * elapsed / d);
        s.Y = static_cast<float>(s.Y + trig.Sine * s.Speed * elapsed / d);
        s.Angle = SumToFloat(s.Angle, s.Spin);
        if (Random(4) <= 1) s.Alpha = static_cast<float>(s.Alpha - Random() / (2 * static_cast<ext>(d)));
        if (s.Radius > 3 && Random(4) == 1) s.Radius = static_cast<float>(s.Radius - Random() / d / 3);

        const ext radius = s.Radius;
        if (s.X < -radius || s.X > FWidth + radius || s.Y < -radius || s.Y > FHeight + radius ||
            static_cast<ext>(s.Alpha) < k0_005) {
            s.Alive = false;
            if (i < FSearchHint) FSearchHint = i;
            --FLiveCount;
        }
    }
}

void TVeloraEngine::DrawStar(float X, float Y, float Z, float Points, float Radius, float InnerRatio, float Angle,
                             float LineWidth, float Red, float Green, float Blue, float Alpha) {
    Points = SanitizedPoints(Points);
    InnerRatio = SanitizedInnerRatio(InnerRatio);
    FGl.LineWidth(LineWidth);
    FGl.Color4f(Red, Green, Blue, Alpha);
    FGl.Begin(GL_LINE_LOOP);
    bool outer = true;
    for (OutlineWalk walk(Points); walk.More(); outer = !outer) {
        const float r = outer ? Radius : static_cast<float>(static_cast<ext>(Radius) * InnerRatio);
        const auto a = SumToFloat(walk.Angle(), Angle);
        ext sine;
        ext cosine;
        SinCos(a, sine, cosine);
        FGl.Vertex3f(static_cast<float>(X + cosine * r), static_cast<float>(Y + sine * r), Z);
        if (!walk.Advance()) break;
    }
    FGl.End();
}

void TVeloraEngine::DrawSparks() {
    for (const Spark& s : FSparks)
        if (s.Alive) DrawSparkOutlines(s);
}

// One spark's outlines. Sparks have whole point counts, so their outline
// angles come from the table, and both copies share one set of sines and
// cosines in double precision; anything else goes the long way.
void TVeloraEngine::DrawSparkOutlines(const Spark& s) {
    const float points = SanitizedPoints(s.Points);
    const bool tabled = points <= kMaxTablePoints && points == std::floor(points);
    const OutlineTable* table = tabled ? &kOutlines[static_cast<int>(points)] : nullptr;
    double cosines[kMaxOutlineVertices];
    double sines[kMaxOutlineVertices];
    if (table != nullptr && s.Copies > 0) {
        for (int k = 0; k < table->Count; ++k) {
            const auto a = SumToFloat(table->Angles[k], s.Angle);
            SinCos(static_cast<double>(a), sines[k], cosines[k]);
        }
    }
    const float ratio = SanitizedInnerRatio(s.InnerRatio);
    float r = s.Radius;
    for (std::int32_t copy = 0; copy < s.Copies; ++copy) {
        if (table == nullptr) {
            DrawStar(s.X, s.Y, s.Z, s.Points, r, s.InnerRatio, s.Angle, s.LineWidth, s.Red, s.Green, s.Blue, s.Alpha);
        } else {
            const double radii[2] = {r, static_cast<float>(static_cast<ext>(r) * ratio)};
            const double x = s.X;
            const double y = s.Y;
            FGl.LineWidth(s.LineWidth);
            FGl.Color4f(s.Red, s.Green, s.Blue, s.Alpha);
            FGl.Begin(GL_LINE_LOOP);
            for (int k = 0; k < table->Count; ++k) {
                const double radius = radii[k & 1];
                FGl.Vertex3f(static_cast<float>(x + cosines[k] * radius), static_cast<float>(y + sines[k] * radius),
                             s.Z);
            }
            FGl.End();
        }
        r = static_cast<float>(static_cast<ext>(r) - k0_007);
        if (static_cast<ext>(r) < k0_01) break;
    }
}

// Whatever ran on this thread since the last frame (a DLL the window system
// loaded, a hook) may have changed the floating-point state; it is put back
// before anything is computed.
void TVeloraEngine::RenderFrame() {
    KeepFloatingPointState();
    const Tick now = FClock.GetTickCount();
    FGl.Clear(GL_COLOR_BUFFER_BIT);
    StepSparks(FLastFrameTick == 0 ? 0 : TickDiff(now, FLastFrameTick));
    FLastFrameTick = now;
    if (TickDiff(now, FLastSalvoTick) > static_cast<std::uint32_t>(FSalvoDelay)) LaunchSalvo();
    DrawSparks();
    FGl.Flush();
    if (FDoubleBuffered) FGraphics.SwapBuffers(FDC);
}

void TVeloraEngine::ResetClock() { FLastFrameTick = 0; }

}  // namespace velora
