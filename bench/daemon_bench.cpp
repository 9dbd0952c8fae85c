// velora-skyshow under the XScreenSaver daemon on a private 1024x768 Xvfb,
// against one of the daemon's own OpenGL savers (gears):
//   - activation to first frame: from `xscreensaver-command -activate` until
//     the screen shows a pixel that is not black;
//   - deactivation to exit: from `xscreensaver-command -deactivate` until the
//     saver's process is gone;
// and, without the daemon, both savers alone with --root: start to first
// frame and SIGTERM to exit; and velora-skyshow's processor time per
// wall-clock second, unpaced and with --delay 10000, full screen and in a
// pane of the preview's size. Needs root (the daemon runs as nobody).
//   velora-daemon-bench [ROUNDS]        default 5
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "XvfbServer.h"
#include "Process.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using namespace velora::testing;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr char kGears[] = "/usr/libexec/xscreensaver/gears";

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Bench {
    std::string DisplayName;
    std::string Work;
    std::string Home;
    Display* Screen = nullptr;

    Environment Env() const {
        Environment env = InheritedEnvironment();
        env["DISPLAY"] = DisplayName;
        return env;
    }

    int Run(const std::vector<std::string>& argv) const {
        SpawnOptions options{argv, Env()};
        Process tool(options);
        const auto status = tool.Wait(std::chrono::seconds(20));
        return status && status->Exited ? status->Code : -1;
    }

    std::unique_ptr<Process> StartAsNobody(const std::vector<std::string>& argv) const {
        SpawnOptions options{{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "env", "HOME=" + Home},
                             Env(),
                             "/dev/null",
                             Work + "/daemon.log"};
        options.Argv.insert(options.Argv.end(), argv.begin(), argv.end());
        return std::make_unique<Process>(options);
    }

    void WriteSettings(const std::string& program) const {
        const std::string path = Home + "/.xscreensaver";
        std::ofstream(path) << "mode: one\nselected: 0\nlock: False\nsplash: False\nfade: False\nunfade: False\n"
                               "timeout: 1:00:00\ncycle: 1:00:00\nprograms: \\\n  GL: "
                            << program << " \\n\n";
        chown(path.c_str(), 65534, 65534);
    }

    // Any pixel of the screen clearly lit. Reads the raw 32-bit pixels and
    // is asked every 10 ms, so that the polling hardly slows the server.
    bool ScreenLit() const {
        XImage* image = XGetImage(Screen, DefaultRootWindow(Screen), 0, 0, 1024, 768, AllPlanes, ZPixmap);
        if (image == nullptr) return false;
        bool lit = false;
        const auto* pixel = reinterpret_cast<const unsigned char*>(image->data);
        const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * 768;
        for (std::size_t i = 0; i < bytes && !lit; i += 4) lit = pixel[i] + pixel[i + 1] + pixel[i + 2] > 48;
        XDestroyImage(image);
        return lit;
    }

    static std::vector<pid_t> ProcessesOf(const std::string& exe) {
        std::vector<pid_t> found;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::error_code ec;
            if (fs::read_symlink(entry.path() / "exe", ec).string() != exe) continue;
            std::ifstream stat(entry.path() / "stat");
            std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
            const auto close = text.rfind(')');
            if (close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z')
                found.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
        }
        return found;
    }

    static bool WaitFor(const std::function<bool()>& done, double limitMs) {
        const auto start = Clock::now();
        while (!done()) {
            if (MillisecondsSince(start) > limitMs) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
};

void Report(const char* what, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%-52s no measurement\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-52s median %7.0f ms   min %7.0f   max %7.0f   (%zu runs)\n", what, values[values.size() / 2],
                values.front(), values.back(), values.size());
}

void UnderTheDaemon(const Bench& bench, const std::string& name, const std::string& exe, int rounds) {
    bench.WriteSettings(exe + " --root");
    auto daemon = bench.StartAsNobody({"xscreensaver", "--no-splash"});
    if (!Bench::WaitFor([&] { return bench.Run({"xscreensaver-command", "-time"}) == 0; }, 20000)) {
        std::printf("%s: the daemon did not start\n", name.c_str());
        return;
    }
    std::vector<double> starts;
    std::vector<double> exits;
    for (int round = 0; round < rounds; ++round) {
        const auto activated = Clock::now();
        bench.Run({"xscreensaver-command", "-activate"});
        if (Bench::WaitFor([&] { return bench.ScreenLit(); }, 20000)) starts.push_back(MillisecondsSince(activated));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const auto savers = Bench::ProcessesOf(exe);
        const auto deactivated = Clock::now();
        bench.Run({"xscreensaver-command", "-deactivate"});
        if (!savers.empty() && Bench::WaitFor([&] { return Bench::ProcessesOf(exe).empty(); }, 20000))
            exits.push_back(MillisecondsSince(deactivated));
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    bench.Run({"xscreensaver-command", "-exit"});
    daemon->Wait(std::chrono::seconds(10));
    Report((name + ": activation to first frame").c_str(), starts);
    Report((name + ": deactivation to exit").c_str(), exits);
}

double ProcessorSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stol(field);  // utime, stime
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void Alone(const Bench& bench, const std::string& saver, int rounds) {
    for (const std::string& program : {saver, std::string(kGears)}) {
        if (!fs::exists(program)) continue;
        std::vector<double> starts;
        std::vector<double> exits;
        for (int round = 0; round < rounds; ++round) {
            // A saver that drew on the root window itself leaves its last frame there.
            XClearWindow(bench.Screen, DefaultRootWindow(bench.Screen));
            XSync(bench.Screen, False);
            const auto started = Clock::now();
            Process process(SpawnOptions{{program, "--root"}, bench.Env()});
            if (Bench::WaitFor([&] { return bench.ScreenLit(); }, 20000)) starts.push_back(MillisecondsSince(started));
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const auto signalled = Clock::now();
            process.SignalGroup(SIGTERM);
            if (process.Wait(std::chrono::seconds(20))) exits.push_back(MillisecondsSince(signalled));
        }
        const std::string name = fs::path(program).filename().string() + " --root alone: ";
        Report((name + "start to first frame").c_str(), starts);
        Report((name + "SIGTERM to exit").c_str(), exits);
    }

    // Full screen, and in a pane of the settings program's preview size.
    const Window pane = XCreateSimpleWindow(bench.Screen, DefaultRootWindow(bench.Screen), 0, 0, 400, 300, 0, 0, 0);
    XMapWindow(bench.Screen, pane);
    XSync(bench.Screen, False);
    for (const std::string& where : {std::string("--root"), "--window-id " + std::to_string(pane)}) {
        for (const char* delay : {"0", "10000"}) {
            std::vector<std::string> argv{saver, "--delay", delay};
            if (where == "--root")
                argv.push_back(where);
            else
                argv.insert(argv.end(), {"--window-id", std::to_string(pane)});
            Process process(SpawnOptions{argv, bench.Env()});
            std::this_thread::sleep_for(std::chrono::seconds(3));
            const double before = ProcessorSeconds(process.Pid());
            const auto start = Clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(10));
            const double used = ProcessorSeconds(process.Pid()) - before;
            std::printf("%-52s %7.0f %% of one core\n",
                        ((where == "--root" ? "full screen" : "400x300 pane") + std::string(", --delay ") + delay +
                         ": processor")
                            .c_str(),
                        used / (MillisecondsSince(start) / 1000) * 100);
        }
    }
    XDestroyWindow(bench.Screen, pane);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (geteuid() != 0) {
        std::fprintf(stderr, "velora-daemon-bench: run it as root: the daemon runs as nobody\n");
        return 2;
    }
    velora::testing::XvfbServer server(1024, 768);
    if (!server.Running()) {
        std::fprintf(stderr, "velora-daemon-bench: no Xvfb\n");
        return 1;
    }
    Bench bench;
    bench.DisplayName = server.Display();
    char pattern[] = "/tmp/velora-bench-XXXXXX";
    bench.Work = mkdtemp(pattern);
    chmod(bench.Work.c_str(), 0711);
    bench.Home = bench.Work + "/home";
    fs::create_directory(bench.Home);
    chown(bench.Home.c_str(), 65534, 65534);
    const std::string saver = bench.Work + "/velora-skyshow";
    fs::copy_file(VELORA_SKYSHOW_EXE, saver);
    chmod(saver.c_str(), 0755);
    bench.Screen = XOpenDisplay(bench.DisplayName.c_str());

    UnderTheDaemon(bench, "velora-skyshow", saver, rounds);
    if (fs::exists(kGears)) UnderTheDaemon(bench, "gears (xscreensaver-gl)", kGears, rounds);
    Alone(bench, saver, rounds);
    XCloseDisplay(bench.Screen);
    fs::remove_all(bench.Work);
    return 0;
}
