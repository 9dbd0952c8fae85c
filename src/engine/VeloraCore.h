#pragma once
// TVeloraEngine: the star-burst engine. It owns the rendering context of one
// window, a fixed pool of 10000 sparks, the salvo generator, the motion step
// and the drawing. Everything runs on the GUI thread with the engine's
// context current from construction to destruction.
//
// The engine computes in 80-bit extended precision (long double) and rounds
// to float exactly where a value is stored into a field or passed as a
// single-precision parameter; the order of the random draws is fixed.
#include <cstdint>

#include "base/Clock.h"
#include "base/Extended.h"
#include "base/Handles.h"
#include "engine/GlApi.h"
#include "engine/GraphicsBinding.h"

namespace velora {

inline constexpr int kPoolSize = 10000;

struct Spark {
    bool Alive;
    float X;
    float Y;
    float Z;
    float Points;
    float Radius;
    float InnerRatio;
    float Angle;
    float LineWidth;
    float Red;
    float Green;
    float Blue;
    float Alpha;
    float Spin;
    float Heading;
    float Speed;
    std::int32_t Copies;
};

class TVeloraEngine {
public:
    // Takes the window's drawing surface, loads OpenGL, creates and activates
    // the rendering context, sizes the projection and budget, probes the
    // drawing speed, seeds the process's generator and launches the first
    // salvo. Raises Exception (or EOSError from the platform) on failure,
    // after giving back whatever it had taken.
    TVeloraEngine(GraphicsBinding& graphics, Clock& clock, WindowHandle wnd, bool doubleBuffered, bool smallMode);
    ~TVeloraEngine();
    TVeloraEngine(const TVeloraEngine&) = delete;
    TVeloraEngine& operator=(const TVeloraEngine&) = delete;

    // Pool and salvos.
    std::int32_t FindFreeSlot();
    void SpawnSpark(float X, float Y, float Hue1, float Hue2, float Hue3, float SpeedRange);
    void LaunchSalvo();

    // Motion.
    void StepSparks(std::uint32_t Elapsed);

    // Drawing and frames.
    void DrawStar(float X, float Y, float Z, float Points, float Radius, float InnerRatio, float Angle, float LineWidth,
                  float Red, float Green, float Blue, float Alpha);
    void DrawSparks();
    void RenderFrame();
    void ResetClock();

    // Context, viewport and the quality probe.
    void SetupViewport();
    std::uint32_t ProbeDraw(std::int32_t count);
    void ProbeSpeed();

    // Read access for hosts, tests and the simulator.
    WindowHandle Wnd() const { return FWnd; }
    DeviceContext DC() const { return FDC; }
    RenderingContext RC() const { return FRC; }
    std::int32_t Budget() const { return FBudget; }
    std::int32_t LiveCount() const { return FLiveCount; }
    std::int32_t SearchHint() const { return FSearchHint; }
    const Spark& SparkAt(int i) const { return FSparks[i]; }
    float Width() const { return FWidth; }
    float Height() const { return FHeight; }
    Tick LastSalvoTick() const { return FLastSalvoTick; }
    Tick LastFrameTick() const { return FLastFrameTick; }
    std::int32_t SalvoDelay() const { return FSalvoDelay; }
    bool DoubleBuffered() const { return FDoubleBuffered; }
    bool SmallMode() const { return FSmallMode; }

private:
    friend struct EngineBackdoor;  // tests and benchmarks arrange pool states

    void InitGraphics();
    void DoneGraphics() noexcept;
    void DrawSparkOutlines(const Spark& s);

    WindowHandle FWnd = 0;
    DeviceContext FDC = 0;
    std::int32_t FBudget = 0;
    RenderingContext FRC = 0;
    std::int32_t FLiveCount = 0;
    std::int32_t FSearchHint = 0;
    Spark FSparks[kPoolSize] = {};
    float FWidth = 0;
    float FHeight = 0;
    Tick FLastSalvoTick = 0;
    Tick FLastFrameTick = 0;
    std::int32_t FSalvoDelay = 0;
    bool FDoubleBuffered = false;
    bool FSmallMode = false;

    // The sine and cosine of each slot's heading, for the heading whose bits
    // they were computed for: a spark keeps its heading for life, and the
    // motion step then skips its extended-precision SinCos.
    struct HeadingTrig {
        bool Valid;
        std::uint32_t HeadingBits;
        ext Sine;
        ext Cosine;
    };
    HeadingTrig FHeadingTrig[kPoolSize] = {};

    // The seams to the window system, the clock and the OpenGL library.
    GraphicsBinding& FGraphics;
    Clock& FClock;
    GlApi FGl;
};

}  // namespace velora
