// velora-sim: the engine on a virtual window with a scripted clock. Renders
// the requested frames and prints the engine's whole state as JSON Lines.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "SimGl.h"
#include "VirtualWindow.h"
#include "base/Errors.h"
#include "base/FloatingPoint.h"
#include "base/Random.h"
#include "engine/VeloraCore.h"

namespace {

using namespace velora;

constexpr const char* kUsage =
    "usage: velora-sim [--width W] [--height H] [--small] [--single-buffered] [--seed S]\n"
    "                  [--tick T] [--probe A,B] [--frames N] [--step L1,L2,...]\n"
    "                  [--resize K:WxH]... [--reset K]... [--gl FILE]\n";

struct Resize {
    std::uint64_t Frame;
    int Width;
    int Height;
};

struct Options {
    int Width = 1024;
    int Height = 768;
    bool Small = false;
    bool DoubleBuffered = true;
    std::uint64_t Seed = 1;
    std::uint32_t Tick = 1000;
    std::uint32_t ProbeA = 0;
    std::uint32_t ProbeB = 0;
    std::uint64_t Frames = 0;
    std::vector<std::uint32_t> Steps{16};
    std::vector<Resize> Resizes;
    std::vector<std::uint64_t> Resets;
    std::string GlFile;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::uint64_t ParseNumber(std::string_view text, std::uint64_t max, const char* what) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || value > max)
        throw UsageError(std::string("invalid ") + what + " '" + std::string(text) + "' (0.." + std::to_string(max) +
                         ")");
    return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

constexpr std::uint64_t kMaxSize = 32767;
constexpr std::uint64_t kMaxTick = 0xFFFFFFFFu;
constexpr std::uint64_t kMaxFrames = 0x7FFFFFFF;

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view opt = argv[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= argc) throw UsageError("option " + std::string(opt) + " needs a value");
            return argv[++i];
        };
        if (opt == "--width") {
            o.Width = static_cast<int>(ParseNumber(value(), kMaxSize, "width"));
        } else if (opt == "--height") {
            o.Height = static_cast<int>(ParseNumber(value(), kMaxSize, "height"));
        } else if (opt == "--small") {
            o.Small = true;
        } else if (opt == "--single-buffered") {
            o.DoubleBuffered = false;
        } else if (opt == "--seed") {
            o.Seed = ParseNumber(value(), UINT64_MAX, "seed");
        } else if (opt == "--tick") {
            o.Tick = static_cast<std::uint32_t>(ParseNumber(value(), kMaxTick, "tick"));
        } else if (opt == "--probe") {
            const auto parts = Split(value(), ',');
            if (parts.size() != 2) throw UsageError("--probe needs two times A,B");
            o.ProbeA = static_cast<std::uint32_t>(ParseNumber(parts[0], kMaxTick, "probe time"));
            o.ProbeB = static_cast<std::uint32_t>(ParseNumber(parts[1], kMaxTick, "probe time"));
        } else if (opt == "--frames") {
            o.Frames = ParseNumber(value(), kMaxFrames, "frame count");
        } else if (opt == "--step") {
            o.Steps.clear();
            for (const auto part : Split(value(), ','))
                o.Steps.push_back(static_cast<std::uint32_t>(ParseNumber(part, kMaxTick, "step")));
        } else if (opt == "--resize") {
            const std::string_view request = value();
            const auto colon = Split(request, ':');
            const auto size = colon.size() == 2 ? Split(colon[1], 'x') : std::vector<std::string_view>{};
            if (size.size() != 2) throw UsageError("--resize needs K:WxH, got '" + std::string(request) + "'");
            o.Resizes.push_back({ParseNumber(colon[0], kMaxFrames, "frame"),
                                 static_cast<int>(ParseNumber(size[0], kMaxSize, "width")),
                                 static_cast<int>(ParseNumber(size[1], kMaxSize, "height"))});
        } else if (opt == "--reset") {
            o.Resets.push_back(ParseNumber(value(), kMaxFrames, "frame"));
        } else if (opt == "--gl") {
            o.GlFile = value();
            if (o.GlFile.empty()) throw UsageError("--gl needs a file name");
        } else {
            throw UsageError("unknown option '" + std::string(opt) + "'");
        }
    }
    return o;
}

void PrintState(const TVeloraEngine& e) {
    const sim::GlSwitches gl = sim::CurrentSwitches();
    std::printf(
        "{\"FWidth\":%.9g,\"FHeight\":%.9g,\"FBudget\":%d,\"FLiveCount\":%d,\"FSearchHint\":%d,"
        "\"FLastSalvoTick\":%u,\"FLastFrameTick\":%u,\"FSalvoDelay\":%d,\"RandSeed\":%u,"
        "\"Smooth\":%s,\"Blend\":%s}\n",
        e.Width(), e.Height(), e.Budget(), e.LiveCount(), e.SearchHint(), e.LastSalvoTick(), e.LastFrameTick(),
        e.SalvoDelay(), RandSeed, gl.LineSmooth ? "true" : "false", gl.Blend ? "true" : "false");
    for (int i = 0; i < kPoolSize; ++i) {
        const Spark& s = e.SparkAt(i);
        if (!s.Alive) continue;
        std::printf(
            "{\"i\":%d,\"X\":%.9g,\"Y\":%.9g,\"Z\":%.9g,\"Points\":%.9g,\"Radius\":%.9g,"
            "\"InnerRatio\":%.9g,\"Angle\":%.9g,\"LineWidth\":%.9g,\"Red\":%.9g,\"Green\":%.9g,"
            "\"Blue\":%.9g,\"Alpha\":%.9g,\"Spin\":%.9g,\"Heading\":%.9g,\"Speed\":%.9g,\"Copies\":%d}\n",
            i, s.X, s.Y, s.Z, s.Points, s.Radius, s.InnerRatio, s.Angle, s.LineWidth, s.Red, s.Green, s.Blue, s.Alpha,
            s.Spin, s.Heading, s.Speed, s.Copies);
    }
}

int Run(const Options& o) {
    std::FILE* trace = nullptr;
    if (!o.GlFile.empty()) {
        trace = std::fopen(o.GlFile.c_str(), "wb");
        if (trace == nullptr) {
            std::fprintf(stderr, "velora-sim: cannot write '%s': %s\n", o.GlFile.c_str(), std::strerror(errno));
            return 2;
        }
    }
    sim::VirtualWindow window(o.Width, o.Height);
    window.Trace = trace;
    sim::ScriptedClock clock(o.Tick);
    clock.Counter = o.Seed;
    clock.ProbeTimes = {o.ProbeA, o.ProbeB};

    auto engine = std::make_unique<TVeloraEngine>(window, clock, WindowHandle{1}, o.DoubleBuffered, o.Small);
    clock.Constructing = false;
    for (std::uint64_t k = 0; k < o.Frames; ++k) {
        for (const Resize& r : o.Resizes) {
            if (r.Frame != k) continue;
            window.OuterRect = Rect{0, 0, r.Width, r.Height};
            engine->SetupViewport();
        }
        for (const std::uint64_t reset : o.Resets)
            if (reset == k) engine->ResetClock();
        clock.Now += o.Steps[k % o.Steps.size()];
        engine->RenderFrame();
    }
    PrintState(*engine);
    engine.reset();
    if (trace != nullptr && std::fclose(trace) != 0) {
        std::fprintf(stderr, "velora-sim: writing '%s' failed\n", o.GlFile.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The same bytes as on Linux: no carriage return before each line feed.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    velora::SetFloatingPointState();
    Options options;
    try {
        options = ParseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "velora-sim: %s\n%s", e.what(), kUsage);
        return 2;
    }
    try {
        return Run(options);
    } catch (const velora::Exception& e) {
        std::fprintf(stderr, "velora-sim: %s\n", e.what());
        return 1;
    }
}
