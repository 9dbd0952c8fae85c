#include <filesystem>

#include "harness/Session.h"

namespace itest {
namespace {

// A display number with no server behind it.
std::string deadDisplay() {
  for (int n = 600; n < 700; ++n) {
    std::string socket = "/tmp/.X11-unix/X";
    socket += std::to_string(n);
    if (velora::testing::DisplayNumberFree(n) && !std::filesystem::exists(socket)) {
      return velora::testing::DisplayName(n);
    }
  }
  return {};
}

class NoDisplay : public ProcessTest, public ::testing::WithParamInterface<bool> {};

TEST_P(NoDisplay, EndsWithCodeOneAndOneErrorLine) {
  Environment env = inheritedEnvironment();
  env.erase("DISPLAY");
  if (GetParam()) {
    env["DISPLAY"] = deadDisplay();
    ASSERT_FALSE(env["DISPLAY"].empty()) << "no unused display number";
  }
  Process& velora = launch({}, env);

  const auto status = expectExit(velora);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->exited && status->code == 1) << "ended with " << *status;
  const auto lines = readLines(velora.stderrPath());
  ASSERT_EQ(lines.size(), 1U) << "stderr: " << readFile(velora.stderrPath());
  EXPECT_FALSE(lines.front().empty());
}

INSTANTIATE_TEST_SUITE_P(Display, NoDisplay, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("PointsAtADeadServer") : std::string("Unset");
                         });

}  // namespace
}  // namespace itest
