// The installer under Wine, as an administrator deploys it: msiexec /qn puts
// velora.scr into the system folder and the product into the list of
// installed programs, a newer version replaces an older one and a rebuilt
// installer of the same version the installed one, the installed saver
// runs, and uninstalling takes both away again.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

#include "Desktop.h"

namespace velora::testing {
namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct Entry {
    std::string Key;  // the product code
    std::string Version;
    std::string Publisher;
};

std::string Value(HKEY key, const char* name) {
    char text[512] = {};
    DWORD size = sizeof text - 1;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS) return "";
    return text;
}

// The entries of the list of installed programs named "Velora Skyshow".
std::vector<Entry> Entries() {
    std::vector<Entry> found;
    HKEY list = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_64KEY, &list) != ERROR_SUCCESS)
        return found;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(list, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY product = nullptr;
        if (RegOpenKeyExA(list, name, 0, KEY_READ | KEY_WOW64_64KEY, &product) != ERROR_SUCCESS) continue;
        if (Value(product, "DisplayName") == "Velora Skyshow")
            found.push_back(Entry{name, Value(product, "DisplayVersion"), Value(product, "Publisher")});
        RegCloseKey(product);
    }
    RegCloseKey(list);
    return found;
}

std::string SystemFolder() {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder, length);
}

std::optional<std::string> Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// msiexec's exit code; nothing when it has not ended within two minutes.
std::optional<DWORD> Msiexec(const std::string& arguments) {
    Program run("msiexec " + arguments + " /qn");
    return run.WaitForExit(120s);
}

class InstallerTest : public ::testing::Test {
protected:
    // What an earlier, interrupted run may have left in the prefix.
    void SetUp() override {
        for (const Entry& entry : Entries()) Msiexec("/x " + entry.Key);
        ASSERT_TRUE(Entries().empty());
    }
    void TearDown() override {
        for (const Entry& entry : Entries()) Msiexec("/x " + entry.Key);
    }

    const std::string FInstalled = SystemFolder() + "\\velora.scr";
    // This build's installer and the saver it holds, or (VELORA_MSI and
    // VELORA_SAVER) a signed installer and the signed saver it was made from.
    const std::string FMsi = FileUnderTest("VELORA_MSI", WinePath(VELORA_MSI));
    const std::string FSaver = FileUnderTest("VELORA_SAVER", BuiltProgram("velora.scr"));
};

TEST_F(InstallerTest, SilentInstallOverAnOlderVersionRunsAndUninstallsCleanly) {
    ASSERT_EQ(Msiexec("/i \"" + WinePath(VELORA_OLDER_MSI) + "\""), 0u);
    std::vector<Entry> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Version, VELORA_OLDER_VERSION);

    ASSERT_EQ(Msiexec("/i \"" + FMsi + "\""), 0u);
    entries = Entries();
    ASSERT_EQ(entries.size(), 1u) << "the older version is still listed";
    EXPECT_EQ(entries[0].Version, VELORA_VERSION);
    EXPECT_EQ(entries[0].Publisher, "Velora Skyshow developers");
    const auto installed = Contents(FInstalled);
    ASSERT_TRUE(installed.has_value()) << FInstalled;
    EXPECT_TRUE(*installed == Contents(FSaver)) << "not the saver " << FSaver;

    {
        Program saver("\"" + FInstalled + "\" /s");
        const HWND window = WaitForWindow(saver.Id());
        ASSERT_NE(window, nullptr) << "the installed saver shows no window";
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }));
        PressKey('A');
        EXPECT_EQ(saver.WaitForExit(10s), 0u);
    }

    EXPECT_EQ(Msiexec("/x \"" + FMsi + "\""), 0u);
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(GetFileAttributesA(FInstalled.c_str()), INVALID_FILE_ATTRIBUTES) << FInstalled;
}

// Every build has a product code of its own: the same version built again
// replaces the installed one instead of being listed beside it.
TEST_F(InstallerTest, RebuiltInstallerOfTheSameVersionReplacesTheInstalledOne) {
    ASSERT_EQ(Msiexec("/i \"" + WinePath(VELORA_MSI) + "\""), 0u);
    const std::vector<Entry> first = Entries();
    ASSERT_EQ(first.size(), 1u);

    ASSERT_EQ(Msiexec("/i \"" + WinePath(VELORA_REBUILT_MSI) + "\""), 0u);
    const std::vector<Entry> entries = Entries();
    ASSERT_EQ(entries.size(), 1u) << "both builds are listed";
    EXPECT_NE(entries[0].Key, first[0].Key) << "the rebuilt installer installed nothing";
    EXPECT_EQ(entries[0].Version, VELORA_VERSION);
    EXPECT_NE(GetFileAttributesA(FInstalled.c_str()), INVALID_FILE_ATTRIBUTES) << FInstalled;
}

}  // namespace
}  // namespace velora::testing
