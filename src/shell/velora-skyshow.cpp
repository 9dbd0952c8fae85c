// The entry of the screensaver daemon's saver: XScreenSaver starts it with
// its window in XSCREENSAVER_WINDOW (or --window-id from its settings
// program) and ends it with SIGTERM. In a Wayland session an idle daemon
// (swayidle, hypridle) starts it to cover every output, or, with --on-idle,
// it stays and covers them whenever the session is idle.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>

#include "base/ExitCodes.h"
#include "platform/Platform.h"
#include "shell/SaverOptions.h"
#include "ui/Saver.h"
#if defined(VELORA_HAVE_WAYLAND)
#include "ui/Texts.h"
#include "ui/WaylandSaver.h"
#endif

namespace {

volatile std::sig_atomic_t gStopRequest = 0;

void RequestStop(int) { gStopRequest = 1; }

void StopOn(int signal) {
    struct sigaction action = {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    // A second signal ends the program the default way, should the first
    // one find it stuck.
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const velora::Arguments args(argv, argv + argc);
    std::string error;
    const auto options = velora::ParseSaverOptions(args, std::getenv("XSCREENSAVER_WINDOW"), error);
    if (!options) {
        std::fprintf(stderr, "%s: %s; %s\n", velora::kSaverName, error.c_str(), velora::SaverUsage().c_str());
        return velora::kExitUsage;
    }
    if (options->Help) {
        std::printf("%s\n", velora::SaverUsage().c_str());
        return velora::kExitSuccess;
    }
    StopOn(SIGTERM);
    StopOn(SIGINT);
    try {
        if (velora::ChooseSaverBackend(*options, std::getenv("WAYLAND_DISPLAY")) == velora::SaverBackend::Wayland) {
#if defined(VELORA_HAVE_WAYLAND)
            if (options->IdleSeconds > 0) {
                const auto monitor = velora::platform::CreateIdleMonitor(options->IdleSeconds);
                if (!monitor) {
                    std::fprintf(stderr, "%s: %s\n", velora::kSaverName, velora::msg::kNoIdleProtocol);
                    return velora::kExitFailure;
                }
                const auto cover = [] { return velora::platform::CreateOutputSurfaces(velora::kFormCaption); };
                return velora::RunWaylandIdleSaver(*monitor, cover, *options, std::cerr, &gStopRequest);
            }
            const auto outputs = velora::platform::CreateOutputSurfaces(velora::kFormCaption);
            return velora::RunWaylandSaver(*outputs, *options, std::cerr, &gStopRequest);
#else
            if (options->Backend) {
                std::fprintf(stderr, "%s: %s\n", velora::kSaverName, velora::msg::kNoWaylandSupport);
                return velora::kExitFailure;
            }
#endif
        }
        const auto app = velora::platform::CreateApplication();
        return velora::RunSaver(*app, *options, std::cerr, &gStopRequest);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s: %s\n", velora::kSaverName, failure.what());
        return velora::kExitFailure;
    }
}
