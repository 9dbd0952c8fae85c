#pragma once
// Replays OpenGL calls, one per line as the simulator's tracing table writes
// them ("glVertex3f 1.5 2 0"), through a GlApi table.
#include <cstdlib>
#include <sstream>
#include <string>

#include "engine/GlApi.h"

namespace velora::testing {

// False at the first line that names no entry point.
inline bool ReplayGlCalls(const std::string& calls, const GlApi& gl) {
    std::istringstream lines(calls);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name;
        std::string a[6];
        words >> name >> a[0] >> a[1] >> a[2] >> a[3] >> a[4] >> a[5];
        const auto u = [&](int i) { return static_cast<GLenum>(std::strtoul(a[i].c_str(), nullptr, 10)); };
        const auto i32 = [&](int i) { return static_cast<GLint>(std::strtol(a[i].c_str(), nullptr, 10)); };
        const auto f = [&](int i) { return std::strtof(a[i].c_str(), nullptr); };
        const auto d = [&](int i) { return std::strtod(a[i].c_str(), nullptr); };
        if (name == "glVertex3f")
            gl.Vertex3f(f(0), f(1), f(2));
        else if (name == "glBegin")
            gl.Begin(u(0));
        else if (name == "glEnd")
            gl.End();
        else if (name == "glColor4f")
            gl.Color4f(f(0), f(1), f(2), f(3));
        else if (name == "glLineWidth")
            gl.LineWidth(f(0));
        else if (name == "glBlendFunc")
            gl.BlendFunc(u(0), u(1));
        else if (name == "glEnable")
            gl.Enable(u(0));
        else if (name == "glDisable")
            gl.Disable(u(0));
        else if (name == "glHint")
            gl.Hint(u(0), u(1));
        else if (name == "glClearColor")
            gl.ClearColor(f(0), f(1), f(2), f(3));
        else if (name == "glViewport")
            gl.Viewport(i32(0), i32(1), i32(2), i32(3));
        else if (name == "glMatrixMode")
            gl.MatrixMode(u(0));
        else if (name == "glLoadIdentity")
            gl.LoadIdentity();
        else if (name == "glOrtho")
            gl.Ortho(d(0), d(1), d(2), d(3), d(4), d(5));
        else if (name == "glClear")
            gl.Clear(u(0));
        else if (name == "glFlush")
            gl.Flush();
        else
            return false;
    }
    return true;
}

}  // namespace velora::testing
