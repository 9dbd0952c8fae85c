#include "Layout.h"
#include "harness/Session.h"

namespace itest {
namespace {

constexpr char kNoGl[] = VELORA_NOGL_EXE;
constexpr char kEngineError[] = "InitOpenGL() failed";

class EngineFailure : public XSessionTest, public ::testing::WithParamInterface<CommandLine> {};

TEST_P(EngineFailure, ShowsOnlyTheMessageBoxAndEndsWithCodeOneAfterReturn) {
  Process& velora = launch(GetParam().args, {}, kNoGl);

  const auto box = waitForWindowNamed("Velora Show");
  ASSERT_TRUE(box) << "no message box titled \"Velora Show\"";
  EXPECT_TRUE(x().viewableWindowsNamed(kTitle).empty()) << "the main window was shown despite the failure";
  EXPECT_TRUE(velora.running()) << "ended without waiting for the message box";

  // With no window manager the keyboard follows the pointer.
  const Rect& r = box->rect;
  xdotool({"mousemove", std::to_string(r.x + r.width / 2), std::to_string(r.y + r.height / 2), "key", "Return"});
  const auto status = expectExit(velora);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->exited && status->code == 1) << "ended with " << *status;
  EXPECT_NE(readFile(velora.stderrPath()).find(kEngineError), std::string::npos)
      << "stderr: " << readFile(velora.stderrPath());
}

INSTANTIATE_TEST_SUITE_P(Modes, EngineFailure,
                         ::testing::Values(CommandLine{"TestWindow", {}}, CommandLine{"FullScreen", {"/s"}}),
                         ByName());

using PreviewEngineFailure = XSessionTest;

TEST_F(PreviewEngineFailure, EndsQuietly) {
  const Window host = x().createHostWindow(Rect{200, 150, 400, 300});
  Process& velora = launch({"/p", std::to_string(host)}, {}, kNoGl);

  const auto status = expectExit(velora);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->exited && status->code == 0) << "ended with " << *status;
  EXPECT_EQ(readFile(velora.stderrPath()).find(kEngineError), std::string::npos)
      << "the preview reported the failure: " << readFile(velora.stderrPath());
}

}  // namespace
}  // namespace itest
