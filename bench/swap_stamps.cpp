// Preloaded into velora-skyshow by wayland-bench.sh: appends a line for every
// eglSwapBuffers to the file named by VELORA_SWAP_LOG, the EGL surface and
// the wall-clock time in microseconds after the swap returned. Frames are so
// counted at no cost to the program, unlike the protocol log.
#include <EGL/egl.h>
#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

namespace {

using SwapBuffersProc = EGLBoolean (*)(EGLDisplay, EGLSurface);

std::FILE* StampFile() {
    static std::FILE* const file = [] {
        const char* path = std::getenv("VELORA_SWAP_LOG");
        return path != nullptr ? std::fopen(path, "w") : nullptr;
    }();
    return file;
}

}  // namespace

extern "C" EGLBoolean eglSwapBuffers(EGLDisplay display, EGLSurface surface) {
    static const auto next = reinterpret_cast<SwapBuffersProc>(dlsym(RTLD_NEXT, "eglSwapBuffers"));
    const EGLBoolean result = next(display, surface);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (std::FILE* file = StampFile()) {
        std::fprintf(file, "%p %lld\n", surface, static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
        std::fflush(file);
    }
    return result;
}
