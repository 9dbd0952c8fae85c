#include "Compositor.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace velora::testing {

namespace {

constexpr uid_t kSwayUser = 65534;  // sway refuses to run as root

// Whether `line` is one of the protocol log's own; the program's messages
// are the other lines.
bool IsLogLine(const std::string& line) {
    // libwayland stamps each line with the time: "[1234567.890] ".
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const std::size_t dot = line.find('.');
    if (line.empty() || line[0] != '[' || dot == std::string::npos || dot < 2 || line.size() < dot + 6) return false;
    const auto digits = line.begin() + static_cast<std::ptrdiff_t>(dot);
    return std::all_of(line.begin() + 1, digits, [&](char c) { return c == ' ' || isDigit(c); }) &&
           isDigit(digits[-1]) && std::all_of(digits + 1, digits + 4, isDigit) && line.compare(dot + 4, 2, "] ") == 0;
}

// One request or event of the log: "[stamp] {queue} -> object.name(arguments)"
// for a request the client sent, without the arrow for an event it took.
// Objects are "interface@id", or "interface#id" since libwayland 1.23; both
// come out as "interface@id".
struct LogMessage {
    bool Sent = false;
    std::string Object;
    std::string Name;
    std::vector<std::string> Arguments;
};

std::optional<LogMessage> ParseLogLine(const std::string& line) {
    if (!IsLogLine(line) || line.empty() || line.back() != ')') return std::nullopt;
    std::size_t at = line.find("] ") + 2;
    if (line.compare(at, 1, "{") == 0) at = line.find('}', at) + 1;
    at = line.find_first_not_of(' ', at);
    LogMessage message;
    message.Sent = line.compare(at, 3, "-> ") == 0;
    if (message.Sent) at += 3;
    const std::size_t open = line.find('(', at);
    const std::size_t dot = line.rfind('.', open);
    if (open == std::string::npos || dot == std::string::npos || dot < at) return std::nullopt;
    message.Object = line.substr(at, dot - at);
    message.Name = line.substr(dot + 1, open - dot - 1);
    std::replace(message.Object.begin(), message.Object.end(), '#', '@');
    const std::string arguments = line.substr(open + 1, line.size() - open - 2);
    for (std::size_t start = 0; !arguments.empty();) {
        const std::size_t comma = arguments.find(", ", start);
        std::string argument = arguments.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::replace(argument.begin(), argument.end(), '#', '@');
        message.Arguments.push_back(std::move(argument));
        if (comma == std::string::npos) break;
        start = comma + 2;
    }
    return message;
}

bool IsCall(const LogMessage& message, bool sent, const std::string& interface, const std::string& name) {
    return message.Sent == sent && message.Name == name && message.Object.rfind(interface + "@", 0) == 0;
}

int Number(const std::string& text, const std::string& line) {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used != text.size()) throw std::runtime_error("not a number (" + text + ") in: " + line);
    return value;
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

void CompositorTest::SetUp() {
    for (const std::string& program : FPrograms) {
        if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << program << " is not installed";
    }
    char pattern[] = "/tmp/velora-wayland-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr) << "cannot create a scratch directory";
    FDir = pattern;
}

void CompositorTest::TearDown() {
    while (!FChildren.empty()) FChildren.pop_back();
    if (!FDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(FDir, ignored);
    }
}

Process& CompositorTest::Start(const std::vector<std::string>& argv, const Environment& env, bool talk) {
    const std::string tag = "child-" + std::to_string(FChildren.size());
    SpawnOptions options;
    options.Argv = argv;
    options.Env = env;
    options.StdoutPath = FDir + "/" + tag + ".out";
    options.StderrPath = FDir + "/" + tag + ".err";
    options.Talk = talk;
    return *FChildren.emplace_back(std::make_unique<Process>(options));
}

Environment KWinTest::StartKWin(const std::vector<std::string>& options) {
    // The scratch directory is 0700: KWin's runtime directory. The package
    // gives kwin_wayland a file capability, which a container's bounding set
    // may forbid at exec; a copy runs without it.
    std::filesystem::copy_file("/usr/bin/kwin_wayland", Dir() + "/kwin_wayland");
    Environment env{
        {"PATH", "/usr/bin:/bin"}, {"HOME", Dir()}, {"XDG_RUNTIME_DIR", Dir()}, {"WAYLAND_DISPLAY", "velora-kwin"}};
    std::vector<std::string> argv{Dir() + "/kwin_wayland",
                                  "--virtual",
                                  "--no-lockscreen",
                                  "--no-global-shortcuts",
                                  "--socket",
                                  "velora-kwin",
                                  "--width",
                                  "1280",
                                  "--height",
                                  "720",
                                  "--output-count",
                                  "2"};
    argv.insert(argv.end(), options.begin(), options.end());
    Start(argv, env);
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(Dir() + "/velora-kwin"); })) << "KWin did not start";
    env.merge(SanitizerEnv());
    env.emplace("WAYLAND_DEBUG", "1");
    return env;
}

SwayTest::SwayTest(int outputs)
    : CompositorTest({"/usr/bin/setpriv", "/usr/bin/sway", "/usr/bin/swaymsg", "/usr/bin/grim"}), FOutputs(outputs) {}

void SwayTest::SetUp() {
    CompositorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    FRuntime = Dir() + "/run";
    mkdir(FRuntime.c_str(), 0700);
    chmod(Dir().c_str(), 0755);
    ASSERT_EQ(chown(FRuntime.c_str(), kSwayUser, kSwayUser), 0) << "cannot give sway its runtime directory";
    std::ofstream config(Dir() + "/sway.conf");
    config << "xwayland disable\n";
    for (int i = 1; i <= FOutputs + 2; ++i)  // the outputs a test adds, too
        config << "output HEADLESS-" << i << " mode 1280x720 position " << (i - 1) * 1280 << " 0\n";
    config.close();
    FSway = &Start({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/sway", "-c",
                    Dir() + "/sway.conf"},
                   {{"PATH", "/usr/bin:/bin"},
                    {"HOME", FRuntime},
                    {"XDG_RUNTIME_DIR", FRuntime},
                    {"WLR_BACKENDS", "headless"},
                    {"WLR_RENDERER", "pixman"},
                    {"WLR_HEADLESS_OUTPUTS", std::to_string(FOutputs)}});
    // Clients may connect once both sockets are there and sway answers.
    ASSERT_TRUE(WaitUntil([&] {
        if (!FSway->Running()) return false;
        for (const auto& entry : std::filesystem::directory_iterator(FRuntime)) {
            const std::string name = entry.path().filename();
            if (name.starts_with("wayland-") && !name.ends_with(".lock")) FDisplay = name;
            if (name.starts_with("sway-ipc.")) FIpcSocket = entry.path();
        }
        return !FDisplay.empty() && !FIpcSocket.empty() && Run({"/usr/bin/swaymsg", "-t", "get_version"});
    })) << "sway did not start:\n"
        << FSway->Stderr();
}

void SwayTest::TearDown() {
    // Asked to end, sway leaves its runtime directory tidy.
    if (FSway != nullptr && FSway->Running()) {
        FSway->SignalGroup(SIGTERM);
        FSway->Wait(10s);
    }
    CompositorTest::TearDown();
}

Environment SwayTest::ClientEnv() const {
    Environment env{{"PATH", "/usr/bin:/bin"},
                    {"XDG_RUNTIME_DIR", FRuntime},
                    {"WAYLAND_DISPLAY", FDisplay},
                    {"SWAYSOCK", FIpcSocket}};
    env.merge(SanitizerEnv());
    return env;
}

Process& SwayTest::StartClient(const std::vector<std::string>& argv, bool talk, const Environment& extraEnv) {
    Environment env = extraEnv;
    env.merge(ClientEnv());
    return Start(argv, env, talk);
}

bool SwayTest::Run(const std::vector<std::string>& argv, std::string* output) {
    const std::string tag = Dir() + "/tool-" + std::to_string(++FTools);
    SpawnOptions options;
    options.Argv = argv;
    options.Env = ClientEnv();
    options.StdoutPath = tag + ".out";
    options.StderrPath = tag + ".err";
    std::optional<ExitStatus> status;
    {
        Process tool(options);
        status = tool.Wait(kPatience);
    }
    if (output != nullptr) *output = ReadFile(options.StdoutPath);
    std::error_code ignored;
    std::filesystem::remove(options.StdoutPath, ignored);
    std::filesystem::remove(options.StderrPath, ignored);
    return status == ExitedWith(0);
}

std::optional<Screenshot> SwayTest::Grab(const std::string& output) {
    std::string ppm;
    if (!Run({"/usr/bin/grim", "-t", "ppm", "-o", output, "-"}, &ppm)) return std::nullopt;
    return ParsePpm(ppm);
}

std::optional<Screenshot> SwayTest::WaitForStars(const std::string& output, int pixels) {
    std::optional<Screenshot> shot;
    WaitUntil([&] {
        shot = Grab(output);
        return shot && shot->ColouredPixels() >= pixels;
    });
    if (shot && shot->ColouredPixels() < pixels) shot.reset();
    return shot;
}

bool SwayTest::WaitForFreshFrames(const std::string& output, int count) {
    std::optional<Screenshot> last = Grab(output);
    int fresh = 0;
    return WaitUntil([&] {
        auto shot = Grab(output);
        if (shot && last && !(*shot == *last)) ++fresh;
        last = std::move(shot);
        return fresh >= count;
    });
}

namespace protocol {

int CountLines(const std::string& log, const std::vector<std::string>& parts) {
    std::istringstream lines(log);
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        // libwayland 1.23 names objects interface#id, older ones interface@id.
        std::replace(line.begin(), line.end(), '#', '@');
        count += std::all_of(parts.begin(), parts.end(),
                             [&](const std::string& part) { return line.find(part) != std::string::npos; });
    }
    return count;
}

bool HasLine(const std::string& log, const std::vector<std::string>& parts) { return CountLines(log, parts) > 0; }

std::string ProgramMessages(const std::string& log) {
    std::istringstream lines(log);
    std::string messages;
    for (std::string line; std::getline(lines, line);)
        if (!IsLogLine(line)) messages += line + "\n";
    return messages;
}

std::string Describe(const std::vector<BufferSize>& sizes) {
    std::string text;
    for (const BufferSize& size : sizes) text += std::to_string(size.Width) + "x" + std::to_string(size.Height) + " ";
    return text;
}

std::vector<BufferSize> AttachedBufferSizes(const std::string& log, std::size_t from) {
    std::map<std::string, BufferSize> buffers;  // by id; an id is used again once its buffer is gone
    std::vector<BufferSize> sizes;
    std::istringstream lines(log);
    std::size_t at = 0;
    for (std::string line; std::getline(lines, line); at += line.size() + 1) {
        const auto message = ParseLogLine(line);
        if (!message) continue;
        if (IsCall(*message, true, "wl_shm_pool", "create_buffer")) {
            // (new id wl_buffer@N, offset, width, height, stride, format)
            const auto& arguments = message->Arguments;
            if (arguments.size() != 6 || arguments[0].rfind("new id ", 0) != 0)
                throw std::runtime_error("a buffer made in a form not known: " + line);
            buffers[arguments[0].substr(7)] = {Number(arguments[2], line), Number(arguments[3], line)};
        } else if (at >= from && IsCall(*message, true, "wl_surface", "attach") && message->Arguments.at(0) != "nil") {
            const auto buffer = buffers.find(message->Arguments[0]);
            if (buffer == buffers.end()) throw std::runtime_error("no size known of the buffer attached in: " + line);
            sizes.push_back(buffer->second);
        }
    }
    return sizes;
}

int PointerMotions(const std::string& log) {
    std::istringstream lines(log);
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        const auto message = ParseLogLine(line);
        count += message && IsCall(*message, false, "wl_pointer", "motion") ? 1 : 0;
    }
    return count;
}

}  // namespace protocol

Environment SanitizerEnv() {
    Environment env;
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(name)) env[name] = value;
    return env;
}

std::string SaverPath() { return VELORA_SKYSHOW_EXE; }
std::string PointerPath() { return VELORA_TEST_POINTER_EXE; }

}  // namespace velora::testing
