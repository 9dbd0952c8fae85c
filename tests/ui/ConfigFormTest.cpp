#include "ui/ConfigForm.h"

#include <gtest/gtest.h>

#include "FakeApplication.h"
#include "ui/Texts.h"

namespace velora {
namespace {

using namespace platform;
using testing::FakeApplication;
using testing::FakeWindow;
using testing::Msg;

class ConfigFormTest : public ::testing::Test {
protected:
    FakeApplication App;

    void Click(WindowHandle wnd, int x, int y) {
        App.Deliver(Msg(wnd, kWmLButtonDown, 0, MakePointParam(x, y)));
        App.Deliver(Msg(wnd, kWmLButtonUp, 0, MakePointParam(x, y)));
    }
};

TEST_F(ConfigFormTest, TheDialogIsAFixedPictureSizedWindowCentredOnTheDesktop) {
    App.Screen = Rect{0, 0, 1280, 1024};
    TfrmConfig dialog(App);
    const FakeWindow& window = *App.Find(dialog.Handle());
    EXPECT_EQ(window.Request.Kind, WindowKind::Dialog);
    EXPECT_EQ(window.Request.Caption, kFormCaption);
    EXPECT_EQ(window.Request.Bounds.Left, 440);
    EXPECT_EQ(window.Request.Bounds.Top, 337);
    EXPECT_EQ(window.ClientRect().Right, 400);
    EXPECT_EQ(window.ClientRect().Bottom, 350);
    EXPECT_EQ(window.Cursor, PointerShape::Hand);
    EXPECT_EQ(window.Shows.Width, 400);
    EXPECT_EQ(window.Shows.Height, 350);
    EXPECT_EQ(window.Shows.Rgb.size(), 400u * 350u * 3u);
}

TEST_F(ConfigFormTest, TheRussianPictureShowsExactlyWhenTheRussianLocaleIsInstalled) {
    TfrmConfig english(App);
    EXPECT_EQ(english.Language(), PictureLanguage::English);
    const std::vector<unsigned char> englishPixels = App.Find(english.Handle())->Shows.Rgb;

    App.Russian = true;
    TfrmConfig russian(App);
    EXPECT_EQ(russian.Language(), PictureLanguage::Russian);
    EXPECT_NE(App.Find(russian.Handle())->Shows.Rgb, englishPixels);
}

TEST_F(ConfigFormTest, EveryClickAnywhereOpensTheDonationPageAndTheDialogStays) {
    std::vector<std::string> opened;
    App.WhileModal = [&] {
        const WindowHandle wnd = App.Only(WindowKind::Dialog)->Handle();
        Click(wnd, 0, 0);
        Click(wnd, 399, 349);
        opened = App.Opened;
        App.Queue.push_back(Msg(wnd, kWmClose));
    };
    ShowSettings(App);
    const std::string expected = std::string(kDonationUrl) + "|";
    EXPECT_EQ(opened, (std::vector<std::string>{expected, expected}));
    EXPECT_EQ(App.ModalRuns, 1);
}

TEST_F(ConfigFormTest, ClosingTheDialogEndsItsModalRunAndFreesIt) {
    App.IdlePasses = 1000;
    App.WhileModal = [&] { App.Queue.push_back(Msg(App.Only(WindowKind::Dialog)->Handle(), kWmClose)); };
    ShowSettings(App);
    EXPECT_LT(App.IdleCalls, 1000);  // ended by the close, not by the test's patience
    EXPECT_TRUE(App.Windows.empty());
    EXPECT_TRUE(App.Opened.empty());
}

}  // namespace
}  // namespace velora
