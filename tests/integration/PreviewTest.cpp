#include <cstdio>

#include "Layout.h"
#include "harness/Session.h"

namespace velora::testing {
namespace {

class Preview : public XSessionTest {
protected:
    // Starts the preview into a new host window and waits for its panel.
    void StartPreview(const std::vector<std::string>& args, const std::string& exe = VeloraPath()) {
        FVelora = &Launch(args, {}, exe);
        ASSERT_TRUE(WaitUntil([&] {
            const auto kids = X().Children(FHost);
            if (kids.size() != 1) return false;
            const auto panel = X().Info(kids.front());
            return panel && panel->Viewable;
        })) << "no panel appeared inside the host window";
        FPanel = X().Children(FHost).front();
    }

    void SetUp() override {
        XSessionTest::SetUp();
        if (HasFatalFailure()) return;
        FHost = X().CreateHostWindow(kHost);
    }

    void ExpectCleanExit() {
        const auto status = ExpectExit(*FVelora);
        ASSERT_TRUE(status);
        EXPECT_TRUE(status->Exited && status->Code == 0) << "ended with " << *status;
    }

    Window FHost = 0;
    Window FPanel = 0;
    Process* FVelora = nullptr;
};

struct PreviewLine {
    std::string Name;
    std::string Flag;
    bool HexHandle;
};

void PrintTo(const PreviewLine& p, std::ostream* out) { *out << p.Name; }

class PreviewCommandLine : public Preview, public ::testing::WithParamInterface<PreviewLine> {};

TEST_P(PreviewCommandLine, DrawsIntoAPanelOverTheHostWindowOnly) {
    ASSERT_NO_FATAL_FAILURE(StartPreview({GetParam().Flag, GetParam().HexHandle ? Hex(FHost) : Decimal(FHost)}));

    EXPECT_EQ(X().Info(FPanel).value_or(WindowInfo{}).Bounds, kHost);
    EXPECT_GE(WaitForStars(kHost).CountStarPixels(kHost), 10);
    EXPECT_EQ(X().GrabScreen().CountStarPixelsOutside(kHost), 0);
    const auto topLevels = X().ViewableTopLevels();
    EXPECT_EQ(topLevels.size(), 1U) << "the preview showed a window of its own";
    EXPECT_TRUE(FVelora->Running());
}

INSTANTIATE_TEST_SUITE_P(Handles, PreviewCommandLine,
                         ::testing::Values(PreviewLine{"DecimalHandle", "/p", false},
                                           PreviewLine{"HexHandleUpperCaseSwitch", "-P", true},
                                           PreviewLine{"PdebugWithHandle", "-pdebug", false}),
                         ByName());

TEST_F(Preview, EndsNormallyWhenTheHostWindowIsDestroyed) {
    ASSERT_NO_FATAL_FAILURE(StartPreview({"/p", Decimal(FHost)}));
    EXPECT_GE(WaitForStars(kHost).CountStarPixels(kHost), 10);
    X().DestroyWindow(FHost);
    ExpectCleanExit();
}

TEST_F(Preview, EndsNormallyWhenThePanelIsAskedToClose) {
    ASSERT_NO_FATAL_FAILURE(StartPreview({"/p", Decimal(FHost)}));
    EXPECT_GE(WaitForStars(kHost).CountStarPixels(kHost), 10);
    X().SendDeleteWindow(FPanel);
    ExpectCleanExit();
}

struct BadHandle {
    std::string Name;
    std::string Text;  // empty: the handle of a window that was just destroyed
};

void PrintTo(const BadHandle& b, std::ostream* out) { *out << b.Name; }

class PreviewBadHandle : public Preview, public ::testing::WithParamInterface<BadHandle> {};

TEST_P(PreviewBadHandle, FallsThroughToTheTestWindow) {
    std::string handle = GetParam().Text;
    if (handle.empty()) {
        const Window gone = X().CreateHostWindow(Rect{0, 0, 50, 50});
        X().DestroyWindow(gone);
        handle = Decimal(gone);
    }
    Process& velora = Launch({"/p", handle});

    const auto window = WaitForWindow(kTitle, kTestWindow.Width, kTestWindow.Height);
    ASSERT_TRUE(window) << "no test window";
    EXPECT_EQ(window->Bounds, kTestWindow);
    EXPECT_GE(WaitForStars(kTestWindow).CountStarPixels(kTestWindow), 10);
    EXPECT_TRUE(X().Children(FHost).empty()) << "something was put into an unrelated window";
    EXPECT_TRUE(velora.Running());
}

INSTANTIATE_TEST_SUITE_P(Handles, PreviewBadHandle,
                         ::testing::Values(BadHandle{"DestroyedWindow", ""}, BadHandle{"Zero", "0"},
                                           BadHandle{"NotANumber", "12abc"}),
                         ByName());

}  // namespace
}  // namespace velora::testing
