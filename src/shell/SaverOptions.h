#pragma once
// The command line of the screensaver daemon's saver, velora-skyshow, whose
// options are the rows of kSaverOptions below, each also with a single
// hyphen. The daemon names its window in the environment
// (XSCREENSAVER_WINDOW); --window-id wins over it, and it wins over --root.
// With none of them the saver opens a sizeable window of its own under X11,
// or, in a Wayland session (WAYLAND_DISPLAY set), covers every output of the
// compositor. With --on-idle it stays in a Wayland session and covers the
// outputs whenever the session has been idle that long.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Handles.h"
#include "shell/ScreenSaveMisc.h"

namespace velora {

inline constexpr const char* kSaverName = "velora-skyshow";
inline constexpr std::uint32_t kMaxSaverDelay = 1000000;
inline constexpr std::uint32_t kMaxIdleSeconds = 86400;  // a day

enum class SaverOptionId { Root, WindowId, Delay, X11, Wayland, OnIdle, Help };

struct SaverOption {
    SaverOptionId Id;
    std::string_view Name;                    // after the hyphens
    std::string_view Alias;                   // a second name, or empty
    std::string_view Value;                   // the value's name in the usage line; empty when it takes none
    enum { Listed, OrNext, Unlisted } Usage;  // OrNext: an alternative to the next option, in one bracket
};

// Every option, in the order of the usage line.
inline constexpr SaverOption kSaverOptions[] = {
    {SaverOptionId::Root, "root", "", "", SaverOption::Listed},                // draw on the desktop
    {SaverOptionId::WindowId, "window-id", "", "ID", SaverOption::Listed},     // draw into that window
    {SaverOptionId::Delay, "delay", "", "MICROSECONDS", SaverOption::Listed},  // pause after every frame
    {SaverOptionId::X11, "x11", "", "", SaverOption::OrNext},                  // draw with that window system
    {SaverOptionId::Wayland, "wayland", "", "", SaverOption::Listed},
    {SaverOptionId::OnIdle, "on-idle", "", "SECONDS", SaverOption::Listed},  // stay, and run whenever idle that long
    {SaverOptionId::Help, "help", "h", "", SaverOption::Unlisted},           // print the usage line
};

// "usage: velora-skyshow [--root] ...", written from kSaverOptions.
const std::string& SaverUsage();

enum class SaverHost { OwnWindow, Desktop, Window };
enum class SaverBackend { X11, Wayland };

struct SaverOptions {
    SaverHost Host = SaverHost::OwnWindow;
    WindowHandle Window = 0;   // SaverHost::Window; 0 when the text is no window id
    std::string WindowSource;  // where the window id came from, as given, for messages
    std::uint32_t DelayMicroseconds = 0;
    std::optional<SaverBackend> Backend;  // as forced on the command line
    std::uint32_t IdleSeconds = 0;        // --on-idle: the idle time each run waits for; 0 for a single run
    bool Help = false;
};

// The options of `args` (element 0 is the program) and of the daemon's
// window variable (null when unset). Empty, with a one-line reason in
// `error`, when the command line cannot be taken.
std::optional<SaverOptions> ParseSaverOptions(const Arguments& args, const char* daemonWindow, std::string& error);

// The window system to draw with: the one forced, else Wayland when a
// compositor is named (`waylandDisplay`, null when unset) and no X host is.
SaverBackend ChooseSaverBackend(const SaverOptions& options, const char* waylandDisplay);

}  // namespace velora
