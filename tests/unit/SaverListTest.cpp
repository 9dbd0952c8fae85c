#include <gtest/gtest.h>

#include "shell/SaverList.h"

namespace velora {
namespace {

constexpr const char* kSaver = "/usr/libexec/xscreensaver/velora-skyshow";
constexpr const char* kEntry = "GL: velora-skyshow --root";

std::string Added(const std::string& settings, const std::string& defaults = "") {
    const auto added = AddToSaverList(settings, defaults, kEntry);
    EXPECT_TRUE(added.has_value());
    return added.value_or("");
}

TEST(SaverListTest, TheEntryNamesTheDaemonsOwnSaversByNameAndAnyOtherByPath) {
    EXPECT_EQ(SaverListEntry(kSaver), kEntry);
    EXPECT_EQ(SaverListEntry("/opt/velora/libexec/xscreensaver/velora-skyshow"),
              "GL: /opt/velora/libexec/xscreensaver/velora-skyshow --root");
    EXPECT_EQ(SaverListEntry("/usr/libexec/xscreensaver/extra/velora-skyshow"),
              "GL: /usr/libexec/xscreensaver/extra/velora-skyshow --root");
}

TEST(SaverListTest, TheEntryFollowsTheLastOneAndEveryOtherByteStays) {
    // The list ends on its last entry's line.
    EXPECT_EQ(Added("mode:\tone\nprograms:\t\\\n  maze -root \\n\\\n  GL: gears -root \\n\nselected: 1\n"),
              "mode:\tone\nprograms:\t\\\n  maze -root \\n\\\n  GL: gears -root \\n\\\n"
              "  GL: velora-skyshow --root \\n\nselected: 1\n");
    // The list ends on an empty line after a continued one.
    EXPECT_EQ(Added("programs:\t\\\n  maze -root \\n\\\n\nlock: False"),
              "programs:\t\\\n  maze -root \\n\\\n  GL: velora-skyshow --root \\n\\\n\nlock: False");
    // The last entry without its separator, at the end of a file without a line break.
    EXPECT_EQ(Added("programs: maze -root"), "programs: maze -root \\n\\\n  GL: velora-skyshow --root \\n");
    // An empty list.
    EXPECT_EQ(Added("programs:\nmode: one\n"), "programs:\\\n  GL: velora-skyshow --root \\n\nmode: one\n");
}

TEST(SaverListTest, WithoutAListTheUserGetsTheSystemsListFirst) {
    const std::string defaults =
        "*mode:\trandom\n"
        "*programs:\t\\\n"
        "\t\tmaze --root\t\\n\\\n"
        "- GL:\t\tgears --root\t\\n\n"
        "*pointerHysteresis: 10\n";
    const std::string list =
        "programs:\t\\\n"
        "\t\tmaze --root\t\\n\\\n"
        "- GL:\t\tgears --root\t\\n\\\n"
        "  GL: velora-skyshow --root \\n\n";
    EXPECT_EQ(Added("", defaults), list);
    EXPECT_EQ(Added("lock: False", defaults), "lock: False\n" + list);
    // A continued line does not start a resource, nor does a comment.
    EXPECT_EQ(Added("#programs: x\ntext: \\\nprograms: y\n", defaults), "#programs: x\ntext: \\\nprograms: y\n" + list);
    EXPECT_FALSE(AddToSaverList("mode: one\n", "*mode: random\n", kEntry).has_value());
}

TEST(SaverListTest, AnEntryRunningTheSaverCountsEnabledOrNotWhateverItsVisualNameOrPath) {
    for (const char* entry : {"velora-skyshow --root", "GL: velora-skyshow", "-\tGL: velora-skyshow --root",
                              "\"Stars\" /opt/bin/velora-skyshow --delay 10", "- default: \"Stars\" velora-skyshow"}) {
        EXPECT_TRUE(ListsSaver(std::string("programs: maze \\n\\\n  ") + entry + " \\n\n", kSaver)) << entry;
    }
    for (const char* settings : {"programs: maze --root \\n\n", "programs: velora-skyshow-old --root\n",
                                 "programs: run --saver velora-skyshow\n", "imageDirectory: velora-skyshow\n",
                                 "programs: maze\nvelora-skyshow --root\n", "programs: \"velora-skyshow\" maze\n"}) {
        EXPECT_FALSE(ListsSaver(settings, kSaver)) << settings;
    }
}

}  // namespace
}  // namespace velora
