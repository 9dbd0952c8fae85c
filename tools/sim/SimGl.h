#pragma once
// OpenGL stand-ins for running the engine without a display: a null table
// that only keeps track of what is enabled, and a tracing table that also
// writes every call to a file, one per line.
#include <cstdio>

#include "engine/GlApi.h"

namespace velora::sim {

struct GlSwitches {
    bool LineSmooth = false;
    bool Blend = false;
};

// Both tables share one process-wide record of the enabled switches.
GlApi NullGl();
GlApi TracingGl(std::FILE* out);

GlSwitches CurrentSwitches();
void ResetSwitches();

}  // namespace velora::sim
