#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "harness/Image.h"
#include "Process.h"
#include "harness/XConnection.h"
#include "XvfbServer.h"

namespace velora::testing {

using namespace std::chrono_literals;

constexpr auto kPatience = 10s;  // how long anything the program should do may take under llvmpipe
constexpr char kTitle[] = "Velora Skyshow";

std::string VeloraPath();
std::string SkyshowPath();

// Polls `condition` until it holds or `timeout` passes; returns its last answer.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kPatience,
               std::chrono::milliseconds interval = 100ms);

std::vector<std::string> ReadLines(const std::string& path);

// A named command line, for parameterised tests.
struct CommandLine {
    std::string Name;
    std::vector<std::string> Args;
};

void PrintTo(const CommandLine& line, std::ostream* out);

// Test-name generator for parameters that carry a `Name`.
struct ByName {
    template <class Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
        return info.param.Name;
    }
};

// xdotool arguments that move the pointer `count` times along a row, each
// move to a new place so that every one of them is a motion event.
std::vector<std::string> PointerMoves(int count, int y);

// Base fixture: a scratch directory, started programs and the guarantee that
// none of them, nor anything they leave behind, outlives the test.
class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Kills what the test started, after noting anything left behind and,
    // on failure, the evidence.
    void StopPrograms();
    // Checks that no child of ours survives and removes the scratch directory.
    void Finish();

    const std::string& Scratch() const { return FScratch; }

    // Starts `exe` (velora by default) with `args`; stderr goes to a file.
    Process& Launch(const std::vector<std::string>& args, const Environment& env,
                    const std::string& exe = VeloraPath());

    // Waits for the program to end; a test failure if it does not (teardown kills it).
    std::optional<ExitStatus> ExpectExit(Process& process, std::chrono::milliseconds timeout = kPatience);

    // Lets the subclass add what it knows about a failure before processes die.
    virtual void RecordFailureEvidence() {}

    std::vector<std::unique_ptr<Process>> FProcesses;
    std::vector<pid_t> FHarnessPids;  // our own helpers, not the program's leftovers

private:
    std::string FScratch;
    int FSpawned = 0;
};

// A test with its own X server and a client connection to it.
class XSessionTest : public ProcessTest {
protected:
    void SetUp() override;
    void TearDown() override;
    void RecordFailureEvidence() override;

    // More arguments for the test's X server, after its 1024x768x24 screen.
    virtual std::vector<std::string> ServerArguments() const { return {}; }

    XConnection& X() { return *FConnection; }
    const std::string& ServerDisplay() const { return FServer->Display(); }
    Environment ProgramEnvironment() const;

    Process& Launch(const std::vector<std::string>& args, const Environment& extra = {},
                    const std::string& exe = VeloraPath());

    // Runs one xdotool command line on the test's display and waits for it.
    void Xdotool(const std::vector<std::string>& args);

    // The single viewable window titled `name` whose inside has the given size.
    std::optional<WindowInfo> WaitForWindow(const std::string& name, int width, int height,
                                            std::chrono::milliseconds timeout = kPatience);

    // The first viewable window titled `name`, whatever its size.
    std::optional<WindowInfo> WaitForWindowNamed(const std::string& name,
                                                 std::chrono::milliseconds timeout = kPatience);

    // Waits until `area` shows at least `minimum` star pixels; returns the
    // screenshot that did, or the last one taken.
    Image WaitForStars(const Rect& area, int minimum = 10, std::chrono::milliseconds timeout = kPatience);

    // Waits until each of `parts` has shown stars at some point.
    bool WaitForStarsInEach(const std::vector<Rect>& parts, std::chrono::milliseconds timeout = kPatience);
    bool WaitForStarsInAllQuarters(const Rect& area, std::chrono::milliseconds timeout = kPatience);

    // Waits until `area` shows something other than `before`.
    bool WaitForChange(const Image& before, std::chrono::milliseconds timeout = kPatience);

    // Waits until `area` has changed `count` times: the program has drawn
    // frames since, and so has read what it was sent before (it draws when
    // it has no events left to read), however slowly it runs.
    bool WaitForFrames(const Rect& area, int count = 2, std::chrono::milliseconds timeout = kPatience);

    // Waits until two screenshots of `area` taken `gap` apart are the same;
    // returns that picture.
    std::optional<Image> WaitForStill(const Rect& area, std::chrono::milliseconds gap,
                                      std::chrono::milliseconds timeout = kPatience);

private:
    std::unique_ptr<velora::testing::XvfbServer> FServer;
    std::unique_ptr<XConnection> FConnection;
};

}  // namespace velora::testing
