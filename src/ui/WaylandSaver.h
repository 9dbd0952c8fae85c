#pragma once
// RunWaylandSaver: velora-skyshow on a Wayland compositor. Every output gets
// a surface and an engine of its own, sized to that surface and fitted again
// when it changes; frames come as the compositor asks for them. Input is read
// as the full-screen saver reads it: a key, a button, the wheel or sustained
// pointer movement ends the run, Pause halts and resumes it. It also ends on
// a stop request, or when the compositor has closed every surface.
#include <csignal>
#include <functional>
#include <memory>
#include <ostream>

#include "platform/Platform.h"
#include "shell/SaverOptions.h"

namespace velora {

// Returns the exit status; a failure is told in one line on `errors`.
int RunWaylandSaver(platform::OutputSurfaces& outputs, const SaverOptions& options, std::ostream& errors,
                    const volatile std::sig_atomic_t* stopRequest);

// velora-skyshow --on-idle: says in one line on `errors` what tells it the
// idle time, then, each time the session has been idle for
// options.IdleSeconds, covers the outputs with `cover`'s surfaces and runs
// as RunWaylandSaver does, in a child process, until the input that ends
// the run or, where the monitor reports it, the user's return; then waits
// again. Ends on a stop request or when the session's lock screen comes on,
// and with the failure of a run.
int RunWaylandIdleSaver(platform::IdleMonitor& monitor,
                        const std::function<std::unique_ptr<platform::OutputSurfaces>()>& cover,
                        const SaverOptions& options, std::ostream& errors,
                        const volatile std::sig_atomic_t* stopRequest);

}  // namespace velora
