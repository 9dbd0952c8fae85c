// velora-skyshow as a Wayland idle daemon runs it: on a headless sway with
// two outputs, input from a virtual keyboard (wtype) and the tests' own
// virtual pointer, pictures taken with grim.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "Compositor.h"

namespace velora::testing {
namespace {

constexpr int kLeftButton = 272;  // BTN_LEFT

bool AllOfSize(const std::vector<protocol::BufferSize>& sizes, int width, int height) {
    return std::all_of(sizes.begin(), sizes.end(),
                       [&](const protocol::BufferSize& size) { return size.Width == width && size.Height == height; });
}

class WaylandSaverTest : public SwayTest {
protected:
    void SetUp() override {
        // sway runs as nobody and puts its buffers and keymaps in /dev/shm;
        // a bare chroot, whose /dev/shm is not the system's tmpfs, cannot host it.
        struct stat shm = {};
        if (stat("/dev/shm", &shm) != 0 || (shm.st_mode & S_IWOTH) == 0)
            GTEST_SKIP() << "/dev/shm is not open to an unprivileged compositor here";
        SwayTest::SetUp();
    }

    Process& StartSaver(const std::vector<std::string>& args = {}, const std::string& program = SaverPath(),
                        const Environment& extraEnv = {}) {
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        return StartClient(argv, false, extraEnv);
    }
    // The saver with its protocol log on stderr, which tells the buffers it
    // made and the input it took.
    Process& StartLoggingSaver() { return StartSaver({}, SaverPath(), {{"WAYLAND_DEBUG", "1"}}); }
    // Input devices live for the whole test, so that the seat keeps them.
    Process& StartPointer() {
        Process& pointer = StartClient({PointerPath()}, /*talk=*/true);
        EXPECT_EQ(pointer.ReadLine(kPatience), "ok") << pointer.Stderr();
        return pointer;
    }
    void StartKeyboard() {
        StartClient({"/usr/bin/wtype", "-s", "3600000", "x"});
        ASSERT_TRUE(WaitUntil([&] { return SeatHas("keyboard"); })) << "the keyboard never reached the seat";
    }
    bool SeatHas(const std::string& capability) {
        std::string seats;
        return Run({"/usr/bin/swaymsg", "-t", "get_seats"}, &seats) &&
               seats.find("\"" + capability + "\"") != std::string::npos;
    }
    void Type(const std::vector<std::string>& keys) {
        std::vector<std::string> argv{"/usr/bin/wtype"};
        argv.insert(argv.end(), keys.begin(), keys.end());
        ASSERT_TRUE(Run(argv));
    }
    // Sends pointer moves and waits until the saver has taken them all and
    // drawn after them, so that whatever the test does next comes later in
    // the saver's eyes too, however slowly it runs.
    void MoveAndWaitUntilTaken(Process& pointer, Process& saver, const std::string& moves, int motions) {
        const int before = protocol::PointerMotions(saver.Stderr());
        ASSERT_EQ(pointer.Ask(moves, kPatience), "ok");
        ASSERT_TRUE(WaitUntil([&] { return protocol::PointerMotions(saver.Stderr()) >= before + motions; }))
            << "the saver never took the moves: " << protocol::PointerMotions(saver.Stderr()) - before << " of "
            << motions;
        EXPECT_TRUE(WaitForFreshFrames("HEADLESS-1")) << "no frames after the moves";
    }
    void ExpectQuietEnd(Process& saver) {
        EXPECT_EQ(saver.Wait(kPatience), ExitedWith(0)) << saver.Stderr();
        EXPECT_EQ(protocol::ProgramMessages(saver.Stderr()), "");
    }
};

TEST_F(WaylandSaverTest, EveryOutputShowsStarsOfItsOwnAndAnOutputAddedLaterGetsItsOwn) {
    Process& saver = StartLoggingSaver();
    const auto first = WaitForStars("HEADLESS-1");
    const auto second = WaitForStars("HEADLESS-2");
    ASSERT_TRUE(first && second) << "no stars on both outputs; " << protocol::ProgramMessages(saver.Stderr());
    // What it draws, it draws at the outputs' 1280x720 pixels.
    const auto sizes = protocol::AttachedBufferSizes(saver.Stderr());
    EXPECT_GE(sizes.size(), 2U) << "fewer frames than outputs";
    EXPECT_TRUE(AllOfSize(sizes, 1280, 720)) << protocol::Describe(sizes);
    EXPECT_FALSE(*first == *second) << "the outputs show one picture, not one engine each";

    ASSERT_TRUE(Run({"/usr/bin/swaymsg", "create_output"}));
    EXPECT_TRUE(WaitForStars("HEADLESS-3")) << "the new output got no picture";
    EXPECT_TRUE(WaitForFreshFrames("HEADLESS-1")) << "the first output stopped";

    saver.SignalGroup(SIGTERM);
    ExpectQuietEnd(saver);
}

TEST_F(WaylandSaverTest, AnOutputScaledWhileItRunsIsDrawnAtItsOwnPixels) {
    Process& saver = StartLoggingSaver();
    ASSERT_TRUE(WaitForStars("HEADLESS-1")) << protocol::ProgramMessages(saver.Stderr());
    ASSERT_TRUE(Run({"/usr/bin/swaymsg", "output", "HEADLESS-1", "scale", "2"}));

    // The surface is now 640x360 in the compositor's space, its buffers still
    // the mode's 1280x720 pixels: through the buffer scale where sway offers
    // no fractional scale (sway 1.7), else through the viewport (sway 1.10).
    std::size_t applied = std::string::npos;
    EXPECT_TRUE(WaitUntil([&] {
        const std::string log = saver.Stderr();
        applied = log.find("set_buffer_scale(2)");
        if (applied == std::string::npos && log.find("preferred_scale(240)") != std::string::npos)
            applied = log.find("set_destination(640, 360)");
        return applied != std::string::npos;
    })) << "the scale was never applied";
    EXPECT_TRUE(protocol::HasLine(saver.Stderr(), {"layer_surface_v1", ".configure(", ", 640, 360)"}))
        << "sway did not scale the surface";
    EXPECT_TRUE(WaitForFreshFrames("HEADLESS-1")) << "no frames after the scale changed";
    ASSERT_TRUE(WaitForStars("HEADLESS-1"));
    // Frames on both outputs since, every one of 1280x720 pixels.
    ASSERT_NE(applied, std::string::npos);
    EXPECT_TRUE(WaitUntil([&] { return protocol::AttachedBufferSizes(saver.Stderr(), applied).size() >= 4; }))
        << "too few frames after the scale changed";
    const auto sizes = protocol::AttachedBufferSizes(saver.Stderr(), applied);
    EXPECT_TRUE(AllOfSize(sizes, 1280, 720)) << protocol::Describe(sizes);

    saver.SignalGroup(SIGTERM);
    EXPECT_EQ(saver.Wait(kPatience), ExitedWith(0));
}

TEST_F(WaylandSaverTest, AKeyAClickTheWheelOrTwentyQuickMovesEndIt) {
    StartKeyboard();
    Process& pointer = StartPointer();
    ASSERT_TRUE(WaitUntil([&] { return SeatHas("pointer"); }));
    const std::vector<std::pair<std::string, std::function<void()>>> inputs = {
        {"a key", [&] { Type({"a"}); }},
        {"a click", [&] { EXPECT_EQ(pointer.Ask("button " + std::to_string(kLeftButton), kPatience), "ok"); }},
        {"the wheel", [&] { EXPECT_EQ(pointer.Ask("wheel", kPatience), "ok"); }},
        {"20 moves", [&] { EXPECT_EQ(pointer.Ask("move 20 3 2", kPatience), "ok"); }},
    };
    for (const auto& [name, send] : inputs) {
        SCOPED_TRACE(name);
        Process& saver = StartSaver();
        ASSERT_TRUE(WaitForStars("HEADLESS-1")) << saver.Stderr();
        send();
        ExpectQuietEnd(saver);
    }
}

TEST_F(WaylandSaverTest, NineteenMovesOrMovesSpreadOutDoNotEndIt) {
    Process& pointer = StartPointer();
    ASSERT_TRUE(WaitUntil([&] { return SeatHas("pointer"); }));
    Process& saver = StartLoggingSaver();
    ASSERT_TRUE(WaitForStars("HEADLESS-1")) << protocol::ProgramMessages(saver.Stderr());

    ASSERT_NO_FATAL_FAILURE(MoveAndWaitUntilTaken(pointer, saver, "move 19 3 2", 19));
    EXPECT_TRUE(saver.Running()) << "19 moves ended it";

    // More than 100 ms after the last counted move a run starts again, so
    // 19 one-pixel moves more do not make it 20 either.
    std::this_thread::sleep_for(150ms);
    ASSERT_NO_FATAL_FAILURE(MoveAndWaitUntilTaken(pointer, saver, "move 19 1 0", 19));
    EXPECT_TRUE(saver.Running()) << "moves after a pause counted on";

    saver.SignalGroup(SIGTERM);
    ExpectQuietEnd(saver);
}

TEST_F(WaylandSaverTest, PauseFreezesThePictureButNotANewOutputsFirstAndResumesIt) {
    StartKeyboard();
    Process& saver = StartSaver();
    ASSERT_TRUE(WaitForStars("HEADLESS-1")) << saver.Stderr();

    Type({"-k", "Pause"});
    // Still for a whole second: longer than a slow frame takes to come.
    std::optional<Screenshot> frozen;
    auto stillSince = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil([&] {
        auto shot = Grab("HEADLESS-1");
        if (!shot || !frozen || !(*shot == *frozen)) stillSince = std::chrono::steady_clock::now();
        frozen = std::move(shot);
        return std::chrono::steady_clock::now() - stillSince >= 1s;
    })) << "the picture never stood still";
    EXPECT_GT(frozen->ColouredPixels(), 0);
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(100ms);
        EXPECT_TRUE(Grab("HEADLESS-1") == frozen) << "the picture moved while paused";
    }
    EXPECT_TRUE(saver.Running()) << "Pause ended it";
    // An output added meanwhile shows its first frame all the same.
    ASSERT_TRUE(Run({"/usr/bin/swaymsg", "create_output"}));
    EXPECT_TRUE(WaitForStars("HEADLESS-3", 1)) << "an output added while paused stayed empty";
    EXPECT_TRUE(Grab("HEADLESS-1") == frozen) << "the picture moved while paused";

    Type({"-k", "Pause"});
    EXPECT_TRUE(WaitForFreshFrames("HEADLESS-1")) << "Pause again did not resume";
    Type({"a"});
    ExpectQuietEnd(saver);
}

TEST_F(WaylandSaverTest, WithoutInputDevicesItDrawsAndHearsOnesThatComeLater) {
    Process& saver = StartSaver();
    ASSERT_TRUE(WaitForStars("HEADLESS-1")) << saver.Stderr();
    ASSERT_FALSE(SeatHas("pointer"));

    // The click may come before the saver has taken the new pointer: repeat.
    Process& pointer = StartPointer();
    EXPECT_TRUE(WaitUntil([&] {
        pointer.Ask("button " + std::to_string(kLeftButton), kPatience);
        return !saver.Running();
    })) << "a pointer that came later was never heard";
    ExpectQuietEnd(saver);
}

TEST_F(WaylandSaverTest, ACompositorThatGoesAwayEndsItWithOneLine) {
    Process& saver = StartSaver();
    ASSERT_TRUE(WaitForStars("HEADLESS-1")) << saver.Stderr();
    Sway().SignalGroup(SIGKILL);
    EXPECT_EQ(saver.Wait(kPatience), ExitedWith(1));
    const std::string error = saver.Stderr();
    EXPECT_EQ(error.rfind("velora-skyshow: ", 0), 0u) << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
}

TEST_F(WaylandSaverTest, WithoutAnOpenGlLibraryItSaysSoInOneLine) {
    Process& saver = StartSaver({"--wayland"}, VELORA_SKYSHOW_NOGL_EXE);
    EXPECT_EQ(saver.Wait(kPatience), ExitedWith(1));
    EXPECT_EQ(saver.Stderr(), "velora-skyshow: InitOpenGL() failed\n");
}

TEST_F(WaylandSaverTest, SwayidleStartsItWhenIdleAndInputEndsIt) {
    StartKeyboard();
    const std::string pidFile = Dir() + "/saver.pid";
    StartClient({"/usr/bin/swayidle", "timeout", "1", SaverPath() + " & echo $! >" + pidFile, "resume",
                 "kill $(cat " + pidFile + ")"});
    pid_t pid = 0;
    ASSERT_TRUE(WaitUntil([&] {
        std::ifstream file(pidFile);
        return static_cast<bool>(file >> pid);
    })) << "swayidle never started the saver";
    EXPECT_TRUE(WaitForStars("HEADLESS-1"));

    Type({"a"});
    // The saver is no child of ours: wait for it to be gone or a zombie.
    EXPECT_TRUE(WaitUntil([&] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string ignored, name, state;
        return !(stat >> ignored >> name >> state) || state == "Z";
    })) << "the saver outlived the input";
}

TEST_F(WaylandSaverTest, OnIdleCoversTheOutputsOnceNoApplicationInhibitsIdleAndAKeyEndsTheRun) {
    StartKeyboard();
    Process& inhibitor = StartClient({VELORA_TEST_APP_EXE, "--inhibit"}, /*talk=*/true);
    ASSERT_EQ(inhibitor.ReadLine(kPatience), "ok") << inhibitor.Stderr();
    Process& saver = StartSaver({"--on-idle", "2"}, SaverPath(), {{"WAYLAND_DEBUG", "1"}});
    ASSERT_TRUE(WaitUntil([&] { return protocol::ProgramMessages(saver.Stderr()) != ""; }));
    // sway 1.7 offers org_kde_kwin_idle alone; from 1.8 on ext-idle-notify-v1
    // too, which is preferred.
    const std::string told = protocol::ProgramMessages(saver.Stderr());
    const std::string announced = "velora-skyshow: covers the outputs after 2 s of idle time, as ";
    EXPECT_TRUE(told == announced + "org_kde_kwin_idle tells\n" || told == announced + "ext-idle-notify-v1 tells\n")
        << told;

    std::this_thread::sleep_for(4s);  // twice the idle time
    EXPECT_EQ(protocol::CountLines(saver.Stderr(), {"-> zwlr_layer_shell_v1@", ".get_layer_surface("}), 0)
        << "shown while idle was inhibited";
    ASSERT_EQ(inhibitor.Ask("release", kPatience), "ok");
    EXPECT_TRUE(WaitForStars("HEADLESS-1") && WaitForStars("HEADLESS-2")) << "not shown once the inhibitor was gone";

    Type({"a"});
    EXPECT_TRUE(WaitUntil([&] {
        return protocol::CountLines(saver.Stderr(), {"-> zwlr_layer_surface_v1@", ".destroy()"}) == 2;
    })) << "a key did not end the run";
    EXPECT_TRUE(saver.Running());
    saver.SignalGroup(SIGTERM);
    EXPECT_EQ(saver.Wait(kPatience), ExitedWith(0));
}

}  // namespace
}  // namespace velora::testing
