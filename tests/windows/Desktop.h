#pragma once
// What the Windows tests need of the desktop they run on (Wine on an Xvfb
// of their own): programs started and waited for, their windows found,
// pictures of the screen taken, and input sent as a user sends it.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velora::testing {

using namespace std::chrono_literals;

// A program started with a command line of our own making, ended by force
// if it still runs when the test is over.
class Program {
public:
    explicit Program(const std::string& commandLine);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    DWORD Id() const { return FInfo.dwProcessId; }
    // The exit code, or nothing when it still runs after `timeout`.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds timeout);

private:
    PROCESS_INFORMATION FInfo{};
};

// The built programs lie beside the test program.
std::string BuiltProgram(const std::string& name);
// A path of the Linux file system as Wine sees it: drive Z: is the root.
std::string WinePath(std::string path);
// The file named (by its Linux path) in the environment variable, such as
// a signed copy of a built file; `built` where the variable is not set.
std::string FileUnderTest(const char* variable, const std::string& built);

// Waits, handling this thread's messages, until `condition` holds.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15s);

// The visible top-level windows of a process.
std::vector<HWND> VisibleWindows(DWORD processId);
// The first of them, once there is one.
HWND WaitForWindow(DWORD processId, std::chrono::milliseconds timeout = 15s);

std::string ClassOf(HWND hwnd);
std::string TextOf(HWND hwnd);
RECT ClientOnScreen(HWND hwnd);

// Pixels of a rectangle of the screen as 0xRRGGBB, rows top to bottom.
struct Shot {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
    std::uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};
Shot ShootScreen(const RECT& area);
// Pixels of a clear colour: bright and far from grey.
int ColouredPixels(const Shot& shot);

void PressKey(WORD virtualKey);
void ClickAt(int x, int y);

}  // namespace velora::testing
