// The whole velora.scr under Wine, on an X server of its own: every mode
// starts, shows what it should where it should, and ends as it should.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Desktop.h"
#include "ui/Texts.h"
#include "ui/picture/Pictures.h"

namespace velora::testing {
namespace {

// This build's saver or (VELORA_SAVER) a signed copy of it.
const std::string kSaver = FileUnderTest("VELORA_SAVER", BuiltProgram("velora.scr"));

RECT VirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
    std::ostringstream out;
    out << r.left << "," << r.top << " - " << r.right << "," << r.bottom;
    return out.str();
}

// A saver whose window has appeared and, from the frames of its idle loop,
// shows at least `pixels` coloured pixels (Drawn).
struct RunningSaver {
    RunningSaver(const std::string& arguments, int pixels) : Run("\"" + kSaver + "\" " + arguments) {
        Window = WaitForWindow(Run.Id());
        if (Window != nullptr)
            Drawn = WaitUntil([&] { return ColouredPixels(ShootScreen(ClientOnScreen(Window))) >= pixels; });
    }
    Program Run;
    HWND Window;
    bool Drawn = false;
};

TEST(SaverTest, FullScreenDrawsColouredStarsAndEndsOnAKey) {
    RunningSaver saver("/s", 2000);
    ASSERT_NE(saver.Window, nullptr) << "no window appeared";
    RECT outer{};
    GetWindowRect(saver.Window, &outer);
    EXPECT_TRUE(SameRect(outer, VirtualScreen())) << Describe(outer);
    EXPECT_NE(GetWindowLongPtrA(saver.Window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetWindowLongPtrA(saver.Window, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_TRUE(saver.Drawn) << "no coloured stars on the screen";

    PressKey('A');
    EXPECT_EQ(saver.Run.WaitForExit(10s), 0u);
}

TEST(SaverTest, FullScreenEndsOnAClick) {
    RunningSaver saver("/S", 2000);
    ASSERT_NE(saver.Window, nullptr) << "no window appeared";
    ClickAt(200, 150);
    EXPECT_EQ(saver.Run.WaitForExit(10s), 0u);
}

// A full-screen saver that has the foreground, as the system starts it.
struct ActiveSaver {
    ActiveSaver() : Run("\"" + kSaver + "\" /s") {
        Window = WaitForWindow(Run.Id());
        if (Window != nullptr && !WaitUntil([&] { return GetForegroundWindow() == Window; })) Window = nullptr;
    }
    Program Run;
    HWND Window;
};

// Alt+Tab, a notification or a prompt taking the activation ends the run.
TEST(SaverTest, FullScreenEndsWhenAnotherProgramIsActivated) {
    ActiveSaver saver;
    ASSERT_NE(saver.Window, nullptr) << "no window in the foreground";
    const HWND other = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "another program", WS_POPUP | WS_VISIBLE, 10, 10, 100,
                                       100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    EXPECT_EQ(saver.Run.WaitForExit(10s), 0u);
    DestroyWindow(other);
}

// The system's request to start its saver (SC_SCREENSAVE, the low bits set
// as the system may set them) never reaches the default handling, where
// Wine would show its About box for this very number; the key posted after
// it still ends the run.
TEST(SaverTest, FullScreenRefusesTheSystemsSaver) {
    ActiveSaver saver;
    ASSERT_NE(saver.Window, nullptr) << "no window in the foreground";
    PostMessageA(saver.Window, WM_SYSCOMMAND, SC_SCREENSAVE | 1, 0);
    PostMessageA(saver.Window, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(saver.Run.WaitForExit(10s), 0u);
}

TEST(SaverTest, PdebugIsASmallWindowCentredInTheWorkArea) {
    RunningSaver saver("-pdebug", 50);
    ASSERT_NE(saver.Window, nullptr) << "no window appeared";
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const RECT client = ClientOnScreen(saver.Window);
    EXPECT_EQ(client.right - client.left, 180);
    EXPECT_EQ(client.bottom - client.top, 160);
    EXPECT_EQ(client.left, (work.right - work.left - 180) / 2 + work.left) << Describe(client);
    EXPECT_EQ(client.top, (work.bottom - work.top - 160) / 2 + work.top) << Describe(client);
    EXPECT_TRUE(saver.Drawn) << "no coloured stars in the window";
    PressKey(VK_ESCAPE);
    EXPECT_EQ(saver.Run.WaitForExit(10s), 0u);
}

// The settings dialog's clicks reach a stand-in for the browser: the shell's
// command for http addresses, replaced for the test and restored after it.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, kCommandKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey, nullptr),
            ERROR_SUCCESS);
        char old[1024] = {};
        DWORD size = sizeof old;
        if (RegQueryValueExA(FKey, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS)
            FOldCommand = old;
        const std::string command = "\"" + BuiltProgram("velora-test-opener.exe") + "\" \"%1\"";
        ASSERT_EQ(RegSetValueExA(FKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                 static_cast<DWORD>(command.size() + 1)),
                  ERROR_SUCCESS);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        FLog = std::string(temp) + "velora-opener.log";
        DeleteFileA(FLog.c_str());
        SetEnvironmentVariableA("VELORA_OPENER_LOG", FLog.c_str());
    }
    void TearDown() override {
        if (FKey == nullptr) return;
        RegSetValueExA(FKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(FOldCommand.c_str()),
                       static_cast<DWORD>(FOldCommand.size() + 1));
        RegCloseKey(FKey);
        DeleteFileA(FLog.c_str());
    }
    int Opened() const {
        std::ifstream in(FLog);
        int lines = 0;
        for (std::string line; std::getline(in, line);) {
            EXPECT_NE(line.find(std::string("\"") + kDonationUrl + "\""), std::string::npos) << line;
            ++lines;
        }
        return lines;
    }

    static constexpr const char* kCommandKey = "Software\\Classes\\http\\shell\\open\\command";
    HKEY FKey = nullptr;
    std::string FOldCommand;
    std::string FLog;
};

// How far the screen's picture lies from a decoded one, per channel.
double MeanDifference(const Shot& shot, const DecodedPicture& picture) {
    long long sum = 0;
    for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < picture.Width; ++x) {
            const std::uint32_t p = shot.At(x, y);
            const unsigned char* rgb = &picture.Rgb[(static_cast<std::size_t>(y) * picture.Width + x) * 3];
            sum += std::abs(static_cast<int>((p >> 16) & 0xFF) - rgb[0]) +
                   std::abs(static_cast<int>((p >> 8) & 0xFF) - rgb[1]) + std::abs(static_cast<int>(p & 0xFF) - rgb[2]);
        }
    return static_cast<double>(sum) / (3.0 * picture.Width * picture.Height);
}

TEST_F(SettingsTest, DialogShowsThePictureOfTheLocaleAndEachClickOpensThePage) {
    Program settings("\"" + kSaver + "\" /c:1234");
    const HWND dialog = WaitForWindow(settings.Id());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(dialog), "Velora Skyshow");
    const RECT client = ClientOnScreen(dialog);
    ASSERT_EQ(client.right - client.left, 400);
    ASSERT_EQ(client.bottom - client.top, 350);

    // The picture the system's locale test chooses, decoded by the same
    // libjpeg-turbo, pixel for pixel.
    const bool russian = IsValidLocale(1049, LCID_INSTALLED) != FALSE;
    const DecodedPicture shown = DecodeDonationPicture(russian ? PictureLanguage::Russian : PictureLanguage::English);
    const DecodedPicture other = DecodeDonationPicture(russian ? PictureLanguage::English : PictureLanguage::Russian);
    Shot shot;
    ASSERT_TRUE(WaitUntil([&] { return MeanDifference(shot = ShootScreen(client), shown) == 0; }, 10s))
        << "mean difference " << MeanDifference(shot, shown);
    EXPECT_GT(MeanDifference(shot, other), 1.0);

    ClickAt(client.left + 3, client.bottom - 3);
    EXPECT_TRUE(WaitUntil([&] { return Opened() == 1; }));
    ClickAt(client.left + 200, client.top + 175);
    EXPECT_TRUE(WaitUntil([&] { return Opened() == 2; }));
    EXPECT_TRUE(IsWindowVisible(dialog));

    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(settings.WaitForExit(10s), 0u);
}

// The host's window handle, as its stand-in prints it.
struct PreviewHost {
    PreviewHost() {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE read = nullptr;
        HANDLE write = nullptr;
        CreatePipe(&read, &write, &inherit, 0);
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write;
        std::string line = "\"" + BuiltProgram("velora-test-host.exe") + "\"";
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &Info);
        CloseHandle(write);
        std::string text;
        char c = 0;
        DWORD got = 0;
        // The host's C runtime ends the line with CR LF.
        while (ReadFile(read, &c, 1, &got, nullptr) && got == 1 && c != '\n')
            if (c != '\r') text += c;
        CloseHandle(read);
        Number = text;
        Window = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(text.c_str(), nullptr, 10)));
    }
    ~PreviewHost() {
        if (WaitForSingleObject(Info.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(Info.hProcess, 99);
        CloseHandle(Info.hThread);
        CloseHandle(Info.hProcess);
    }
    PROCESS_INFORMATION Info{};
    std::string Number;
    HWND Window = nullptr;
};

HWND ChildOf(HWND parent, DWORD processId) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(child, &owner);
        if (owner == processId) return child;
    }
    return nullptr;
}

void ExpectPreviewUntilTheHostCloses(const std::string& arguments) {
    PreviewHost host;
    ASSERT_TRUE(IsWindow(host.Window)) << "host printed '" << host.Number << "'";
    std::string line = "\"" + kSaver + "\" " + arguments;
    const std::size_t at = line.find("HOST");
    line.replace(at, 4, host.Number);
    Program preview(line);
    HWND child = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (child = ChildOf(host.Window, preview.Id())) != nullptr; }));
    EXPECT_TRUE(VisibleWindows(preview.Id()).empty()) << "the preview shows a window of its own";
    RECT hostClient{};
    RECT childRect{};
    GetClientRect(host.Window, &hostClient);
    GetClientRect(child, &childRect);
    EXPECT_TRUE(SameRect(childRect, hostClient)) << Describe(childRect);

    PostMessageA(host.Window, WM_CLOSE, 0, 0);
    EXPECT_EQ(preview.WaitForExit(10s), 0u);
}

TEST(PreviewModeTest, ChildOfTheHostUntilTheHostWindowIsDestroyed) { ExpectPreviewUntilTheHostCloses("/p HOST"); }

// The command line is split by the program's own rules: every control
// character separates, quotes are dropped (the C runtime would see one
// argument "/p\x1f\"HOST\"" and open the test window instead).
TEST(PreviewModeTest, CommandLineIsSplitByTheProgramsOwnRules) { ExpectPreviewUntilTheHostCloses("-P\x1f\"HOST\""); }

// The display at 144 dots per inch (150 %), as its user sets it; programs
// started afterwards see it. The test measures the screen in its pixels, as
// a per-monitor-aware program does, unless it says otherwise. The value is
// deleted again afterwards: the build tree's prefix has none (96).
class HighDpiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &FKey, nullptr),
                  ERROR_SUCCESS);
        const DWORD dpi = kDpi;
        ASSERT_EQ(RegSetValueExA(FKey, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi),
                  ERROR_SUCCESS);
        FAwareness = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    }
    void TearDown() override {
        if (FAwareness != nullptr) SetThreadDpiAwarenessContext(FAwareness);
        if (FKey == nullptr) return;
        RegDeleteValueA(FKey, "LogPixels");
        RegCloseKey(FKey);
    }

    static constexpr UINT kDpi = 144;
    HKEY FKey = nullptr;
    DPI_AWARENESS_CONTEXT FAwareness = nullptr;
};

TEST_F(HighDpiTest, FullScreenCoversTheScreensPixelsAndDrawsOnAllOfThem) {
    RunningSaver saver("/s", 2000);
    ASSERT_NE(saver.Window, nullptr) << "no window appeared";
    const RECT screen = VirtualScreen();
    const RECT client = ClientOnScreen(saver.Window);
    EXPECT_TRUE(SameRect(client, screen)) << Describe(client) << " on a screen of " << Describe(screen);
    // Stars also beyond the 96-dpi view of the screen that an unaware
    // program is given (two thirds of each side here): in the right quarter.
    const RECT beyond{screen.left + (screen.right - screen.left) * 3 / 4, screen.top, screen.right, screen.bottom};
    EXPECT_TRUE(WaitUntil([&] { return ColouredPixels(ShootScreen(beyond)) >= 200; }))
        << "no stars in the right quarter";
    PressKey('A');
    EXPECT_EQ(saver.Run.WaitForExit(10s), 0u);
}

TEST_F(HighDpiTest, PreviewCoversItsHostsClientArea) { ExpectPreviewUntilTheHostCloses("/p HOST"); }

// The settings dialog keeps the look it has at 96 DPI: the system scales an
// unaware program's window, picture and all. It stays centred on the screen.
TEST_F(HighDpiTest, SettingsDialogIsScaledByTheSystemAndCentred) {
    Program settings("\"" + kSaver + "\" /c");
    const HWND dialog = WaitForWindow(settings.Id());
    ASSERT_NE(dialog, nullptr);
    const RECT screen = VirtualScreen();
    const RECT client = ClientOnScreen(dialog);
    EXPECT_LE(std::abs((client.left + client.right) - (screen.left + screen.right)), 1) << Describe(client);
    EXPECT_LE(std::abs((client.top + client.bottom) - (screen.top + screen.bottom)), 1) << Describe(client);
    // 400x350 in the units of a program unaware of DPI.
    const DPI_AWARENESS_CONTEXT aware = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE);
    RECT unaware{};
    GetClientRect(dialog, &unaware);
    SetThreadDpiAwarenessContext(aware);
    EXPECT_EQ(unaware.right, 400);
    EXPECT_EQ(unaware.bottom, 350);

    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(settings.WaitForExit(10s), 0u);
}

// A .scr run from a folder that also holds an OpenGL32.dll and a GLU32.dll
// of someone else's making (a downloads folder) loads the system's own.
TEST(LibraryTest, LibrariesBesideTheSaverAreNotLoaded) {
    const std::string folder = BuiltProgram("planted\\");
    const std::string saver = folder + "velora.scr";
    ASSERT_TRUE(CopyFileA(kSaver.c_str(), saver.c_str(), FALSE));
    const auto loaded = [&](const char* library) {
        return GetFileAttributesA((folder + library + ".loaded").c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    for (const char* library : {"OpenGL32.dll", "GLU32.dll"}) {
        // Loaded, a stand-in leaves its mark.
        DeleteFileA((folder + library + ".loaded").c_str());
        const HMODULE standIn = LoadLibraryA((folder + library).c_str());
        ASSERT_NE(standIn, nullptr) << library;
        FreeLibrary(standIn);
        ASSERT_TRUE(loaded(library)) << library;
        DeleteFileA((folder + library + ".loaded").c_str());
    }

    Program run("\"" + saver + "\" /s");
    const HWND window = WaitForWindow(run.Id());
    ASSERT_NE(window, nullptr) << "no window appeared";
    EXPECT_EQ(ClassOf(window), "VeloraSkyshowWindow");
    EXPECT_TRUE(WaitUntil([&] { return ColouredPixels(ShootScreen(VirtualScreen())) > 2000; }));
    EXPECT_FALSE(loaded("OpenGL32.dll"));
    EXPECT_FALSE(loaded("GLU32.dll"));
    PressKey('A');
    EXPECT_EQ(run.WaitForExit(10s), 0u);
}

TEST(EngineFailureTest, MissingOpenGlShowsOnlyTheMessageAndFails) {
    Program saver("\"" + BuiltProgram("velora-nogl.scr") + "\" /s");
    const HWND box = WaitForWindow(saver.Id());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ClassOf(box), "#32770");
    EXPECT_EQ(TextOf(box), "Velora Show");
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "Static" && !TextOf(child).empty()) text = TextOf(child);
    EXPECT_EQ(text, "InitOpenGL() failed");
    EXPECT_EQ(VisibleWindows(saver.Id()).size(), 1u);

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    const auto code = saver.WaitForExit(10s);
    ASSERT_TRUE(code.has_value());
    EXPECT_NE(*code, 0u);
}

}  // namespace
}  // namespace velora::testing
