#include "ui/WaylandSaver.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "base/ExitCodes.h"
#include "engine/VeloraCore.h"
#include "ui/InputFilter.h"
#include "ui/Saver.h"

namespace velora {

using namespace platform;

namespace {

// The longest wait for the compositor, so that a stop request is seen soon
// even while no surface asks for a frame.
constexpr int kStopCheckMs = 50;

class TWaylandSaver : public OutputSurfaces::Listener {
public:
    TWaylandSaver(OutputSurfaces& outputs, const SaverOptions& options, const volatile std::sig_atomic_t* stopRequest)
        : FOutputs(outputs),
          FDelay(options.DelayMicroseconds),
          FStopRequest(stopRequest),
          FFilter(outputs.SystemClock()) {}

    void Run() {
        while (!StopRequested()) {
            FOutputs.Dispatch(FRunning && AnyFrameDue() ? 0 : kStopCheckMs, *this);
            if (FClosing || FOutputs.AllClosed()) return;
            if (FRunning && DrawDueFrames() && FDelay.count() > 0) std::this_thread::sleep_for(FDelay);
        }
    }

    // The new surface shows its first frame before the next one's engine is
    // built, and while paused too: a surface without a frame does not show.
    void SurfaceAdded(WindowHandle surface) override {
        auto& engine = FEngines[surface];
        engine = std::make_unique<TVeloraEngine>(FOutputs.Graphics(), FOutputs.SystemClock(), surface,
                                                 /*doubleBuffered=*/true, /*smallMode=*/false);
        engine->RenderFrame();
    }

    void SurfaceResized(WindowHandle surface) override {
        if (const auto found = FEngines.find(surface); found != FEngines.end()) {
            MakeCurrent(*found->second);
            found->second->SetupViewport();
        }
    }

    void SurfaceRemoved(WindowHandle surface) override { FEngines.erase(surface); }

    void Input(const Message& msg) override {
        switch (FFilter.Filter(msg)) {
            case InputAction::Close:
                FClosing = true;
                break;
            case InputAction::TogglePause:
                FRunning = !FRunning;
                for (auto& [surface, engine] : FEngines) engine->ResetClock();
                break;
            case InputAction::Pass:
            case InputAction::Swallow:
                break;
        }
    }

private:
    bool StopRequested() const { return FStopRequest != nullptr && *FStopRequest != 0; }

    bool AnyFrameDue() const {
        for (const auto& [surface, engine] : FEngines)
            if (FOutputs.FrameDue(surface)) return true;
        return false;
    }

    bool DrawDueFrames() {
        bool drew = false;
        for (auto& [surface, engine] : FEngines) {
            if (!FOutputs.FrameDue(surface)) continue;
            MakeCurrent(*engine);
            engine->RenderFrame();
            drew = true;
        }
        return drew;
    }

    // Each engine's context is its own; the binding skips the call when it
    // is current already.
    void MakeCurrent(TVeloraEngine& engine) { FOutputs.Graphics().MakeCurrent(engine.DC(), engine.RC()); }

    OutputSurfaces& FOutputs;
    const std::chrono::microseconds FDelay;
    const volatile std::sig_atomic_t* FStopRequest;
    TInputFilter FFilter;
    std::map<WindowHandle, std::unique_ptr<TVeloraEngine>> FEngines;
    bool FRunning = true;
    bool FClosing = false;
};

}  // namespace

int RunWaylandSaver(OutputSurfaces& outputs, const SaverOptions& options, std::ostream& errors,
                    const volatile std::sig_atomic_t* stopRequest) {
    try {
        TWaylandSaver saver(outputs, options, stopRequest);
        saver.Run();
        return kExitSuccess;
    } catch (const std::exception& error) {
        errors << kSaverName << ": " << OneLine(error.what()) << "\n";
        return kExitFailure;
    }
}

int RunWaylandIdleSaver(IdleMonitor& monitor, const std::function<std::unique_ptr<OutputSurfaces>()>& cover,
                        const SaverOptions& options, std::ostream& errors,
                        const volatile std::sig_atomic_t* stopRequest) {
    errors << kSaverName << ": covers the outputs after " << options.IdleSeconds << " s of idle time, as "
           << monitor.Source() << " tells" << std::endl;
    const auto stopped = [stopRequest] { return stopRequest != nullptr && *stopRequest != 0; };
    try {
        // The session's lock screen ends a run and holds the next ones back
        // until it has gone: GNOME raises it (as a blank, unlocked shield)
        // at its own Screen Blank time too, which the saver outlives.
        bool locked = false;
        while (!stopped()) {
            const IdleMonitor::Event event = monitor.Next(kStopCheckMs);
            if (event == IdleMonitor::Event::Locked || event == IdleMonitor::Event::Unlocked)
                locked = event == IdleMonitor::Event::Locked;
            if (event != IdleMonitor::Event::Idle || locked) continue;
            // Each run in a child process, with new surfaces: a compositor
            // raises and focuses a new fullscreen window, not one shown
            // again, and what the run and the graphics driver allocated all
            // goes back when it ends, however many runs there are.
            const auto run = StartChildRun([&] {
                try {
                    const auto outputs = cover();
                    return RunWaylandSaver(*outputs, options, errors, stopRequest);
                } catch (const std::exception& error) {
                    errors << kSaverName << ": " << OneLine(error.what()) << "\n";
                    return kExitFailure;
                }
            });
            std::optional<int> status;
            while (!(status = run->Ended())) {
                if (stopped()) run->Stop();
                const IdleMonitor::Event during = monitor.Next(kStopCheckMs);
                if (during == IdleMonitor::Event::Locked || during == IdleMonitor::Event::Unlocked)
                    locked = during == IdleMonitor::Event::Locked;
                if (locked || during == IdleMonitor::Event::UserActive) run->Stop();
            }
            // A run that failed would fail again at the next idle time.
            if (*status != kExitSuccess) return kExitFailure;
        }
        return kExitSuccess;
    } catch (const std::exception& error) {
        errors << kSaverName << ": " << OneLine(error.what()) << "\n";
        return kExitFailure;
    }
}

}  // namespace velora
