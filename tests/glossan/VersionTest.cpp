#include "ModuleVersion.h"
#include "VersionRecord.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <iterator>

using namespace glossan;

namespace {

constexpr ModuleVersion kShipped = packVersion(1, 0, 0, 6);

bool operator==(ModuleVersion a, ModuleVersion b) { return a.ms == b.ms && a.ls == b.ls; }

TEST(Version, ComparesMsWordsFirstThenLsUnsigned) {
    EXPECT_TRUE(isNewer(kShipped, {0x00010000, 5}));
    EXPECT_FALSE(isNewer(kShipped, {0x00010000, 6}));
    EXPECT_FALSE(isNewer(kShipped, {0x00010000, 7}));
    EXPECT_FALSE(isNewer(kShipped, {0x00010001, 0}));
    EXPECT_TRUE(isNewer(kShipped, {0x0000FFFF, 0xFFFFFFFF}));
    // Negative as signed numbers, large as unsigned ones.
    EXPECT_TRUE(isNewer({0x80000000u, 0}, {0x7FFFFFFF, 0}));
    EXPECT_TRUE(isNewer({1, 0x80000000u}, {1, 1}));
    EXPECT_FALSE(isNewer(kShipped, {0xFFFFFFFFu, 0}));
}

TEST(Version, PluginLibraryOffersTheShippedVersion) {
    const ModuleVersion offered = readOfferedVersion(GLOSSAN_LIBRARY);
    EXPECT_EQ(offered.ms, 0x00010000u);
    EXPECT_EQ(offered.ls, 0x00000006u);
}

TEST(Version, OwnFileIsFoundAndHoldsTheRecord) {
    EXPECT_TRUE(readOfferedVersion(ownLibraryPath()) == kShipped) << ownLibraryPath();
}

TEST(Version, FileWithoutRecordOffersZero) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string text = dir.filePath("text").toStdString();
    std::ofstream(text) << "not a library";
    // The library's first bytes: an ELF header whose sections lie beyond the end.
    std::ifstream library(GLOSSAN_LIBRARY, std::ios::binary);
    std::string head(std::istreambuf_iterator<char>(library), {});
    head.resize(200);
    const std::string truncated = dir.filePath("truncated.so").toStdString();
    std::ofstream(truncated, std::ios::binary) << head;

    for (const std::string& path : {text, truncated, dir.filePath("absent").toStdString(), std::string("/bin/sh")})
        EXPECT_TRUE(readOfferedVersion(path) == ModuleVersion{}) << path;
}

}  // namespace
