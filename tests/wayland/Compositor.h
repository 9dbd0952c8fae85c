#pragma once
// What the Wayland tests run: a compositor of their own (headless sway,
// weston or KWin) in a scratch directory of their own, the programs they
// start as its clients, and what those programs log of the protocol.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Process.h"
#include "Screenshot.h"

namespace velora::testing {

using namespace std::chrono_literals;

// Long enough for a loaded two-core machine; conditions end the wait early.
inline constexpr auto kPatience = 30s;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kPatience);

// Base fixture: skips, saying why, where a program it runs is not installed;
// gives the test a scratch directory; kills what the test started, last
// first, and removes the directory at the end.
class CompositorTest : public ::testing::Test {
protected:
    // `programs`: the absolute paths of what the fixture runs.
    explicit CompositorTest(std::vector<std::string> programs) : FPrograms(std::move(programs)) {}

    void SetUp() override;
    void TearDown() override;

    const std::string& Dir() const { return FDir; }
    // Starts argv[0] (an absolute path) with `env`; stdout and stderr go to
    // files in Dir(), or with `talk` stdin and stdout are pipes to the test.
    Process& Start(const std::vector<std::string>& argv, const Environment& env, bool talk = false);

private:
    std::vector<std::string> FPrograms;
    std::string FDir;
    std::vector<std::unique_ptr<Process>> FChildren;
};

// KWin's virtual backend with two outputs of 1280x720, on a socket in the
// test's scratch directory.
class KWinTest : public CompositorTest {
protected:
    KWinTest() : CompositorTest({"/usr/bin/kwin_wayland"}) {}

    // Starts it with `options` added and waits for its socket; gives a
    // client's environment, with the sanitizers' options and the protocol
    // log (WAYLAND_DEBUG) on.
    Environment StartKWin(const std::vector<std::string>& options = {});
};

// A headless sway (as the unprivileged user 65534, which sway insists on,
// with a fresh runtime directory) with outputs of 1280x720 side by side.
class SwayTest : public CompositorTest {
protected:
    explicit SwayTest(int outputs = 2);

    void SetUp() override;
    void TearDown() override;

    // The environment of a client: PATH, the runtime directory, the display.
    Environment ClientEnv() const;
    // Starts a client of sway with ClientEnv() and `extraEnv`.
    Process& StartClient(const std::vector<std::string>& argv, bool talk = false, const Environment& extraEnv = {});
    // Runs a tool to its end; true when it exited with 0.
    bool Run(const std::vector<std::string>& argv, std::string* output = nullptr);
    std::optional<Screenshot> Grab(const std::string& output);
    // Waits for a picture with at least `pixels` coloured pixels.
    std::optional<Screenshot> WaitForStars(const std::string& output, int pixels = 2000);
    // Waits until the output shows `count` pictures in a row that differ from
    // each other: frames drawn after everything sent before was handled.
    bool WaitForFreshFrames(const std::string& output, int count = 2);
    Process& Sway() { return *FSway; }

private:
    int FOutputs;
    std::string FRuntime;
    std::string FDisplay;    // the socket's name in FRuntime
    std::string FIpcSocket;  // sway's IPC socket, for swaymsg
    Process* FSway = nullptr;
    int FTools = 0;
};

// What a client's protocol log (WAYLAND_DEBUG=1 on its stderr) tells.
namespace protocol {

// Whether a line of the log holds all of `parts` (a request or event with
// the arguments wanted).
bool HasLine(const std::string& log, const std::vector<std::string>& parts);

// How many lines of the log hold all of `parts`.
int CountLines(const std::string& log, const std::vector<std::string>& parts);

// What is left of `log` without the protocol log's lines.
std::string ProgramMessages(const std::string& log);

struct BufferSize {
    int Width = 0;
    int Height = 0;
};
// The sizes as "1280x720 640x360 ...", for failure messages.
std::string Describe(const std::vector<BufferSize>& sizes);

// The sizes of the buffers attached to the client's surfaces from the
// position `from` of the log on, in order. Each attach must name a buffer
// whose creation the log shows with its size (wl_shm_pool.create_buffer):
// a log in a form this does not read throws, so that no test passes on a
// log it cannot see into.
std::vector<BufferSize> AttachedBufferSizes(const std::string& log, std::size_t from = 0);

// How many pointer motions the client has taken from its compositor.
int PointerMotions(const std::string& log);

}  // namespace protocol

// The sanitizers' settings of the test, for the programs it starts.
Environment SanitizerEnv();

// The program under test and the test's pointer device.
std::string SaverPath();
std::string PointerPath();

}  // namespace velora::testing
