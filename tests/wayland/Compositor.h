#pragma once
// What the Wayland tests run: a headless sway of their own (as the
// unprivileged user 65534, which sway insists on, with a fresh runtime
// directory), the programs they start as its clients, and screenshots of
// its outputs.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velora::testing {

using namespace std::chrono_literals;

// Long enough for a loaded two-core machine; conditions end the wait early.
inline constexpr auto kPatience = 30s;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kPatience);

// A program started by a test; killed with its process group if still
// running at the end.
class Child {
public:
    // stdout and stderr go to files in `dir` named after `tag`; with
    // `talk`, stdin and stdout are pipes to the test instead.
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& dir,
          const std::string& tag, bool talk = false);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return FPid; }
    void Signal(int signal) const;
    // The exit code, or 128 + the signal that ended it; empty on a timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout = kPatience);
    bool Running();
    std::string Stderr() const;
    // Writes a line and waits for the program's one-line answer.
    std::string Ask(const std::string& line, std::chrono::milliseconds timeout = kPatience);
    std::string ReadLine(std::chrono::milliseconds timeout = kPatience);

private:
    pid_t FPid = -1;
    std::optional<int> FStatus;
    std::string FStderrPath;
    int FIn = -1;
    int FOut = -1;
    std::string FPending;
};

struct Screenshot {
    int Width = 0;
    int Height = 0;
    std::vector<unsigned char> Rgb;

    // Pixels that are clearly coloured: not black, white or the grey of an
    // empty sway output.
    int ColouredPixels() const;
    bool operator==(const Screenshot& other) const = default;
};

class HeadlessSway {
public:
    // `outputs` headless outputs of 1280x720 side by side.
    explicit HeadlessSway(int outputs = 2);
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway&) = delete;
    HeadlessSway& operator=(const HeadlessSway&) = delete;

    bool Started() const { return FStarted; }
    const std::string& Dir() const { return FDir; }
    std::string Log() const;
    // The environment of a client: PATH, the runtime directory, the display.
    std::vector<std::string> ClientEnv() const;
    // Runs a tool to its end; true when it exited with 0.
    bool Run(const std::vector<std::string>& argv, std::string* output = nullptr) const;
    std::optional<Screenshot> Grab(const std::string& output) const;
    // Waits for a picture with at least `pixels` coloured pixels.
    std::optional<Screenshot> WaitForStars(const std::string& output, int pixels = 2000) const;
    // Waits until the output shows `count` pictures in a row that differ from
    // each other: frames drawn after everything sent before was handled.
    bool WaitForFreshFrames(const std::string& output, int count = 2) const;
    Child& Sway() { return *FSway; }

private:
    std::string FDir;
    std::string FRuntime;
    std::string FDisplay;    // the socket's name in FRuntime
    std::string FIpcSocket;  // sway's IPC socket, for swaymsg
    std::unique_ptr<Child> FSway;
    bool FStarted = false;
};

// Whether a line of a program's output holds all of `parts` (a protocol log's
// request or event with the arguments wanted).
bool HasLine(const std::string& text, const std::vector<std::string>& parts);

// The sanitizers' settings of the test, for the programs it starts.
std::vector<std::string> SanitizerEnv();

// The program under test and the test's pointer device.
std::string SaverPath();
std::string PointerPath();

}  // namespace velora::testing
