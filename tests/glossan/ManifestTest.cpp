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
        Names names;
        for (const ManifestEntry& entry : manifest.entries) names.push_back(entry.name);
        EXPECT_EQ(names, c.names) << testing::PrintToString(c.text);
        EXPECT_EQ(manifest.lineFeeds, c.lineFeeds) << testing::PrintToString(c.text);
    }
}

// Fields after a tab promise a size and a checksum; a list without them
// reads as before, unknown keys are a newer server's, and a promise that
// cannot be read refuses the whole list.
TEST(Manifest, ReadsOptionalSizeAndChecksumFields) {
    const std::string digest(64, 'A');
    const Manifest manifest = parseManifest("a.dll\tsize=42\tsha256=" + digest + "\r\nb.dll\tsigned=x\nc.dll");
    ASSERT_EQ(manifest.status, ManifestStatus::Ok);
    ASSERT_EQ(manifest.entries.size(), 3u);
    EXPECT_EQ(manifest.entries[0].name, "a.dll");
    EXPECT_EQ(manifest.entries[0].check.size, 42);
    EXPECT_EQ(manifest.entries[0].check.sha256, std::string(64, 'a'));
    EXPECT_EQ(manifest.entries[1].name, "b.dll");
    EXPECT_EQ(manifest.entries[1].check.size, -1);
    EXPECT_TRUE(manifest.entries[2].check.sha256.empty());
    for (const char* bad : {"a\tsize=", "a\tsize=-1", "a\tsize=2147483648", "a\tsize=1\tsize=1", "a\tsha256=abc",
                            "a\tsha256=" "zz00000000000000000000000000000000000000000000000000000000000000"})
        EXPECT_EQ(parseManifest(bad).status, ManifestStatus::BadField) << bad;
}

TEST(Manifest, RefusesMoreEntriesThanTheCap) {
    std::string text;
    for (size_t i = 0; i < Manifest::kMaxEntries; ++i) text += "f" + std::to_string(i) + "\n";
    EXPECT_EQ(parseManifest(text).status, ManifestStatus::Ok);
    const Manifest over = parseManifest(text + "one.more");
    EXPECT_EQ(over.status, ManifestStatus::TooManyEntries);
    EXPECT_TRUE(over.entries.empty());
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
