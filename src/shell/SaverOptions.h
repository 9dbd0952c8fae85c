#pragma once
// The command line of the screensaver daemon's saver, velora-skyshow:
//   --window-id ID        draw into that window (a number as ParseHandleNumber takes it)
//   --root                draw on the desktop, unless the daemon names its own window
//   --delay MICROSECONDS  pause after every frame (default 0: frames as fast as they come)
//   --x11, --wayland      draw with that window system (below)
//   --help                print the usage line
// each also with a single hyphen. The daemon names its window in the
// environment (XSCREENSAVER_WINDOW); --window-id wins over it, and it wins
// over --root. With none of them the saver opens a sizeable window of its own
// under X11, or, in a Wayland session (WAYLAND_DISPLAY set), covers every
// output of the compositor.
#include <cstdint>
#include <optional>
#include <string>

#include "base/Handles.h"
#include "shell/ScreenSaveMisc.h"

namespace velora {

inline constexpr const char* kSaverName = "velora-skyshow";
inline constexpr const char* kSaverUsage =
    "usage: velora-skyshow [--root] [--window-id ID] [--delay MICROSECONDS] [--x11 | --wayland]";
inline constexpr std::uint32_t kMaxSaverDelay = 1000000;

enum class SaverHost { OwnWindow, Desktop, Window };
enum class SaverBackend { X11, Wayland };

struct SaverOptions {
    SaverHost Host = SaverHost::OwnWindow;
    WindowHandle Window = 0;   // SaverHost::Window; 0 when the text is no window id
    std::string WindowSource;  // where the window id came from, as given, for messages
    std::uint32_t DelayMicroseconds = 0;
    std::optional<SaverBackend> Backend;  // as forced on the command line
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
