#include <gtest/gtest.h>

#include <set>

#include "shell/ScreenSaveMisc.h"
#include "CommandLineArgs.h"

namespace velora {
namespace {

using testing::Args;

const WindowExists kWindows = [](WindowHandle wnd) { return wnd == 500 || wnd == 4242; };

TEST(SwitchTest, NoArgumentMatchesNothing) {
    WindowHandle wnd = 77;
    EXPECT_FALSE(IsConfigMode(Args({})));
    EXPECT_FALSE(IsSaverMode(Args({})));
    EXPECT_FALSE(IsPreviewMode(Args({}), kWindows, wnd));
    EXPECT_EQ(wnd, 0u);
}

TEST(SwitchTest, LettersMatchInEitherCaseAfterSlashOrDash) {
    for (const char* s : {"/s", "/S", "-s", "-S", "-Screen", "/s:99"}) EXPECT_TRUE(IsSaverMode(Args({s}))) << s;
    for (const char* c : {"/c", "/C", "-c", "-config", "/C:1234", "/C:12abc", "/C:"})
        EXPECT_TRUE(IsConfigMode(Args({c}))) << c;
    EXPECT_FALSE(IsConfigMode(Args({"/s"})));
    EXPECT_FALSE(IsSaverMode(Args({"/c"})));
}

TEST(SwitchTest, ShortOrUnprefixedArgumentsMatchNothing) {
    for (const char* a : {"/", "-", "s", "xs", "+s", "\\s", ""}) {
        EXPECT_FALSE(IsSaverMode(Args({a}))) << a;
        EXPECT_FALSE(IsConfigMode(Args({a}))) << a;
    }
}

TEST(SwitchTest, FurtherArgumentsAreIgnored) {
    EXPECT_TRUE(IsSaverMode(Args({"/s", "whatever", "else"})));
    EXPECT_TRUE(IsConfigMode(Args({"/c", "/s"})));
}

TEST(PreviewTest, NeedsTheHandleAsASeparateLiveWindow) {
    WindowHandle wnd = 0;
    EXPECT_TRUE(IsPreviewMode(Args({"/p", "4242"}), kWindows, wnd));
    EXPECT_EQ(wnd, 4242u);
    EXPECT_FALSE(IsPreviewMode(Args({"/p:4242"}), kWindows, wnd));
    EXPECT_EQ(wnd, 0u);
    EXPECT_FALSE(IsPreviewMode(Args({"/p"}), kWindows, wnd));
    EXPECT_FALSE(IsPreviewMode(Args({"/p", "4243"}), kWindows, wnd));
    EXPECT_EQ(wnd, 0u);
    EXPECT_FALSE(IsPreviewMode(Args({"/p", "0"}), kWindows, wnd));
    EXPECT_TRUE(IsPreviewMode(Args({"-pdebug", "0x1F4"}), kWindows, wnd));
    EXPECT_EQ(wnd, 500u);
}

TEST(PreviewTest, TheWindowTestIsAskedOnlyForANonZeroNumber) {
    int asked = 0;
    const WindowExists counting = [&](WindowHandle) {
        ++asked;
        return true;
    };
    WindowHandle wnd = 0;
    EXPECT_FALSE(IsPreviewMode(Args({"/p", "abc"}), counting, wnd));
    EXPECT_FALSE(IsPreviewMode(Args({"/s", "12"}), counting, wnd));
    EXPECT_EQ(asked, 0);
}

TEST(HandleNumberTest, DecimalAndHexFormsAgree) {
    for (const char* text : {"500", "0x1F4", "0X1f4", "$1f4", "x1F4", "X1f4", "  500", "+500", "0500", "$000001F4"})
        EXPECT_EQ(ParseHandleNumber(text), 500) << text;
    EXPECT_EQ(ParseHandleNumber("-500"), -500);
    EXPECT_EQ(ParseHandleNumber("-$1F4"), -500);
}

TEST(HandleNumberTest, RejectsTextThatIsNoNumber) {
    for (const char* text : {"", " ", "500x", "+-500", "--5", "5 ", "\t5", "0x", "$", "x", "1e3", "0x1G", "five", "-"})
        EXPECT_EQ(ParseHandleNumber(text), std::nullopt) << '"' << text << '"';
}

TEST(HandleNumberTest, DecimalStaysInTheSignedRangeAndHexInThirtyTwoBits) {
    EXPECT_EQ(ParseHandleNumber("2147483647"), 2147483647);
    EXPECT_EQ(ParseHandleNumber("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseHandleNumber("2147483648"), std::nullopt);
    EXPECT_EQ(ParseHandleNumber("-2147483649"), std::nullopt);
    EXPECT_EQ(ParseHandleNumber("99999999999999999999"), std::nullopt);
    EXPECT_EQ(ParseHandleNumber("$7FFFFFFF"), 0x7FFFFFFF);
    EXPECT_EQ(ParseHandleNumber("$80000000"), INT32_MIN);
    EXPECT_EQ(ParseHandleNumber("0xFFFFFFFF"), -1);
    EXPECT_EQ(ParseHandleNumber("$100000000"), std::nullopt);
}

TEST(SplitTest, BlanksAndControlCharactersSeparate) {
    EXPECT_EQ(SplitCommandLine("velora.scr /p 4242"), (Arguments{"velora.scr", "/p", "4242"}));
    EXPECT_EQ(SplitCommandLine("  a\t\tb\x01"
                               "c\r\n"),
              (Arguments{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine(""), Arguments{});
}

TEST(SplitTest, QuotesGroupBlanksAndAreDropped) {
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\v.scr\" /p \"4242\""),
              (Arguments{"C:\\Program Files\\v.scr", "/p", "4242"}));
    EXPECT_EQ(SplitCommandLine("a\"b c\"d"), (Arguments{"ab cd"}));
    EXPECT_EQ(SplitCommandLine("x \"\" y"), (Arguments{"x", "y"}));
    EXPECT_EQ(SplitCommandLine("x \"unterminated  y"), (Arguments{"x", "unterminated  y"}));
}

TEST(SplitTest, AQuotedHandleWorksLikeABareOne) {
    WindowHandle wnd = 0;
    EXPECT_TRUE(IsPreviewMode(SplitCommandLine("v.scr /P \"500\""), kWindows, wnd));
    EXPECT_EQ(wnd, 500u);
}

}  // namespace
}  // namespace velora
