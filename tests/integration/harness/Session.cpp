#include "harness/Session.h"

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

namespace itest {

std::string veloraPath() { return VELORA_EXE; }
std::string skyshowPath() { return VELORA_SKYSHOW_EXE; }

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(interval);
  }
}

std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void PrintTo(const CommandLine& line, std::ostream* out) {
  *out << line.name << ":";
  for (const auto& arg : line.args) *out << " " << arg;
}

std::vector<std::string> pointerMoves(int count, int y) {
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) {
    args.insert(args.end(), {"mousemove", std::to_string(100 + 20 * i), std::to_string(y)});
  }
  return args;
}

void ProcessTest::SetUp() {
  becomeSubreaper();
  std::string pattern = (std::filesystem::temp_directory_path() / "velora-it-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "cannot create a scratch directory";
  scratch_ = pattern;
}

void ProcessTest::TearDown() {
  stopPrograms();
  finish();
}

std::string ProcessTest::readFile(const std::string& path) const {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Process& ProcessTest::launch(const std::vector<std::string>& args, const Environment& env, const std::string& exe) {
  SpawnOptions options;
  options.argv.push_back(exe);
  options.argv.insert(options.argv.end(), args.begin(), args.end());
  options.env = env;
  const std::string tag = std::filesystem::path(exe).filename().string() + "-" + std::to_string(++spawned_);
  options.stdoutPath = scratch_ + "/" + tag + ".out";
  options.stderrPath = scratch_ + "/" + tag + ".err";
  processes_.push_back(std::make_unique<Process>(options));
  return *processes_.back();
}

std::optional<ExitStatus> ProcessTest::expectExit(Process& process, std::chrono::milliseconds timeout) {
  auto status = process.wait(timeout);
  if (!status) {
    ADD_FAILURE() << process.name() << " is still running after " << timeout.count() << " ms";
  }
  return status;
}

void ProcessTest::stopPrograms() {
  if (HasFailure()) {
    recordFailureEvidence();
    for (const auto& process : processes_) {
      std::cerr << "--- stderr of " << process->name() << " (pid " << process->pid() << ") ---\n"
                << readFile(process->stderrPath()) << "---\n";
    }
  }
  std::vector<pid_t> known = harnessPids_;
  for (const auto& process : processes_) known.push_back(process->pid());
  for (const ChildInfo& child : childrenOfThisProcess()) {
    if (std::find(known.begin(), known.end(), child.pid) != known.end()) continue;
    // As subreaper we inherit whatever the program's children outlive it with.
    if (child.state != 'Z') {
      ADD_FAILURE() << "left running after the program ended: pid " << child.pid << ": " << child.commandLine;
      ::kill(child.pid, SIGKILL);
    }
    reapZombie(child.pid);
  }
  processes_.clear();
}

void ProcessTest::finish() {
  for (const ChildInfo& child : childrenOfThisProcess()) {
    if (child.state != 'Z') {
      ADD_FAILURE() << "process survived the test's clean-up: pid " << child.pid << ": " << child.commandLine;
      ::kill(child.pid, SIGKILL);
    }
    reapZombie(child.pid);
  }
  if (!scratch_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(scratch_, ec);
  }
}

void XSessionTest::SetUp() {
  ProcessTest::SetUp();
  if (HasFatalFailure()) return;
  server_ = std::make_unique<velora::testing::XvfbServer>(1024, 768, serverArguments());
  ASSERT_TRUE(server_->Running()) << server_->Failure();
  harnessPids_.push_back(server_->Pid());
  try {
    connection_ = std::make_unique<XConnection>(server_->Display());
  } catch (const std::exception& e) {
    FAIL() << e.what();
  }
}

void XSessionTest::TearDown() {
  stopPrograms();
  connection_.reset();
  server_.reset();
  finish();
}

Environment XSessionTest::environment() const {
  Environment env = inheritedEnvironment();
  env["DISPLAY"] = server_->Display();
  return env;
}

Process& XSessionTest::launch(const std::vector<std::string>& args, const Environment& extra,
                              const std::string& exe) {
  Environment env = environment();
  for (const auto& [key, value] : extra) env[key] = value;
  return ProcessTest::launch(args, env, exe);
}

void XSessionTest::recordFailureEvidence() {
  if (!connection_) return;
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  std::replace(name.begin(), name.end(), '/', '_');
  const std::filesystem::path dir = VELORA_IT_ARTIFACT_DIR;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const std::string ppm = scratch() + "/screen.ppm";
  const std::string png = (dir / (name + ".png")).string();
  try {
    connection_->grabScreen().savePpm(ppm);
    SpawnOptions options;
    options.argv = {"convert", ppm, png};
    options.env = inheritedEnvironment();
    Process convert(options);
    const auto status = convert.wait(kPatience);
    if (status && status->exited && status->code == 0) {
      std::cerr << "screenshot of the failure: " << png << "\n";
    } else {
      std::cerr << "could not convert the failure screenshot to " << png << "\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "no failure screenshot: " << e.what() << "\n";
  }
}

void XSessionTest::xdotool(const std::vector<std::string>& args) {
  SpawnOptions options;
  options.argv = {"xdotool"};
  options.argv.insert(options.argv.end(), args.begin(), args.end());
  options.env = environment();
  options.stderrPath = scratch() + "/xdotool.err";
  Process tool(options);
  const auto status = tool.wait(kPatience);
  ASSERT_TRUE(status) << "xdotool hung";
  ASSERT_TRUE(status->exited && status->code == 0)
      << "xdotool failed with " << *status << ": " << readFile(options.stderrPath);
}

std::optional<WindowInfo> XSessionTest::waitForWindow(const std::string& name, int width, int height,
                                                      std::chrono::milliseconds timeout) {
  std::optional<WindowInfo> found;
  waitUntil(
      [&] {
        for (const WindowInfo& w : x().viewableWindowsNamed(name)) {
          if (w.rect.width == width && w.rect.height == height) {
            found = w;
            return true;
          }
        }
        return false;
      },
      timeout);
  return found;
}

std::optional<WindowInfo> XSessionTest::waitForWindowNamed(const std::string& name,
                                                           std::chrono::milliseconds timeout) {
  std::optional<WindowInfo> found;
  waitUntil(
      [&] {
        const auto windows = x().viewableWindowsNamed(name);
        if (!windows.empty()) found = windows.front();
        return found.has_value();
      },
      timeout);
  return found;
}

Image XSessionTest::waitForStars(const Rect& area, int minimum, std::chrono::milliseconds timeout) {
  Image shot;
  waitUntil(
      [&] {
        shot = x().grab(area);
        return shot.countStarPixels(area) >= minimum;
      },
      timeout);
  return shot;
}

bool XSessionTest::waitForStarsInEach(const std::vector<Rect>& parts, std::chrono::milliseconds timeout) {
  Rect bounds = parts.front();
  for (const Rect& part : parts) {
    const int right = std::max(bounds.x + bounds.width, part.x + part.width);
    const int bottom = std::max(bounds.y + bounds.height, part.y + part.height);
    bounds.x = std::min(bounds.x, part.x);
    bounds.y = std::min(bounds.y, part.y);
    bounds.width = right - bounds.x;
    bounds.height = bottom - bounds.y;
  }
  std::vector<bool> seen(parts.size(), false);
  return waitUntil(
      [&] {
        const Image shot = x().grab(bounds);
        for (std::size_t i = 0; i < parts.size(); ++i) seen[i] = seen[i] || shot.countStarPixels(parts[i]) > 0;
        return std::all_of(seen.begin(), seen.end(), [](bool s) { return s; });
      },
      timeout, 200ms);
}

bool XSessionTest::waitForStarsInAllQuarters(const Rect& area, std::chrono::milliseconds timeout) {
  const int hw = area.width / 2;
  const int hh = area.height / 2;
  return waitForStarsInEach({Rect{area.x, area.y, hw, hh}, Rect{area.x + hw, area.y, area.width - hw, hh},
                             Rect{area.x, area.y + hh, hw, area.height - hh},
                             Rect{area.x + hw, area.y + hh, area.width - hw, area.height - hh}},
                            timeout);
}

bool XSessionTest::waitForChange(const Image& before, std::chrono::milliseconds timeout) {
  return waitUntil([&] { return !(x().grab(before.area()) == before); }, timeout);
}

std::optional<Image> XSessionTest::waitForStill(const Rect& area, std::chrono::milliseconds gap,
                                                std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  Image previous = x().grab(area);
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(gap);
    Image current = x().grab(area);
    if (current == previous) return current;
    previous = std::move(current);
  }
  return std::nullopt;
}

}  // namespace itest
