#include "harness/Session.h"

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

namespace velora::testing {

std::string VeloraPath() { return VELORA_EXE; }
std::string SkyshowPath() { return VELORA_SKYSHOW_EXE; }

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(interval);
    }
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void PrintTo(const CommandLine& line, std::ostream* out) {
    *out << line.Name << ":";
    for (const auto& arg : line.Args) *out << " " << arg;
}

std::vector<std::string> PointerMoves(int count, int y) {
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        args.insert(args.end(), {"mousemove", std::to_string(100 + 20 * i), std::to_string(y)});
    }
    return args;
}

void ProcessTest::SetUp() {
    BecomeSubreaper();
    std::string pattern = (std::filesystem::temp_directory_path() / "velora-it-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "cannot create a scratch directory";
    FScratch = pattern;
}

void ProcessTest::TearDown() {
    StopPrograms();
    Finish();
}

Process& ProcessTest::Launch(const std::vector<std::string>& args, const Environment& env, const std::string& exe) {
    SpawnOptions options;
    options.Argv.push_back(exe);
    options.Argv.insert(options.Argv.end(), args.begin(), args.end());
    options.Env = env;
    const std::string tag = std::filesystem::path(exe).filename().string() + "-" + std::to_string(++FSpawned);
    options.StdoutPath = FScratch + "/" + tag + ".out";
    options.StderrPath = FScratch + "/" + tag + ".err";
    FProcesses.push_back(std::make_unique<Process>(options));
    return *FProcesses.back();
}

std::optional<ExitStatus> ProcessTest::ExpectExit(Process& process, std::chrono::milliseconds timeout) {
    auto status = process.Wait(timeout);
    if (!status) {
        ADD_FAILURE() << process.Name() << " is still running after " << timeout.count() << " ms";
    }
    return status;
}

void ProcessTest::StopPrograms() {
    if (HasFailure()) {
        RecordFailureEvidence();
        for (const auto& process : FProcesses) {
            std::cerr << "--- stderr of " << process->Name() << " (pid " << process->Pid() << ") ---\n"
                      << ReadFile(process->StderrPath()) << "---\n";
        }
    }
    std::vector<pid_t> known = FHarnessPids;
    for (const auto& process : FProcesses) known.push_back(process->Pid());
    for (const ProcessInfo& child : ChildrenOfThisProcess()) {
        if (std::find(known.begin(), known.end(), child.Pid) != known.end()) continue;
        // As subreaper we inherit whatever the program's children outlive it
        // with. One on its way out (caught in the middle of its exit, or a
        // daemon's short probe such as xscreensaver-gl-visual, orphaned as
        // the daemon ended) is a zombie a moment later; one still running
        // after that has been left behind.
        const auto exited = [&] {
            for (const ProcessInfo& now : ChildrenOfThisProcess())
                if (now.Pid == child.Pid) return now.State == 'Z';
            return true;
        };
        if (child.State != 'Z' && !WaitUntil(exited, 5s, 10ms)) {
            ADD_FAILURE() << "left running after the program ended: pid " << child.Pid << ": " << child.CommandLine;
            ::kill(child.Pid, SIGKILL);
        }
        ReapZombie(child.Pid);
    }
    FProcesses.clear();
}

void ProcessTest::Finish() {
    for (const ProcessInfo& child : ChildrenOfThisProcess()) {
        if (child.State != 'Z') {
            ADD_FAILURE() << "process survived the test's clean-up: pid " << child.Pid << ": " << child.CommandLine;
            ::kill(child.Pid, SIGKILL);
        }
        ReapZombie(child.Pid);
    }
    if (!FScratch.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(FScratch, ec);
    }
}

void XSessionTest::SetUp() {
    ProcessTest::SetUp();
    if (HasFatalFailure()) return;
    FServer = std::make_unique<velora::testing::XvfbServer>(1024, 768, ServerArguments());
    ASSERT_TRUE(FServer->Running()) << FServer->Failure();
    FHarnessPids.push_back(FServer->Pid());
    try {
        FConnection = std::make_unique<XConnection>(FServer->Display());
    } catch (const std::exception& e) {
        FAIL() << e.what();
    }
}

void XSessionTest::TearDown() {
    StopPrograms();
    FConnection.reset();
    FServer.reset();
    Finish();
}

Environment XSessionTest::ProgramEnvironment() const {
    Environment env = InheritedEnvironment();
    env["DISPLAY"] = FServer->Display();
    return env;
}

Process& XSessionTest::Launch(const std::vector<std::string>& args, const Environment& extra, const std::string& exe) {
    Environment env = ProgramEnvironment();
    for (const auto& [key, value] : extra) env[key] = value;
    return ProcessTest::Launch(args, env, exe);
}

void XSessionTest::RecordFailureEvidence() {
    if (!FConnection) return;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    std::replace(name.begin(), name.end(), '/', '_');
    const std::filesystem::path dir = VELORA_IT_ARTIFACT_DIR;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string ppm = Scratch() + "/screen.ppm";
    const std::string png = (dir / (name + ".png")).string();
    try {
        FConnection->GrabScreen().SavePpm(ppm);
        SpawnOptions options;
        options.Argv = {"convert", ppm, png};
        options.Env = InheritedEnvironment();
        Process convert(options);
        const auto status = convert.Wait(kPatience);
        if (status && status->Exited && status->Code == 0) {
            std::cerr << "screenshot of the failure: " << png << "\n";
        } else {
            std::cerr << "could not convert the failure screenshot to " << png << "\n";
        }
    } catch (const std::exception& e) {
        std::cerr << "no failure screenshot: " << e.what() << "\n";
    }
}

void XSessionTest::Xdotool(const std::vector<std::string>& args) {
    SpawnOptions options;
    options.Argv = {"xdotool"};
    options.Argv.insert(options.Argv.end(), args.begin(), args.end());
    options.Env = ProgramEnvironment();
    options.StderrPath = Scratch() + "/xdotool.err";
    Process tool(options);
    const auto status = tool.Wait(kPatience);
    ASSERT_TRUE(status) << "xdotool hung";
    ASSERT_TRUE(status->Exited && status->Code == 0)
        << "xdotool failed with " << *status << ": " << ReadFile(options.StderrPath);
}

std::optional<WindowInfo> XSessionTest::WaitForWindow(const std::string& name, int width, int height,
                                                      std::chrono::milliseconds timeout) {
    std::optional<WindowInfo> found;
    WaitUntil(
        [&] {
            for (const WindowInfo& w : X().ViewableWindowsNamed(name)) {
                if (w.Bounds.Width == width && w.Bounds.Height == height) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::optional<WindowInfo> XSessionTest::WaitForWindowNamed(const std::string& name, std::chrono::milliseconds timeout) {
    std::optional<WindowInfo> found;
    WaitUntil(
        [&] {
            const auto windows = X().ViewableWindowsNamed(name);
            if (!windows.empty()) found = windows.front();
            return found.has_value();
        },
        timeout);
    return found;
}

Image XSessionTest::WaitForStars(const Rect& area, int minimum, std::chrono::milliseconds timeout) {
    Image shot;
    WaitUntil(
        [&] {
            shot = X().Grab(area);
            return shot.CountStarPixels(area) >= minimum;
        },
        timeout);
    return shot;
}

bool XSessionTest::WaitForStarsInEach(const std::vector<Rect>& parts, std::chrono::milliseconds timeout) {
    Rect bounds = parts.front();
    for (const Rect& part : parts) {
        const int right = std::max(bounds.X + bounds.Width, part.X + part.Width);
        const int bottom = std::max(bounds.Y + bounds.Height, part.Y + part.Height);
        bounds.X = std::min(bounds.X, part.X);
        bounds.Y = std::min(bounds.Y, part.Y);
        bounds.Width = right - bounds.X;
        bounds.Height = bottom - bounds.Y;
    }
    std::vector<bool> seen(parts.size(), false);
    return WaitUntil(
        [&] {
            const Image shot = X().Grab(bounds);
            for (std::size_t i = 0; i < parts.size(); ++i) seen[i] = seen[i] || shot.CountStarPixels(parts[i]) > 0;
            return std::all_of(seen.begin(), seen.end(), [](bool s) { return s; });
        },
        timeout, 200ms);
}

bool XSessionTest::WaitForStarsInAllQuarters(const Rect& area, std::chrono::milliseconds timeout) {
    const int hw = area.Width / 2;
    const int hh = area.Height / 2;
    return WaitForStarsInEach({Rect{area.X, area.Y, hw, hh}, Rect{area.X + hw, area.Y, area.Width - hw, hh},
                               Rect{area.X, area.Y + hh, hw, area.Height - hh},
                               Rect{area.X + hw, area.Y + hh, area.Width - hw, area.Height - hh}},
                              timeout);
}

bool XSessionTest::WaitForChange(const Image& before, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return !(X().Grab(before.Area()) == before); }, timeout);
}

bool XSessionTest::WaitForFrames(const Rect& area, int count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Image last = X().Grab(area);
    for (int i = 0; i < count; ++i) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!WaitForChange(last, left)) return false;
        last = X().Grab(area);
    }
    return true;
}

std::optional<Image> XSessionTest::WaitForStill(const Rect& area, std::chrono::milliseconds gap,
                                                std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Image previous = X().Grab(area);
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(gap);
        Image current = X().Grab(area);
        if (current == previous) return current;
        previous = std::move(current);
    }
    return std::nullopt;
}

}  // namespace velora::testing
