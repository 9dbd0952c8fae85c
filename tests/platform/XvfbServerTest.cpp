#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace velora::testing {
namespace {

TEST(XvfbServer, ServersSideBySideGetDisplaysOfTheirOwnAndFreeThemWhenStopped) {
    int first = -1;
    {
        XvfbServer one(320, 240);
        XvfbServer two(320, 240);
        ASSERT_TRUE(one.Running()) << one.Failure();
        ASSERT_TRUE(two.Running()) << two.Failure();
        EXPECT_NE(one.Number(), two.Number());
        EXPECT_EQ(one.Display(), DisplayName(one.Number()));
        EXPECT_FALSE(DisplayNumberFree(one.Number()));
        first = one.Number();
    }
    EXPECT_TRUE(DisplayNumberFree(first));
}

TEST(XvfbServer, AServerThatCannotStartSaysWhereItsMessagesAre) {
    XvfbServer server(320, 240, {"-no-such-option"});
    ASSERT_FALSE(server.Running());
    EXPECT_TRUE(server.Display().empty());
    const std::string failure = server.Failure();
    const auto at = failure.find("/tmp/");
    ASSERT_NE(at, std::string::npos) << failure;
    std::ifstream log(failure.substr(at));
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("-no-such-option"), std::string::npos) << "log: " << text.str();
    std::remove(failure.substr(at).c_str());
}

}  // namespace
}  // namespace velora::testing
