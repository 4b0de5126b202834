// The packed image list: its exact bytes, round trips, and lists cut short
// or damaged.
#include "wire/ImageList.h"

#include <gtest/gtest.h>

using namespace v3d;

namespace {
std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}
}  // namespace

TEST(ImageList, TwoNeighbouringUidsPackToTheListedBytes) {
    const std::string packed = packImageList({"1.2.3.4.5.6.7", "1.2.3.4.5.6.8"});
    const std::string expected = bytes({0x01, 0x0F}) + "1.2.3.4.5.6.7" + bytes({0x01, 0x8E, 0x02, 0x03}) + "8" + bytes({0x01});
    EXPECT_EQ(packed, expected);
    const UnpackedImageList back = unpackImageList(packed);
    EXPECT_EQ(back.status, ImageListStatus::Complete);
    EXPECT_EQ(back.ids, (std::vector<std::string>{"1.2.3.4.5.6.7", "1.2.3.4.5.6.8"}));
}

TEST(ImageList, LongSeriesRoundTripsWithLongRunsAndFarOffsets) {
    std::vector<std::string> ids;
    const std::string stem(300, 'u');  // offsets beyond 253 and runs over 125
    for (int i = 0; i < 50; ++i) ids.push_back(stem + "1.3.6.1.4.1.5962.99." + std::to_string(i * 37) + stem.substr(0, i));
    ids.push_back("");
    ids.push_back("with\nline feed*and star");
    const std::string packed = packImageList(ids);
    const UnpackedImageList back = unpackImageList(packed + std::string(1, '\0') + "ignored");
    EXPECT_EQ(back.status, ImageListStatus::Complete);
    EXPECT_EQ(back.ids, ids);
    EXPECT_LT(packed.size(), 5000u);
}

TEST(ImageList, TruncatedListKeepsTheIdentifiersBeforeTheCut) {
    const std::string packed = packImageList({"1.2.3.4.5.6.7", "1.2.3.4.5.6.8", "1.2.3.4.5.6.9"});
    for (size_t cut = 0; cut < packed.size(); ++cut) {
        const UnpackedImageList back = unpackImageList(std::string_view(packed).substr(0, cut));
        ASSERT_LE(back.ids.size(), 3u);
        for (size_t i = 0; i < back.ids.size(); ++i) EXPECT_EQ(back.ids[i], "1.2.3.4.5.6." + std::to_string(7 + i));
    }
    EXPECT_EQ(unpackImageList(packed.substr(0, 16)).ids.size(), 1u);
}

TEST(ImageList, CopyBeyondThePreviousIdentifierEndsDecoding) {
    // Second identifier copies 12 bytes from offset 5 of a 13-byte one.
    const std::string bad = bytes({0x01, 0x0F}) + "1.2.3.4.5.6.7" + bytes({0x01, 0x8E, 0x07, 0x01});
    const UnpackedImageList back = unpackImageList(bad);
    EXPECT_EQ(back.status, ImageListStatus::Malformed);
    EXPECT_EQ(back.ids, std::vector<std::string>{"1.2.3.4.5.6.7"});
}

TEST(ImageList, BadLengthOrOffsetBytesEndDecoding) {
    const std::string first = bytes({0x01, 0x03}) + "a" + bytes({0x01});
    EXPECT_EQ(unpackImageList(first + bytes({0x81, 0x02, 0x01})).status, ImageListStatus::Malformed);
    EXPECT_EQ(unpackImageList(first + bytes({0x82, 0x01, 0x01})).status, ImageListStatus::Malformed);
    EXPECT_EQ(unpackImageList(first + bytes({0x82, 0xFF, 0xFF, 0x02})).status, ImageListStatus::Malformed);
    EXPECT_EQ(unpackImageList(first + bytes({0x82})).status, ImageListStatus::Truncated);
    EXPECT_EQ(unpackImageList(first + bytes({0x82, 0x02, 0x01})).ids, (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(unpackImageList(bytes({0x02, 0x03, 'a', 0x01})).status, ImageListStatus::Malformed);
}
