// velora-skyshow-add: puts velora-skyshow into the user's list of savers in
// ~/.xscreensaver, the list the daemon and its settings program read. A user
// without that file gets one holding the system's list and the saver.
// With --wayland it writes the user's XDG autostart entry that starts
// velora-skyshow --on-idle at each login to a Wayland session instead (and
// with --remove as well, takes that entry away).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "base/ExitCodes.h"
#include "shell/SaverList.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "velora-skyshow-add";
constexpr const char* kUsage = "usage: velora-skyshow-add [--wayland [--remove]]";
constexpr const char* kAutostartName = "velora-skyshow.desktop";
// The idle time of the autostart entry, in seconds.
constexpr int kAutostartIdleSeconds = 300;
constexpr const char* kSystemDefaults = "/etc/X11/app-defaults/XScreenSaver";

struct Failure {
    std::string Text;
};

// The file's bytes; none when it does not exist.
std::optional<std::string> ReadIfPresent(const fs::path& path) {
    std::error_code error;
    if (!fs::exists(path, error) && !error) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (error || !in) throw Failure{path.string() + ": cannot be read"};
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw Failure{path.string() + ": cannot be read"};
    return text.str();
}

// The saver installed with this command: in libexec/xscreensaver beside its
// bin folder, or (in a build folder) beside the command itself.
fs::path FindSaver() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) throw Failure{"cannot find its own program: " + error.message()};
    const fs::path installed =
        fs::weakly_canonical(self.parent_path() / "../libexec/xscreensaver/velora-skyshow", error);
    if (!error && fs::is_regular_file(installed)) return installed;
    const fs::path beside = self.parent_path() / "velora-skyshow";
    if (fs::is_regular_file(beside)) return beside;
    throw Failure{"no velora-skyshow at " + installed.string()};
}

// Replaces the file's bytes in one step: a reader sees the old or the new
// file, never part of one. A link (a dotfile manager's) is followed, not replaced.
void Replace(const fs::path& file, const std::string& text) {
    std::error_code error;
    const fs::path target = fs::is_symlink(file) ? fs::weakly_canonical(file, error) : file;
    if (error) throw Failure{file.string() + ": " + error.message()};
    struct stat before = {};
    mode_t mode;
    if (stat(target.c_str(), &before) == 0) {
        mode = before.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    std::string temporary = target.string() + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) throw Failure{target.parent_path().string() + ": " + std::strerror(errno)};
    bool written = fchmod(fd, mode) == 0;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    const int saved = errno;
    written = written && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temporary.c_str(), target.c_str()) != 0) {
        const std::string reason = std::strerror(written ? errno : saved);
        unlink(temporary.c_str());
        throw Failure{target.string() + ": " + reason};
    }
}

// $XDG_CONFIG_HOME/autostart, ~/.config/autostart where it is unset or not
// absolute, as the XDG base directories say.
fs::path AutostartDir() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return fs::path(config) / "autostart";
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') throw Failure{"HOME is not set"};
    return fs::path(home) / ".config" / "autostart";
}

// The entry runs the saver only where the session has a Wayland compositor;
// an X session has XScreenSaver for it. Within Exec's double quotes the
// shell's " and $ are escaped, and each escape once more for the key's value.
std::string AutostartEntry(const std::string& saver) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Velora Skyshow\n"
           "Comment=Covers every monitor with bursts of stars while the session is idle\n"
           R"(Exec=sh -c "[ -n \\"\\$WAYLAND_DISPLAY\\" ] && exec )" +
           saver + " --on-idle " + std::to_string(kAutostartIdleSeconds) +
           "\"\n"
           "Icon=velora-skyshow\n"
           "NoDisplay=true\n"
           "Terminal=false\n";
}

int RunWayland(bool remove) {
    const fs::path entryPath = AutostartDir() / kAutostartName;
    std::error_code error;
    if (remove) {
        if (!fs::remove(entryPath, error) && !error) {
            std::printf("%s is not there\n", entryPath.c_str());
            return velora::kExitSuccess;
        }
        if (error) throw Failure{entryPath.string() + ": " + error.message()};
        std::printf("removed %s\n", entryPath.c_str());
        return velora::kExitSuccess;
    }
    const std::string saver = FindSaver().string();
    if (saver.find_first_of(" \t\n\"'\\$`") != std::string::npos)
        throw Failure{"the autostart entry cannot hold the path " + saver};
    const std::string entry = AutostartEntry(saver);
    if (ReadIfPresent(entryPath) == entry) {
        std::printf("%s is there already\n", entryPath.c_str());
        return velora::kExitSuccess;
    }
    fs::create_directories(entryPath.parent_path(), error);
    if (error) throw Failure{entryPath.parent_path().string() + ": " + error.message()};
    Replace(entryPath, entry);
    std::printf(
        "wrote %s: from the next login to a Wayland session, Velora Skyshow covers the screens after %d "
        "minutes of idle time\n",
        entryPath.c_str(), kAutostartIdleSeconds / 60);
    return velora::kExitSuccess;
}

int Run() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') throw Failure{"HOME is not set"};
    const fs::path settingsPath = fs::path(home) / ".xscreensaver";
    const std::string saver = FindSaver().string();
    if (saver.find_first_of(" \t\n\"'\\") != std::string::npos)
        throw Failure{"the daemon's list cannot hold the path " + saver};

    const std::string settings = ReadIfPresent(settingsPath).value_or(std::string());
    if (velora::ListsSaver(settings, saver)) {
        std::printf("%s already lists velora-skyshow\n", settingsPath.c_str());
        return velora::kExitSuccess;
    }
    const std::string defaults = ReadIfPresent(kSystemDefaults).value_or(std::string());
    const auto added = velora::AddToSaverList(settings, defaults, velora::SaverListEntry(saver));
    if (!added)
        throw Failure{"neither " + settingsPath.string() + " nor " + kSystemDefaults +
                      " lists the daemon's savers (is xscreensaver installed?)"};
    Replace(settingsPath, *added);
    std::printf("added velora-skyshow to %s: pick Velora Skyshow in xscreensaver-settings\n", settingsPath.c_str());
    return velora::kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("%s\n", kUsage);
        return velora::kExitSuccess;
    }
    const bool wayland = argc >= 2 && std::strcmp(argv[1], "--wayland") == 0;
    const bool remove = wayland && argc == 3 && std::strcmp(argv[2], "--remove") == 0;
    const int taken = wayland ? 2 + remove : 1;
    if (argc > taken) {
        std::fprintf(stderr, "%s: unknown argument %s; %s\n", kName, argv[taken], kUsage);
        return velora::kExitUsage;
    }
    try {
        return wayland ? RunWayland(remove) : Run();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s: %s\n", kName, failure.Text.c_str());
    } catch (const std::exception& exception) {
        std::fprintf(stderr, "%s: %s\n", kName, exception.what());
    }
    return velora::kExitFailure;
}
