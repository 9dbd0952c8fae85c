#include "ui/MainLayout.h"

#include <gtest/gtest.h>

#include "ui/Program.h"
#include "CommandLineArgs.h"

namespace velora {
namespace {

using testing::Args;

TEST(ChooseLayout, TheSaverSwitchGivesTheFullScreenWhateverFollows) {
    EXPECT_EQ(ChooseLayout(Args({"/s"})), MainLayout::FullScreen);
    EXPECT_EQ(ChooseLayout(Args({"-Screen", "-pdebug", "42"})), MainLayout::FullScreen);
}

TEST(ChooseLayout, OnlyTheExactLonePdebugGivesTheSmallWindow) {
    EXPECT_EQ(ChooseLayout(Args({"-pdebug"})), MainLayout::Small);
    EXPECT_EQ(ChooseLayout(Args({"-PDEBUG"})), MainLayout::Sizeable);
    EXPECT_EQ(ChooseLayout(Args({"-pdebug", "123"})), MainLayout::Sizeable);
    EXPECT_EQ(ChooseLayout(Args({"/p"})), MainLayout::Sizeable);
    EXPECT_EQ(ChooseLayout(Args({})), MainLayout::Sizeable);
}

TEST(PlaceMainForm, TheFullScreenCoversTheVirtualScreen) {
    const Rect screen{0, 0, 1920, 1080};
    const MainPlacement place = PlaceMainForm(MainLayout::FullScreen, screen, Rect{0, 30, 1920, 1080});
    EXPECT_EQ(place.Client.Left, 0);
    EXPECT_EQ(place.Client.Top, 0);
    EXPECT_EQ(place.Client.Right, 1920);
    EXPECT_EQ(place.Client.Bottom, 1080);
    EXPECT_FALSE(place.SmallMode);
}

TEST(PlaceMainForm, TheSmallWindowIsCentredInTheWorkAreaWithIntegerDivision) {
    const MainPlacement place = PlaceMainForm(MainLayout::Small, Rect{0, 0, 1100, 800}, Rect{20, 30, 1021, 731});
    // (1001 - 180) div 2 + 20 and (701 - 160) div 2 + 30
    EXPECT_EQ(place.Client.Left, 430);
    EXPECT_EQ(place.Client.Top, 300);
    EXPECT_EQ(place.Client.Right - place.Client.Left, 180);
    EXPECT_EQ(place.Client.Bottom - place.Client.Top, 160);
    EXPECT_EQ(place.MinWidth, 180);
    EXPECT_EQ(place.MinHeight, 160);
    EXPECT_TRUE(place.SmallMode);
}

TEST(PlaceMainForm, CentringInAWorkAreaSmallerThanTheWindowTruncatesTowardsZero) {
    const MainPlacement place = PlaceMainForm(MainLayout::Small, Rect{0, 0, 101, 99}, Rect{0, 0, 101, 99});
    EXPECT_EQ(place.Client.Left, -39);  // -79 div 2
    EXPECT_EQ(place.Client.Top, -30);   // -61 div 2
}

TEST(PlaceMainForm, TheTestWindowLiesHundredPixelsInsideTheWorkArea) {
    const MainPlacement place = PlaceMainForm(MainLayout::Sizeable, Rect{0, 0, 1280, 1024}, Rect{0, 24, 1280, 1024});
    EXPECT_EQ(place.Client.Left, 100);
    EXPECT_EQ(place.Client.Top, 124);
    EXPECT_EQ(place.Client.Right - place.Client.Left, 1080);
    EXPECT_EQ(place.Client.Bottom - place.Client.Top, 800);
    EXPECT_EQ(place.MinWidth, 400);
    EXPECT_EQ(place.MinHeight, 300);
    EXPECT_FALSE(place.SmallMode);
}

TEST(PlaceMainForm, TheTestWindowNeverGetsSmallerThanTheFormMinimum) {
    const MainPlacement place = PlaceMainForm(MainLayout::Sizeable, Rect{0, 0, 560, 420}, Rect{0, 0, 560, 420});
    EXPECT_EQ(place.Client.Right - place.Client.Left, 400);
    EXPECT_EQ(place.Client.Bottom - place.Client.Top, 300);
}

struct StartCase {
    std::vector<const char*> Args;
    StartMode Mode;
    WindowHandle Wnd;
};

TEST(ChooseStartMode, FollowsTheDispatchTable) {
    const auto isWindow = [](WindowHandle wnd) { return wnd == 500; };
    const StartCase cases[] = {
        {{}, StartMode::MainForm, 0},
        {{"/s", "500"}, StartMode::MainForm, 0},
        {{"/c"}, StartMode::Settings, 0},
        {{"/C:12abc"}, StartMode::Settings, 0},
        {{"-config", "/p", "500"}, StartMode::Settings, 0},
        {{"/p", "500"}, StartMode::Preview, 500},
        {{"-P", "0x1F4"}, StartMode::Preview, 500},
        {{"-pdebug", "500"}, StartMode::Preview, 500},
        {{"/p", "501"}, StartMode::MainForm, 0},
        {{"/p:500"}, StartMode::MainForm, 0},
        {{"/p"}, StartMode::MainForm, 0},
        {{"-pdebug"}, StartMode::MainForm, 0},
    };
    for (const StartCase& c : cases) {
        Arguments args{"velora"};
        for (const char* arg : c.Args) args.emplace_back(arg);
        WindowHandle wnd = 77;
        EXPECT_EQ(ChooseStartMode(args, isWindow, wnd), c.Mode) << ::testing::PrintToString(args);
        EXPECT_EQ(wnd, c.Wnd) << ::testing::PrintToString(args);
    }
}

}  // namespace
}  // namespace velora
