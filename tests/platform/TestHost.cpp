// A stand-in for the screensaver host's preview window: prints the id of a
// window of the given size (default 152 x 112) and keeps it until stdin
// closes or the process is killed.
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int width = argc > 1 ? std::atoi(argv[1]) : 152;
    const int height = argc > 2 ? std::atoi(argv[2]) : 112;
    if (width <= 0 || height <= 0) {
        std::fprintf(stderr, "velora-test-host: usage: velora-test-host [width height]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "velora-test-host: cannot open display \"%s\"\n", XDisplayName(nullptr));
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, 0x808080);
    XStoreName(display, window, "Velora Test Host");
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("%lu\n", window);
    std::fflush(stdout);
    pollfd input{STDIN_FILENO, POLLIN, 0};
    char buffer[64];
    while (poll(&input, 1, -1) > 0 && read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    XCloseDisplay(display);
    return 0;
}
