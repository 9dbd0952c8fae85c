#pragma once
// An engine on a virtual window with a scripted clock, and a capture of the
// OpenGL calls it makes.
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "VirtualWindow.h"
#include "engine/VeloraCore.h"

namespace velora::testing {

class GlCapture {
public:
    GlCapture() : FFile(open_memstream(&FBuffer, &FSize)) {}
    ~GlCapture() {
        std::fclose(FFile);
        std::free(FBuffer);
    }
    GlCapture(const GlCapture&) = delete;
    GlCapture& operator=(const GlCapture&) = delete;

    std::FILE* File() const { return FFile; }

    // The calls written since the last Take, one per element.
    std::vector<std::string> Take() {
        std::fflush(FFile);
        std::vector<std::string> lines;
        std::istringstream in(std::string(FBuffer, FSize).substr(FTaken));
        FTaken = FSize;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    char* FBuffer = nullptr;
    std::size_t FSize = 0;
    std::size_t FTaken = 0;
    std::FILE* FFile;
};

struct EngineRig {
    explicit EngineRig(int width = 1024, int height = 768, Tick tick = 1000) : Window(width, height), Clock(tick) {
        Clock.Counter = 1;
    }

    std::unique_ptr<TVeloraEngine> Make(bool smallMode = false, bool doubleBuffered = true) {
        auto engine = std::make_unique<TVeloraEngine>(Window, Clock, WindowHandle{1}, doubleBuffered, smallMode);
        Clock.Constructing = false;
        return engine;
    }

    sim::VirtualWindow Window;
    sim::ScriptedClock Clock;
};

}  // namespace velora::testing
