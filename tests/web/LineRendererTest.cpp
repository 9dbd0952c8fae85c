// The web build's line renderer against OpenGL: one frame of the engine at a
// fixed seed and clock, drawn by Mesa's OpenGL (llvmpipe) on Xvfb through the
// X11 backend and by WebGlLines in headless Chromium (SwiftShader's WebGL 2),
// compared pixel by pixel.
#include <gtest/gtest.h>

#include "platform/Platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "EngineRig.h"
#include "GlCallReplay.h"
#include "Process.h"
#include "Screenshot.h"
#include "XvfbServer.h"
#include "base/Errors.h"

namespace velora::testing {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
// Four seconds in 50 ms frames: several salvos in flight.
constexpr int kFrames = 80;
constexpr Tick kFrameStep = 50;
constexpr auto kPatience = std::chrono::seconds(90);

// A pixel differs when one of its channels is more than kChannelTolerance
// apart; the pictures agree when at most a given share of the pixels lit in
// either picture differ, and the light of the web picture (the sum of all
// its channels) is within kLightTolerance of OpenGL's. Smooth lines must
// agree closely: a renderer drawing aliased lines, one pixel or a width
// wide, lights other pixels fully instead of shading a smooth line's edges.
// OpenGL's aliased lines follow the diamond-exit rule, which a hard-edged
// parallelogram only approximates at the segments' ends.
constexpr int kChannelTolerance = 24;
constexpr double kLightTolerance = 0.03;

struct Smoothing {
    const char* Name;
    const char* Calls;  // after the engine's own set-up
    double DifferingShare;
};

void PrintTo(const Smoothing& smoothing, std::ostream* out) { *out << smoothing.Name; }

// As the engine draws on a fast device, on a slow one, whose probe has
// turned smoothing off, and on a slower one, whose second probe has turned
// blending off too.
constexpr Smoothing kSmooth{"Smooth", "", 0.01};
constexpr Smoothing kAliased{"Aliased", "glDisable 2848\n", 0.08};
constexpr Smoothing kUnblended{"Unblended", "glDisable 2848\nglDisable 3042\n", 0.08};

// The engine's calls: the state it set up at its start (its speed probe's
// outlines left out), then the whole of its last frame.
struct EngineFrame {
    std::string SetUp;
    std::string Frame;
    int LiveSparks = 0;
};

bool IsDrawing(const std::string& call) {
    for (const char* name : {"glBegin", "glVertex3f", "glEnd", "glLineWidth", "glColor4f"})
        if (call.starts_with(name)) return true;
    return false;
}

EngineFrame RenderEngineFrame() {
    EngineRig rig(kWidth, kHeight);
    GlCapture capture;
    rig.Window.Trace = capture.File();
    auto engine = rig.Make();
    EngineFrame frame;
    for (const std::string& call : capture.Take())
        if (!IsDrawing(call)) frame.SetUp += call + '\n';
    std::vector<std::string> last;
    for (int k = 0; k < kFrames; ++k) {
        rig.Clock.Now += kFrameStep;
        engine->RenderFrame();
        last = capture.Take();
    }
    for (const std::string& call : last) frame.Frame += call + '\n';
    frame.LiveSparks = engine->LiveCount();
    return frame;
}

// The frame as the X11 backend draws it with the system's OpenGL, read back
// from the window.
std::optional<Screenshot> DrawnByOpenGl(const std::string& calls, std::string& failure) {
    XvfbServer server(kWidth, kHeight);
    if (!server.Running()) {
        failure = server.Failure();
        return std::nullopt;
    }
    auto app = platform::CreateApplication(server.Display());
    platform::WindowSpec popup;
    popup.Kind = platform::WindowKind::Popup;
    popup.Bounds = Rect{0, 0, kWidth, kHeight};
    popup.OpenGl = ContextOption::DoubleBuffered;
    auto window = app->OpenWindow(popup, nullptr);
    window->Show();
    app->ProcessMessages();

    GraphicsBinding& graphics = app->Graphics();
    GlApi gl;
    const DeviceContext dc = graphics.GetDC(window->Handle());
    if (dc == 0 || !graphics.InitOpenGL("libGL.so.1", nullptr, gl)) {
        failure = "no OpenGL on the X server";
        return std::nullopt;
    }
    ContextRequest request;
    request.Options = ContextOption::DoubleBuffered;
    const RenderingContext rc = graphics.CreateRenderingContext(dc, request);
    graphics.MakeCurrent(dc, rc);
    if (!ReplayGlCalls(calls, gl)) {
        failure = "unreadable calls";
        return std::nullopt;
    }
    graphics.SwapBuffers(dc);

    Display* display = XOpenDisplay(server.Display().c_str());
    // Its round trip comes after the swap's: the window shows the frame.
    app->IsWindow(window->Handle());
    XImage* image = XGetImage(display, window->Handle(), 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    Screenshot shot{kWidth, kHeight, {}};
    for (int y = 0; image != nullptr && y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            shot.Rgb.insert(shot.Rgb.end(),
                            {static_cast<unsigned char>(pixel >> 16), static_cast<unsigned char>(pixel >> 8),
                             static_cast<unsigned char>(pixel)});
        }
    }
    if (image != nullptr) XDestroyImage(image);
    XCloseDisplay(display);
    graphics.MakeCurrent(0, 0);
    graphics.DeleteContext(rc);
    graphics.ReleaseDC(window->Handle(), dc);
    if (shot.Rgb.empty()) failure = "the window could not be read";
    return shot.Rgb.empty() ? std::nullopt : std::optional(shot);
}

// A JavaScript string literal of `text`.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '\n' ? std::string("\\n") : std::string(1, c);
    return quoted + '"';
}

std::optional<ExitStatus> RunToEnd(const std::vector<std::string>& argv, const std::string& stderrPath) {
    SpawnOptions options;
    options.Argv = argv;
    options.Env = InheritedEnvironment();
    options.StderrPath = stderrPath;
    Process process(options);
    return process.Wait(kPatience);
}

// Opens the page on `calls` in headless Chromium with `flags`, its
// screenshot going to dir/page.png. Chromium takes the screenshot after the
// page's load event, and the page has drawn by then: its WebAssembly is
// compiled and run synchronously. What the page said on its console:
// "line renderer: drawn", or its failure; empty when Chromium failed.
std::string RunPage(const std::string& calls, const std::filesystem::path& dir, const std::vector<std::string>& flags) {
    namespace fs = std::filesystem;
    const fs::path page(VELORA_LINE_RENDERER_PAGE);
    fs::copy_file(page, dir / page.filename(), fs::copy_options::overwrite_existing);
    fs::copy_file(page.parent_path() / "line-renderer.js", dir / "line-renderer.js",
                  fs::copy_options::overwrite_existing);
    std::ofstream(dir / "frame.js") << "var veloraFrame = {width: " << kWidth << ", height: " << kHeight
                                    << ", calls: " << Quoted(calls) << "};\n";

    std::vector<std::string> argv = {"chromium",
                                     "--headless",
                                     "--no-sandbox",
                                     "--use-angle=swiftshader",
                                     "--enable-unsafe-swiftshader",
                                     "--force-device-scale-factor=1",
                                     "--force-color-profile=srgb",
                                     "--hide-scrollbars",
                                     "--user-data-dir=" + (dir / "profile").string(),
                                     "--enable-logging=stderr",
                                     "--v=0",
                                     "--window-size=" + std::to_string(kWidth) + "," + std::to_string(kHeight),
                                     "--screenshot=" + (dir / "page.png").string()};
    argv.insert(argv.end(), flags.begin(), flags.end());
    argv.push_back("file://" + (dir / page.filename()).string());
    const std::string log = (dir / "chromium.log").string();
    if (RunToEnd(argv, log) != ExitedWith(0)) return {};
    const std::string text = ReadFile(log);
    const auto said = text.find("line renderer: ");
    return said == std::string::npos ? text : text.substr(said, text.find('"', said) - said);
}

// The frame as the page draws it, from its screenshot.
std::optional<Screenshot> DrawnByTheWebPage(const std::string& calls, const std::filesystem::path& dir,
                                            std::string& failure) {
    const std::string said = RunPage(calls, dir, {});
    if (said != "line renderer: drawn") {
        failure = "the page did not draw the frame: " + said;
        return std::nullopt;
    }
    const auto converted = RunToEnd(
        {"convert", (dir / "page.png").string(), "-depth", "8", "ppm:" + (dir / "page.ppm").string()}, "/dev/null");
    auto shot = ParsePpm(ReadFile((dir / "page.ppm").string()));
    if (converted != ExitedWith(0) || !shot) failure = "the screenshot could not be read";
    return shot;
}

struct Comparison {
    long LitPixels = 0;
    long DifferingPixels = 0;
    int LargestDifference = 0;
    double LightRatio = 0;  // web over OpenGL
};

Comparison Compare(const Screenshot& opengl, const Screenshot& web) {
    Comparison result;
    double openglLight = 0;
    double webLight = 0;
    for (std::size_t i = 0; i + 2 < opengl.Rgb.size(); i += 3) {
        bool lit = false;
        int difference = 0;
        for (std::size_t c = i; c < i + 3; ++c) {
            lit = lit || opengl.Rgb[c] > 0 || web.Rgb[c] > 0;
            difference = std::max(difference, std::abs(opengl.Rgb[c] - web.Rgb[c]));
            openglLight += opengl.Rgb[c];
            webLight += web.Rgb[c];
        }
        result.LitPixels += lit ? 1 : 0;
        result.DifferingPixels += difference > kChannelTolerance ? 1 : 0;
        result.LargestDifference = std::max(result.LargestDifference, difference);
    }
    result.LightRatio = openglLight > 0 ? webLight / openglLight : 0;
    return result;
}

// The temporary directory of the page, its frame and its screenshot.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        char pattern[] = "/tmp/velora-line-renderer-XXXXXX";
        if (mkdtemp(pattern) != nullptr) FPath = pattern;
    }
    ~TemporaryDirectory() {
        if (!FPath.empty()) std::filesystem::remove_all(FPath);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

class LineRendererTest : public ::testing::TestWithParam<Smoothing> {};

TEST_P(LineRendererTest, DrawsTheEnginesFrameAsOpenGlDoes) {
    const EngineFrame frame = RenderEngineFrame();
    ASSERT_GT(frame.LiveSparks, 1500);
    const std::string calls = frame.SetUp + GetParam().Calls + frame.Frame;
    std::string failure;
    const auto opengl = DrawnByOpenGl(calls, failure);
    ASSERT_TRUE(opengl) << failure;
    const TemporaryDirectory dir;
    ASSERT_FALSE(dir.Path().empty());
    const auto web = DrawnByTheWebPage(calls, dir.Path(), failure);
    ASSERT_TRUE(web) << failure;
    ASSERT_EQ(web->Width, kWidth);
    ASSERT_EQ(web->Height, kHeight);
    EXPECT_GT(opengl->ColouredPixels(), 20000);

    const Comparison c = Compare(*opengl, *web);
    const double share = static_cast<double>(c.DifferingPixels) / static_cast<double>(c.LitPixels);
    std::cout << GetParam().Name << ": live sparks " << frame.LiveSparks << ", lit pixels " << c.LitPixels
              << ", differing by more than " << kChannelTolerance << ": " << c.DifferingPixels << " (" << share * 100
              << " %), largest difference " << c.LargestDifference << ", light web/OpenGL " << c.LightRatio << "\n";
    EXPECT_LE(share, GetParam().DifferingShare);
    EXPECT_NEAR(c.LightRatio, 1.0, kLightTolerance);
}

// The engine reports a failed context as the platform's error: the page
// shows the text of the exception that CreateRenderingContext raised.
TEST(WebGraphicsTest, ABrowserWithoutWebGl2IsAFailingPlatformStep) {
    const TemporaryDirectory dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::string said = RunPage("glClear 16384\n", dir.Path(), {"--disable-webgl2"});
    EXPECT_NE(said.find(msg::kNoWebGl2), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Lines, LineRendererTest, ::testing::Values(kSmooth, kAliased, kUnblended),
                         [](const ::testing::TestParamInfo<Smoothing>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace velora::testing
