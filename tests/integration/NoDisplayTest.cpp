#include <filesystem>

#include "harness/Session.h"

namespace velora::testing {
namespace {

// A display number with no server behind it.
std::string DeadDisplay() {
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
    Environment env = InheritedEnvironment();
    env.erase("DISPLAY");
    if (GetParam()) {
        env["DISPLAY"] = DeadDisplay();
        ASSERT_FALSE(env["DISPLAY"].empty()) << "no unused display number";
    }
    Process& velora = Launch({}, env);

    const auto status = ExpectExit(velora);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->Exited && status->Code == 1) << "ended with " << *status;
    const auto lines = ReadLines(velora.StderrPath());
    ASSERT_EQ(lines.size(), 1U) << "stderr: " << ReadFile(velora.StderrPath());
    EXPECT_FALSE(lines.front().empty());
}

INSTANTIATE_TEST_SUITE_P(Display, NoDisplay, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("PointsAtADeadServer") : std::string("Unset");
                         });

}  // namespace
}  // namespace velora::testing
