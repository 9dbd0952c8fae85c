#include "DaemonFixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace itest {

namespace fs = std::filesystem;

void DaemonTest::SetUp() {
  XSessionTest::SetUp();
  if (HasFatalFailure()) return;
  // The scratch directory is root's and private; the user only passes through it.
  ASSERT_EQ(chmod(scratch().c_str(), 0711), 0);
  home_ = scratch() + "/home";
  fs::create_directory(home_);
  ASSERT_EQ(chown(home_.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chmod(home_.c_str(), 0700), 0);
  // The build tree may lie where the user cannot reach: the programs are
  // copied as the package lays them out.
  for (const char* folder : {"/bin", "/libexec", "/libexec/xscreensaver"}) {
    fs::create_directory(scratch() + folder);
    ASSERT_EQ(chmod((scratch() + folder).c_str(), 0755), 0);
  }
  saver_ = scratch() + "/libexec/xscreensaver/velora-skyshow";
  adder_ = scratch() + "/bin/velora-skyshow-add";
  fs::copy_file(skyshowPath(), saver_);
  fs::copy_file(VELORA_SKYSHOW_ADD_EXE, adder_);
  ASSERT_EQ(chmod(saver_.c_str(), 0755), 0);
  ASSERT_EQ(chmod(adder_.c_str(), 0755), 0);
}

void DaemonTest::writeSettings(const std::string& program) {
  const std::string path = home_ + "/.xscreensaver";
  {
    std::ofstream out(path);
    out << "mode:\t\tone\n"
           "selected:\t0\n"
           "lock:\t\tFalse\n"
           "splash:\t\tFalse\n"
           "fade:\t\tFalse\n"
           "unfade:\t\tFalse\n"
           "timeout:\t1:00:00\n"
           "cycle:\t\t1:00:00\n"
           "programs:\t\\\n"
           "  GL: "
        << program << " \\n\n";
  }
  ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
}

Process& DaemonTest::startSettingsProgram() {
  const std::string config = scratch() + "/config";
  fs::create_directory(config);
  EXPECT_EQ(chmod(config.c_str(), 0755), 0);
  fs::copy_file(VELORA_SKYSHOW_XML, config + "/velora-skyshow.xml", fs::copy_options::overwrite_existing);
  std::vector<std::string> argv{"unshare", "-m", "sh", "-c",
                                "mount --bind \"$0\" /usr/share/xscreensaver/config && exec \"$@\"", config};
  const auto user = asUser({"xscreensaver-settings", "--debug"});
  argv.insert(argv.end(), user.begin(), user.end());
  return start(argv);
}

std::vector<std::string> DaemonTest::asUser(const std::vector<std::string>& argv) const {
  std::vector<std::string> line{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "env",
                                "HOME=" + home_};
  line.insert(line.end(), argv.begin(), argv.end());
  return line;
}

Process& DaemonTest::start(const std::vector<std::string>& argv) {
  return launch(std::vector<std::string>(argv.begin() + 1, argv.end()), {}, argv.front());
}

int DaemonTest::runTool(const std::vector<std::string>& argv, std::string* output) {
  SpawnOptions options;
  options.argv = argv;
  options.env = environment();
  options.stdoutPath = scratch() + "/tool.out";
  options.stderrPath = scratch() + "/tool.err";
  Process tool(options);
  const auto status = tool.wait(kPatience);
  if (output != nullptr) *output = readFile(options.stdoutPath) + readFile(options.stderrPath);
  return status && status->exited ? status->code : -1;
}

bool DaemonTest::helpersGone() const {
  for (const ChildInfo& child : childrenOfThisProcess()) {
    const bool ours = std::find(harnessPids_.begin(), harnessPids_.end(), child.pid) != harnessPids_.end() ||
                      std::any_of(processes_.begin(), processes_.end(),
                                  [&](const auto& process) { return process->pid() == child.pid; });
    if (!ours && child.state != 'Z') return false;
  }
  return true;
}

std::vector<pid_t> DaemonTest::saverProcesses() const {
  std::vector<pid_t> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code linkError;
    if (fs::read_symlink(entry.path() / "exe", linkError).string() != saver_) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z') continue;
    found.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return found;
}

}  // namespace itest
