#include "shell/SaverOptions.h"

namespace velora {

namespace {

// "--name" and "-name" are the same option.
std::string_view OptionName(std::string_view arg) {
    if (arg.starts_with("--")) return arg.substr(2);
    if (arg.starts_with("-")) return arg.substr(1);
    return {};
}

const SaverOption* FindOption(std::string_view name) {
    if (name.empty()) return nullptr;
    for (const SaverOption& option : kSaverOptions)
        if (name == option.Name || name == option.Alias) return &option;
    return nullptr;
}

WindowHandle WindowOf(std::string_view text) {
    const auto number = ParseHandleNumber(text);
    return number && *number > 0 ? static_cast<WindowHandle>(*number) : 0;
}

// A decimal number of at most `limit`, digits alone.
std::optional<std::uint32_t> ParseCount(std::string_view text, std::uint32_t limit) {
    if (text.empty() || text.size() > 7) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > limit) return std::nullopt;
    return value;
}

}  // namespace

const std::string& SaverUsage() {
    static const std::string usage = [] {
        std::string text = std::string("usage: ") + kSaverName;
        bool open = false;  // within the bracket of an alternative
        for (const SaverOption& option : kSaverOptions) {
            if (option.Usage == SaverOption::Unlisted) continue;
            text += open ? " | --" : " [--";
            text += option.Name;
            if (!option.Value.empty()) (text += ' ') += option.Value;
            open = option.Usage == SaverOption::OrNext;
            if (!open) text += ']';
        }
        return text;
    }();
    return usage;
}

std::optional<SaverOptions> ParseSaverOptions(const Arguments& args, const char* daemonWindow, std::string& error) {
    SaverOptions options;
    std::optional<std::string> windowId;
    bool root = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const SaverOption* option = FindOption(OptionName(args[i]));
        if (option == nullptr) {
            error = "unknown option \"" + args[i] + "\"";
            return std::nullopt;
        }
        if (!option->Value.empty() && i + 1 == args.size()) {
            error = args[i] + " needs a value";
            return std::nullopt;
        }
        switch (option->Id) {
            case SaverOptionId::Root:
                root = true;
                break;
            case SaverOptionId::WindowId:
                windowId = args[++i];
                break;
            case SaverOptionId::Delay: {
                const auto delay = ParseCount(args[++i], kMaxSaverDelay);
                if (!delay) {
                    error = "--delay takes 0 to " + std::to_string(kMaxSaverDelay) + " microseconds, not \"" + args[i] +
                            "\"";
                    return std::nullopt;
                }
                options.DelayMicroseconds = *delay;
                break;
            }
            case SaverOptionId::X11:
                options.Backend = SaverBackend::X11;
                break;
            case SaverOptionId::Wayland:
                options.Backend = SaverBackend::Wayland;
                break;
            case SaverOptionId::OnIdle: {
                const auto seconds = ParseCount(args[++i], kMaxIdleSeconds);
                if (!seconds || *seconds == 0) {
                    error =
                        "--on-idle takes 1 to " + std::to_string(kMaxIdleSeconds) + " seconds, not \"" + args[i] + "\"";
                    return std::nullopt;
                }
                options.IdleSeconds = *seconds;
                break;
            }
            case SaverOptionId::Help:
                options.Help = true;
                break;
        }
    }

    if (options.IdleSeconds > 0) {
        // Only Wayland compositors tell a client how long the session has been idle.
        if (windowId || root || options.Backend == SaverBackend::X11) {
            error = "--on-idle waits on the Wayland compositor; it takes no --x11, --root or --window-id";
            return std::nullopt;
        }
        options.Backend = SaverBackend::Wayland;
        return options;
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
