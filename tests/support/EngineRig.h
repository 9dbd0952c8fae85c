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
    GlCapture() : FFile(std::tmpfile()) {}
    ~GlCapture() {
        if (FFile != nullptr) std::fclose(FFile);
    }
    GlCapture(const GlCapture&) = delete;
    GlCapture& operator=(const GlCapture&) = delete;

    std::FILE* File() const { return FFile; }

    // The calls written since the last Take, one per element.
    std::vector<std::string> Take() {
        std::fflush(FFile);
        std::fseek(FFile, FTaken, SEEK_SET);
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, FFile)) > 0;) text.append(buffer, n);
        FTaken = std::ftell(FFile);
        // Writing goes on at the end.
        std::fseek(FFile, 0, SEEK_END);
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    long FTaken = 0;
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
