#include "DaemonFixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace velora::testing {

namespace fs = std::filesystem;

void DaemonTest::SetUp() {
    XSessionTest::SetUp();
    if (HasFatalFailure()) return;
    // The scratch directory is root's and private; the user only passes through it.
    ASSERT_EQ(chmod(Scratch().c_str(), 0711), 0);
    FHome = Scratch() + "/home";
    fs::create_directory(FHome);
    ASSERT_EQ(chown(FHome.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(chmod(FHome.c_str(), 0700), 0);
    // The build tree may lie where the user cannot reach: the programs are
    // copied as the package lays them out.
    for (const char* folder : {"/bin", "/libexec", "/libexec/xscreensaver"}) {
        fs::create_directory(Scratch() + folder);
        ASSERT_EQ(chmod((Scratch() + folder).c_str(), 0755), 0);
    }
    FSaver = Scratch() + "/libexec/xscreensaver/velora-skyshow";
    FAdder = Scratch() + "/bin/velora-skyshow-add";
    fs::copy_file(SkyshowPath(), FSaver);
    fs::copy_file(VELORA_SKYSHOW_ADD_EXE, FAdder);
    ASSERT_EQ(chmod(FSaver.c_str(), 0755), 0);
    ASSERT_EQ(chmod(FAdder.c_str(), 0755), 0);
}

void DaemonTest::WriteSettings(const std::string& program) {
    const std::string path = FHome + "/.xscreensaver";
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

Process& DaemonTest::StartSettingsProgram() {
    const std::string config = Scratch() + "/config";
    fs::create_directory(config);
    EXPECT_EQ(chmod(config.c_str(), 0755), 0);
    fs::copy_file(VELORA_SKYSHOW_XML, config + "/velora-skyshow.xml", fs::copy_options::overwrite_existing);
    std::vector<std::string> argv{
        "unshare", "-m", "sh", "-c", "mount --bind \"$0\" /usr/share/xscreensaver/config && exec \"$@\"", config};
    const auto user = AsUser({"xscreensaver-settings", "--debug"});
    argv.insert(argv.end(), user.begin(), user.end());
    return Start(argv);
}

std::vector<std::string> DaemonTest::AsUser(const std::vector<std::string>& argv) const {
    std::vector<std::string> line{"setpriv",        "--reuid=65534", "--regid=65534",
                                  "--clear-groups", "env",           "HOME=" + FHome};
    line.insert(line.end(), argv.begin(), argv.end());
    return line;
}

Process& DaemonTest::Start(const std::vector<std::string>& argv) {
    return Launch(std::vector<std::string>(argv.begin() + 1, argv.end()), {}, argv.front());
}

int DaemonTest::RunTool(const std::vector<std::string>& argv, std::string* output) {
    SpawnOptions options;
    options.Argv = argv;
    options.Env = ProgramEnvironment();
    options.StdoutPath = Scratch() + "/tool.out";
    options.StderrPath = Scratch() + "/tool.err";
    Process tool(options);
    const auto status = tool.Wait(kPatience);
    if (output != nullptr) *output = ReadFile(options.StdoutPath) + ReadFile(options.StderrPath);
    return status && status->Exited ? status->Code : -1;
}

bool DaemonTest::WaitForDaemon() {
    return WaitUntil([&] { return RunTool({"xscreensaver-command", "-time"}) == 0; });
}

bool DaemonTest::HelpersGone() const {
    for (const ProcessInfo& child : ChildrenOfThisProcess()) {
        const bool ours = std::find(FHarnessPids.begin(), FHarnessPids.end(), child.Pid) != FHarnessPids.end() ||
                          std::any_of(FProcesses.begin(), FProcesses.end(),
                                      [&](const auto& process) { return process->Pid() == child.Pid; });
        if (!ours && child.State != 'Z') return false;
    }
    return true;
}

std::vector<pid_t> DaemonTest::SaverProcesses() const {
    std::vector<pid_t> found;
    for (const ProcessInfo& process : AllProcesses()) {
        if (process.Executable == FSaver && process.State != 'Z') found.push_back(process.Pid);
    }
    return found;
}

}  // namespace velora::testing
