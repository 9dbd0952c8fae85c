#pragma once
// XScreenSaver as its users run it: the daemon and its settings program as an
// unprivileged user (the daemon refuses to run savers as root) with a home
// of their own, on the test's private Xvfb, with velora-skyshow copied where
// that user can run it.
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "harness/Session.h"

namespace velora::testing {

class DaemonTest : public XSessionTest {
protected:
    static constexpr uid_t kNobody = 65534;

    void SetUp() override;

    const std::string& Saver() const { return FSaver; }
    const std::string& Home() const { return FHome; }
    // velora-skyshow-add, in the bin folder beside the saver's libexec folder.
    const std::string& Adder() const { return FAdder; }

    // Writes the user's ~/.xscreensaver, with `program` as the one saver.
    void WriteSettings(const std::string& program);

    // The command line that runs argv as the unprivileged user, HOME set to its home.
    std::vector<std::string> AsUser(const std::vector<std::string>& argv) const;
    // Starts the settings program as the user with --debug, in a mount
    // namespace where the system's folder of saver descriptions holds ours
    // alone (the program reads them from there only); needs `unshare -m`.
    Process& StartSettingsProgram();
    // Starts a command line; argv[0] is looked up in PATH.
    Process& Start(const std::vector<std::string>& argv);

    // Runs a command of ours on the test's display to its end; its exit code.
    int RunTool(const std::vector<std::string>& argv, std::string* output = nullptr);
    // Whether the daemon started answers xscreensaver-command in time.
    bool WaitForDaemon();

    // Whether every process the daemon left to us (its helpers) has ended.
    bool HelpersGone() const;

    // Live (not zombie) processes running the copied saver.
    std::vector<pid_t> SaverProcesses() const;

private:
    std::string FHome;
    std::string FSaver;
    std::string FAdder;
};

}  // namespace velora::testing
