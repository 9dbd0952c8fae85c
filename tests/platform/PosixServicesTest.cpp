#include "platform/posix/PosixServices.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace velora::platform::posix {
namespace {

namespace fs = std::filesystem;

TEST(MonotonicClock, TheTickIsTheCounterInMilliseconds) {
    MonotonicClock clock;
    std::uint64_t before = 0;
    std::uint64_t after = 0;
    ASSERT_TRUE(clock.QueryPerformanceCounter(before));
    const Tick tick = clock.GetTickCount();
    ASSERT_TRUE(clock.QueryPerformanceCounter(after));
    EXPECT_GE(tick, static_cast<Tick>(before / 1000000u));
    EXPECT_LE(tick, static_cast<Tick>(after / 1000000u));
}

// LOCPATH makes glibc look for locales in one directory instead of the
// system's archive. glibc remembers what it did not find under a path, so
// every test gets a directory of its own.
class RussianLocale : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() / ("velora-locales-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(FDir);
        if (const char* old = getenv("LOCPATH")) FOld = old;
        setenv("LOCPATH", FDir.c_str(), 1);
    }
    void TearDown() override {
        if (FOld.empty())
            unsetenv("LOCPATH");
        else
            setenv("LOCPATH", FOld.c_str(), 1);
        fs::remove_all(FDir);
    }
    fs::path FDir;
    std::string FOld;
};

TEST_F(RussianLocale, NotInstalledWhenNoRussianLocaleCanBeLoaded) { EXPECT_FALSE(RussianLocaleInstalled()); }

TEST_F(RussianLocale, InstalledOnceARussianLocaleIsCompiled) {
    if (!fs::exists("/usr/share/i18n/locales/ru_RU")) GTEST_SKIP() << "no locale sources";
    const std::string command = "localedef -i ru_RU -f UTF-8 " + (FDir / "ru_RU.UTF-8").string() + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !fs::exists(FDir / "ru_RU.UTF-8")) GTEST_SKIP() << "localedef failed";
    EXPECT_TRUE(RussianLocaleInstalled());
}

// Our children that have exited but were not collected.
int ZombieChildren() {
    int zombies = 0;
    DIR* proc = opendir("/proc");
    while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == getpid() && state == 'Z')
            ++zombies;
    }
    closedir(proc);
    return zombies;
}

TEST(SpawnDetached, StartsWithoutWaitingAndLeavesNoZombie) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(SpawnDetached({"sleep", "0.3"}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(ZombieChildren(), 0);
}

TEST(SpawnDetached, ArgumentsReachTheProgramUnchangedWithoutAShell) {
    const fs::path out = fs::temp_directory_path() / ("velora-spawn-" + std::to_string(getpid()));
    ASSERT_TRUE(SpawnDetached({"sh", "-c", "printf '%s' \"$1\" > \"$2\"", "sh", "a b;$(x)|'c'", out.string()}));
    for (int i = 0; i < 200 && !fs::exists(out); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(out);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "a b;$(x)|'c'");
    fs::remove(out);
}

TEST(SpawnDetached, AProgramThatIsNotThereIsReportedAsNotStarted) {
    EXPECT_FALSE(SpawnDetached({"velora-no-such-program-anywhere"}));
    EXPECT_FALSE(SpawnDetached({}));
}

}  // namespace
}  // namespace velora::platform::posix
