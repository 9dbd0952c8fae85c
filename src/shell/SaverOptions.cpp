#include "shell/SaverOptions.h"

namespace velora {

namespace {

// "--name" and "-name" are the same option.
std::string_view OptionName(std::string_view arg) {
    if (arg.starts_with("--")) return arg.substr(2);
    if (arg.starts_with("-")) return arg.substr(1);
    return {};
}

WindowHandle WindowOf(std::string_view text) {
    const auto number = ParseHandleNumber(text);
    return number && *number > 0 ? static_cast<WindowHandle>(*number) : 0;
}

std::optional<std::uint32_t> ParseDelay(std::string_view text) {
    if (text.empty() || text.size() > 7) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > kMaxSaverDelay) return std::nullopt;
    return value;
}

}  // namespace

std::optional<SaverOptions> ParseSaverOptions(const Arguments& args, const char* daemonWindow, std::string& error) {
    SaverOptions options;
    std::optional<std::string> windowId;
    bool root = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view name = OptionName(args[i]);
        const bool takesValue = name == "window-id" || name == "delay";
        if (takesValue && i + 1 == args.size()) {
            error = args[i] + " needs a value";
            return std::nullopt;
        }
        if (name == "root") {
            root = true;
        } else if (name == "window-id") {
            windowId = args[++i];
        } else if (name == "delay") {
            const auto delay = ParseDelay(args[++i]);
            if (!delay) {
                error =
                    "--delay takes 0 to " + std::to_string(kMaxSaverDelay) + " microseconds, not \"" + args[i] + "\"";
                return std::nullopt;
            }
            options.DelayMicroseconds = *delay;
        } else if (name == "x11") {
            options.Backend = SaverBackend::X11;
        } else if (name == "wayland") {
            options.Backend = SaverBackend::Wayland;
        } else if (name == "help" || name == "h") {
            options.Help = true;
        } else {
            error = "unknown option \"" + args[i] + "\"";
            return std::nullopt;
        }
    }

    if (options.Backend == SaverBackend::Wayland) {
        // Wayland has no foreign windows and no desktop window to draw into.
        if (windowId || root) {
            error = "--wayland covers every output; it takes no --root or --window-id";
            return std::nullopt;
        }
        return options;
    }
    if (windowId) {
        options.Host = SaverHost::Window;
        options.Window = WindowOf(*windowId);
        options.WindowSource = "--window-id " + *windowId;
    } else if (daemonWindow != nullptr && *daemonWindow != '\0') {
        options.Host = SaverHost::Window;
        options.Window = WindowOf(daemonWindow);
        options.WindowSource = std::string("XSCREENSAVER_WINDOW=") + daemonWindow;
    } else if (root) {
        options.Host = SaverHost::Desktop;
    }
    return options;
}

SaverBackend ChooseSaverBackend(const SaverOptions& options, const char* waylandDisplay) {
    if (options.Backend) return *options.Backend;
    const bool compositor = waylandDisplay != nullptr && *waylandDisplay != '\0';
    return compositor && options.Host == SaverHost::OwnWindow ? SaverBackend::Wayland : SaverBackend::X11;
}

}  // namespace velora
