#include "Compositor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace velora::testing {

namespace {

constexpr uid_t kSwayUser = 65534;  // sway refuses to run as root

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (const std::string& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::optional<Screenshot> ParsePpm(const std::string& data) {
    std::istringstream in(data);
    std::string magic;
    int width = 0;
    int height = 0;
    int maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get();
    if (magic != "P6" || maximum != 255 || width <= 0 || height <= 0) return std::nullopt;
    Screenshot shot{width, height, {}};
    shot.Rgb.resize(static_cast<std::size_t>(width) * height * 3);
    in.read(reinterpret_cast<char*>(shot.Rgb.data()), static_cast<std::streamsize>(shot.Rgb.size()));
    if (in.gcount() != static_cast<std::streamsize>(shot.Rgb.size())) return std::nullopt;
    return shot;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& dir,
             const std::string& tag, bool talk) {
    FStderrPath = dir + "/" + tag + ".err";
    const std::string outPath = dir + "/" + tag + ".out";
    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    if (talk && (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)) return;
    const auto args = Pointers(argv);
    const auto environment = Pointers(env);
    FPid = fork();
    if (FPid == 0) {
        setpgid(0, 0);
        const int err = open(FStderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int out = talk ? fromChild[1] : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = talk ? toChild[0] : open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execve(args[0], args.data(), environment.data());
        _exit(127);
    }
    if (talk) {
        close(toChild[0]);
        close(fromChild[1]);
        FIn = toChild[1];
        FOut = fromChild[0];
    }
}

Child::~Child() {
    if (FPid > 0 && !FStatus) {
        kill(-FPid, SIGKILL);
        Wait(5s);
    }
    if (FIn >= 0) close(FIn);
    if (FOut >= 0) close(FOut);
}

void Child::Signal(int signal) const {
    if (FPid > 0) kill(FPid, signal);
}

std::optional<int> Child::Wait(std::chrono::milliseconds timeout) {
    WaitUntil([this] { return !Running(); }, timeout);
    return FStatus;
}

bool Child::Running() {
    if (FStatus || FPid <= 0) return false;
    int status = 0;
    if (waitpid(FPid, &status, WNOHANG) != FPid) return true;
    FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::string Child::Stderr() const { return ReadAll(FStderrPath); }

std::string Child::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto end = FPending.find('\n'); end != std::string::npos) {
            std::string line = FPending.substr(0, end);
            FPending.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd fd{FOut, POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) return {};
        char buffer[256];
        const ssize_t got = read(FOut, buffer, sizeof buffer);
        if (got <= 0) return {};
        FPending.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string Child::Ask(const std::string& line, std::chrono::milliseconds timeout) {
    const std::string text = line + "\n";
    if (write(FIn, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
    return ReadLine(timeout);
}

int Screenshot::ColouredPixels() const {
    int count = 0;
    for (std::size_t i = 0; i + 2 < Rgb.size(); i += 3) {
        const int r = Rgb[i];
        const int g = Rgb[i + 1];
        const int b = Rgb[i + 2];
        if (std::max({r, g, b}) - std::min({r, g, b}) > 40) ++count;
    }
    return count;
}

HeadlessSway::HeadlessSway(int outputs) {
    char pattern[] = "/tmp/velora-wayland-XXXXXX";
    FDir = mkdtemp(pattern);
    FRuntime = FDir + "/run";
    mkdir(FRuntime.c_str(), 0700);
    chmod(FDir.c_str(), 0755);
    if (chown(FRuntime.c_str(), kSwayUser, kSwayUser) != 0) return;
    std::ofstream config(FDir + "/sway.conf");
    config << "xwayland disable\n";
    for (int i = 1; i <= outputs + 2; ++i)  // the outputs a test adds, too
        config << "output HEADLESS-" << i << " mode 1280x720 position " << (i - 1) * 1280 << " 0\n";
    config.close();
    const std::string home = "HOME=" + FRuntime;
    const std::string runtime = "XDG_RUNTIME_DIR=" + FRuntime;
    FSway = std::make_unique<Child>(
        std::vector<std::string>{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                 "/usr/bin/sway", "-c", FDir + "/sway.conf"},
        std::vector<std::string>{"PATH=/usr/bin:/bin", home, runtime, "WLR_BACKENDS=headless", "WLR_RENDERER=pixman",
                                 "WLR_HEADLESS_OUTPUTS=" + std::to_string(outputs)},
        FDir, "sway");
    // Clients may connect once both sockets are there and sway answers.
    FStarted = WaitUntil([&] {
        if (!FSway->Running()) return false;
        for (const auto& entry : std::filesystem::directory_iterator(FRuntime)) {
            const std::string name = entry.path().filename();
            if (name.starts_with("wayland-") && !name.ends_with(".lock")) FDisplay = name;
            if (name.starts_with("sway-ipc.")) FIpcSocket = entry.path();
        }
        return !FDisplay.empty() && !FIpcSocket.empty() && Run({"/usr/bin/swaymsg", "-t", "get_version"});
    });
}

HeadlessSway::~HeadlessSway() {
    if (FSway && FSway->Running()) {
        FSway->Signal(SIGTERM);
        FSway->Wait(10s);
    }
    FSway.reset();
    std::error_code ignored;
    std::filesystem::remove_all(FDir, ignored);
}

std::string HeadlessSway::Log() const { return ReadAll(FDir + "/sway.err"); }

std::vector<std::string> HeadlessSway::ClientEnv() const {
    std::vector<std::string> env{"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + FRuntime, "WAYLAND_DISPLAY=" + FDisplay,
                                 "SWAYSOCK=" + FIpcSocket};
    const auto sanitizers = SanitizerEnv();
    env.insert(env.end(), sanitizers.begin(), sanitizers.end());
    return env;
}

bool HeadlessSway::Run(const std::vector<std::string>& argv, std::string* output) const {
    static int serial = 0;
    const std::string tag = "tool-" + std::to_string(++serial);
    Child tool(argv, ClientEnv(), FDir, tag);
    const auto status = tool.Wait();
    if (output != nullptr) *output = ReadAll(FDir + "/" + tag + ".out");
    std::error_code ignored;
    std::filesystem::remove(FDir + "/" + tag + ".out", ignored);
    std::filesystem::remove(FDir + "/" + tag + ".err", ignored);
    return status == 0;
}

std::optional<Screenshot> HeadlessSway::Grab(const std::string& output) const {
    std::string ppm;
    if (!Run({"/usr/bin/grim", "-t", "ppm", "-o", output, "-"}, &ppm)) return std::nullopt;
    return ParsePpm(ppm);
}

std::optional<Screenshot> HeadlessSway::WaitForStars(const std::string& output, int pixels) const {
    std::optional<Screenshot> shot;
    WaitUntil([&] {
        shot = Grab(output);
        return shot && shot->ColouredPixels() >= pixels;
    });
    if (shot && shot->ColouredPixels() < pixels) shot.reset();
    return shot;
}

bool HeadlessSway::WaitForFreshFrames(const std::string& output, int count) const {
    std::optional<Screenshot> last = Grab(output);
    int fresh = 0;
    return WaitUntil([&] {
        auto shot = Grab(output);
        if (shot && last && !(*shot == *last)) ++fresh;
        last = std::move(shot);
        return fresh >= count;
    });
}

bool HasLine(const std::string& text, const std::vector<std::string>& parts) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (std::all_of(parts.begin(), parts.end(),
                        [&](const std::string& part) { return line.find(part) != std::string::npos; }))
            return true;
    return false;
}

std::vector<std::string> SanitizerEnv() {
    std::vector<std::string> env;
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    return env;
}

std::string SaverPath() { return VELORA_SKYSHOW_EXE; }
std::string PointerPath() { return VELORA_TEST_POINTER_EXE; }

}  // namespace velora::testing
