#include "Manifest.h"

#include <gtest/gtest.h>

using namespace glossan;

namespace {

using Names = std::vector<std::string>;

TEST(Manifest, LineEndings) {
    struct Case {
        std::string text;
        Names names;
        int lineFeeds;
    };
    const Case cases[] = {
        {"a.dll\nb.dll\n", {"a.dll", "b.dll"}, 2},
        {"a.dll\r\nb.dll", {"a.dll", "b.dll"}, 1},
        {"a.dll\rb.dll\r", {"a.dll", "b.dll"}, 0},
        {"a.dll\n\nb.dll", {"a.dll", "", "b.dll"}, 2},
        {"a.dll\r\n\r\n", {"a.dll", ""}, 2},
        {"a.dll\n\r", {"a.dll", ""}, 1},
        {"\n", {""}, 1},
        {"", {}, 0},
    };
    for (const Case& c : cases) {
        const Manifest manifest = parseManifest(c.text);
        EXPECT_EQ(manifest.names, c.names) << testing::PrintToString(c.text);
        EXPECT_EQ(manifest.lineFeeds, c.lineFeeds) << testing::PrintToString(c.text);
    }
}

TEST(Manifest, OverallPositionDividesByLineFeedsPlusOne) {
    EXPECT_EQ(overallPosition(1, 2), 33);
    EXPECT_EQ(overallPosition(2, 2), 66);
    EXPECT_EQ(overallPosition(1, 1), 50);
    EXPECT_EQ(overallPosition(2, 1), 100);
    EXPECT_EQ(overallPosition(2, 0), 200) << "the bar clamps, the arithmetic does not";
}

TEST(Manifest, RejectsNameWithDotDot) {
    EXPECT_FALSE(isSafeFileName("../a.dll"));
    EXPECT_FALSE(isSafeFileName("sub/../../a.dll"));
    EXPECT_FALSE(isSafeFileName(".."));
}

TEST(Manifest, RejectsAbsoluteName) { EXPECT_FALSE(isSafeFileName("/etc/a.dll")); }

TEST(Manifest, RejectsBackslash) { EXPECT_FALSE(isSafeFileName("sub\\a.dll")); }

TEST(Manifest, RejectsControlCharacterAndNul) {
    EXPECT_FALSE(isSafeFileName("a\tb.dll"));
    EXPECT_FALSE(isSafeFileName("a\x7f.dll"));
    EXPECT_FALSE(isSafeFileName(std::string("a\0b.dll", 7)));
}

TEST(Manifest, RejectsEmptyName) { EXPECT_FALSE(isSafeFileName("")); }

TEST(Manifest, AcceptsPlainNames) {
    EXPECT_TRUE(isSafeFileName("a.dll"));
    EXPECT_TRUE(isSafeFileName("de_DE.dic"));
    EXPECT_TRUE(isSafeFileName("a b.txt"));
    EXPECT_TRUE(isSafeFileName("sub/a.dll"));
}

}  // namespace
