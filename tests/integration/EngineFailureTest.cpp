#include "Layout.h"
#include "harness/Session.h"

namespace velora::testing {
namespace {

constexpr char kNoGl[] = VELORA_NOGL_EXE;
constexpr char kEngineError[] = "InitOpenGL() failed";

class EngineFailure : public XSessionTest, public ::testing::WithParamInterface<CommandLine> {};

TEST_P(EngineFailure, ShowsOnlyTheMessageBoxAndEndsWithCodeOneAfterReturn) {
    Process& velora = Launch(GetParam().Args, {}, kNoGl);

    const auto box = WaitForWindowNamed("Velora Show");
    ASSERT_TRUE(box) << "no message box titled \"Velora Show\"";
    EXPECT_TRUE(X().ViewableWindowsNamed(kTitle).empty()) << "the main window was shown despite the failure";
    EXPECT_TRUE(velora.Running()) << "ended without waiting for the message box";

    // With no window manager the keyboard follows the pointer.
    const Rect& r = box->Bounds;
    Xdotool({"mousemove", std::to_string(r.X + r.Width / 2), std::to_string(r.Y + r.Height / 2), "key", "Return"});
    const auto status = ExpectExit(velora);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->Exited && status->Code == 1) << "ended with " << *status;
    EXPECT_NE(ReadFile(velora.StderrPath()).find(kEngineError), std::string::npos)
        << "stderr: " << ReadFile(velora.StderrPath());
}

INSTANTIATE_TEST_SUITE_P(Modes, EngineFailure,
                         ::testing::Values(CommandLine{"TestWindow", {}}, CommandLine{"FullScreen", {"/s"}}), ByName());

using PreviewEngineFailure = XSessionTest;

TEST_F(PreviewEngineFailure, EndsQuietly) {
    const Window host = X().CreateHostWindow(Rect{200, 150, 400, 300});
    Process& velora = Launch({"/p", std::to_string(host)}, {}, kNoGl);

    const auto status = ExpectExit(velora);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->Exited && status->Code == 0) << "ended with " << *status;
    EXPECT_EQ(ReadFile(velora.StderrPath()).find(kEngineError), std::string::npos)
        << "the preview reported the failure: " << ReadFile(velora.StderrPath());
}

}  // namespace
}  // namespace velora::testing
