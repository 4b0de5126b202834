#include "TestVolume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

namespace {

// CT-like rescale: stored 0 is -1024 HU, one HU per step.
void classifyCT(CVolume& v) { v.classify(0, 4095, -1024.0f, 1.0f); }

} // namespace

TEST(VolumeBuild, GeometryFollowsTheSpacings)
{
    TestVolume t(4, 6, 8, [](int, int, int) { return 0; }, 0.5f, 1.0f, 2.0f);
    CVolume& v = *t;
    EXPECT_FLOAT_EQ(v.minSpacing, 0.5f);
    EXPECT_EQ(v.axisMatrix.column(0), Vec3(1, 0, 0));
    EXPECT_EQ(v.axisMatrix.column(1), Vec3(0, 2, 0));
    EXPECT_EQ(v.axisMatrix.column(2), Vec3(0, 0, 4));
    EXPECT_EQ(v.getExtent(), Vec3(4, 12, 32));
    EXPECT_EQ(v.center(), Vec3(2, 6, 16));
    EXPECT_EQ(v.halfSize(), Vec3(2, 3, 4));
    EXPECT_EQ(v.getInverseAxisMatrix() * Vec3(1, 2, 4), Vec3(1, 1, 1));
    EXPECT_EQ(v.boundaryPoints[1], Vec3(2, 3, 8 - 4.5f));
    EXPECT_EQ(v.boundaryNormals[3], Vec3(-1, 0, 0));
}

TEST(VolumeBuild, PerSliceAndContiguousRowsAgree)
{
    std::vector<uint16_t> block(5 * 4 * 3);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = uint16_t(i);
    std::vector<uint16_t*> slices = {block.data(), block.data() + 20, block.data() + 40};
    CVolume a, b;
    ASSERT_TRUE(a.build(5, 4, 3, block.data(), nullptr, 1, 1, 1, {}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}));
    ASSERT_TRUE(b.build(5, 4, 3, nullptr, slices.data(), 1, 1, 1, {}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}));
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(a.voxelRows[k][j], b.voxelRows[k][j]);
    EXPECT_EQ(a.voxelRows[2][3][4], 59);
    EXPECT_EQ(a.cellMask[1][2] - a.cellMask[1][1], 5);
}

TEST(VolumeBuild, RejectsSizesSpacingsOrDataThatDescribeNoVolume)
{
    std::vector<uint16_t> block(8, 0);
    CVolume v;
    const Vec3 x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
    EXPECT_FALSE(v.build(0, 2, 2, block.data(), nullptr, 1, 1, 1, {}, x, y, z));
    EXPECT_FALSE(v.build(2, 2, 2, nullptr, nullptr, 1, 1, 1, {}, x, y, z));
    EXPECT_FALSE(v.build(2, 2, 2, block.data(), nullptr, 0, 1, 1, {}, x, y, z));
    EXPECT_EQ(v.voxelRows, nullptr);
    // An empty volume classifies and samples without touching memory.
    v.classify(0, 4095, -1024, 1);
    EXPECT_EQ(v.sampleTrilinear(1.5f, 1.5f, 1.5f), -1.0f);
    ASSERT_TRUE(v.build(2, 2, 2, block.data(), nullptr, 1, 1, 1, {}, x, y, z));
    v.release();
    EXPECT_EQ(v.sizeX, 0);
    EXPECT_EQ(v.cellMask, nullptr);
}

TEST(VolumeClassify, ConstantVolumeThresholdsRunUpFromTheValue)
{
    TestVolume t(8, 8, 8, [](int, int, int) { return 1000; });
    classifyCT(*t);
    for (int i = 0; i < CVolume::kClassCount; ++i)
        EXPECT_EQ(t->classThresholds[size_t(i)], 1000 + i);
    EXPECT_EQ(t->histogram[1000], 512u);
    for (int k = 0; k < 8; ++k)
        for (int j = 0; j < 8; ++j)
            for (int i = 0; i < 8; ++i)
                ASSERT_EQ(t->cellMask[k][j][i], 0x81) << i << j << k;
}

TEST(VolumeClassify, ThresholdsNearTheTopStopAt65535)
{
    TestVolume t(4, 4, 4, [](int, int, int) { return 65500; });
    classifyCT(*t);
    EXPECT_EQ(t->classThresholds[0], 65500);
    EXPECT_EQ(t->classThresholds[35], 65535);
    EXPECT_EQ(t->classThresholds[62], 65535);
    EXPECT_EQ(t->classOf(65534), 35);
    EXPECT_EQ(t->classOf(65535), 62);
}

TEST(VolumeClassify, FewerThan63VoxelsGiveThresholdsZeroUp)
{
    TestVolume t(3, 3, 3, [](int i, int j, int k) { return 500 + i + j + k; });
    classifyCT(*t);
    for (int i = 0; i < CVolume::kClassCount; ++i)
        EXPECT_EQ(t->classThresholds[size_t(i)], i);
    // Every value above 62 falls in the last class.
    EXPECT_EQ(t->classOf(500), 62);
}

TEST(VolumeClassify, ClassesHoldEqualPopulations)
{
    // 63 x 100 voxels, values 0 ... 6299 once each.
    TestVolume t(63, 10, 10, [](int i, int j, int k) { return (k * 10 + j) * 63 + i; });
    classifyCT(*t);
    for (int i = 0; i < CVolume::kClassCount; ++i)
        EXPECT_EQ(t->classThresholds[size_t(i)], (i + 1) * 100 - 1);
    EXPECT_EQ(t->classOf(98), 0);
    EXPECT_EQ(t->classOf(99), 1);
    EXPECT_EQ(t->classOf(6199), 62);
}

TEST(VolumeClassify, MaskHoldsTheClassOfTheCellMaximum)
{
    // Skewed random values, so that the classes are uneven and the cell
    // maxima matter; sizes differ per axis to catch swapped loops.
    std::mt19937 rng(7);
    std::exponential_distribution<float> dist(1.0f / 300.0f);
    TestVolume t(9, 7, 5, [&](int, int, int) { return std::min(int(dist(rng)), 65535); });
    classifyCT(*t);
    const CVolume& v = *t;
    for (int k = 0; k < 5; ++k)
        for (int j = 0; j < 7; ++j)
            for (int i = 0; i < 9; ++i) {
                int top = 0;
                for (int c = k; c <= std::min(k + 1, 4); ++c)
                    for (int b = j; b <= std::min(j + 1, 6); ++b)
                        for (int a = i; a <= std::min(i + 1, 8); ++a)
                            top = std::max(top, int(v.voxelRows[c][b][a]));
                int cls = 0;
                while (cls < 62 && top >= v.classThresholds[size_t(cls)])
                    ++cls;
                ASSERT_EQ(v.cellMask[k][j][i], 0x80 | cls) << i << " " << j << " " << k;
            }
}

TEST(VolumeClassify, ReclassifyShowsEverythingAndResetsTheClipBox)
{
    TestVolume t(10, 10, 10, [](int i, int, int) { return i * 100; });
    classifyCT(*t);
    t->cellMask[3][4][5] = 0x45;
    t->boundaryPoints[2].x = 6;
    t->isoHU = 100;
    t->levelHU = 50;
    t->widthHU = 200;
    classifyCT(*t);
    EXPECT_EQ(t->cellMask[3][4][5] & 0xC0, 0x80);
    EXPECT_FLOAT_EQ(t->boundaryPoints[2].x, 10 - 4.5f);
    EXPECT_EQ(t->isoStored, 1124);
    EXPECT_EQ(t->windowLowStored, 1024 - 50);
    EXPECT_EQ(t->windowHighStored, 1024 + 150);
}

TEST(VolumeConversions, TruncateTowardZeroBothWays)
{
    CVolume v;
    v.classify(0, 4095, -1024.0f, 2.0f);
    EXPECT_EQ(v.storedToHU(512), 0);
    EXPECT_EQ(v.huToStored(-1023), 0);  // 0.5
    EXPECT_EQ(v.huToStored(-1027), -1); // -1.5
    EXPECT_EQ(v.huDeltaToStored(7), 3);
    // Stored values running against the raw values.
    v.classify(3000, 0, 0.0f, 1.0f);
    EXPECT_EQ(v.storedToHU(1000), 2000);
    EXPECT_EQ(v.huToStored(2500), 500);
    EXPECT_EQ(v.huDeltaToStored(10), -10);
}

TEST(VolumeConversions, ZeroSlopeSaturatesInsteadOfOverflowing)
{
    CVolume v;
    v.classify(0, 4095, 0.0f, 0.0f);
    EXPECT_EQ(v.huToStored(10), INT_MAX);
    EXPECT_EQ(v.huToStored(0), 0);
    v.setIsoValue(10);
    EXPECT_EQ(v.isoStored, 32767);
}

TEST(VolumeIsoAndWindow, ClampToTheirRanges)
{
    TestVolume t(8, 8, 8, [](int i, int, int) { return i * 300; });
    classifyCT(*t);
    CVolume& v = *t;
    v.setIsoValue(5000);
    const int clampedHigh = v.isoStored;
    v.setIsoValue(2995);
    EXPECT_EQ(v.isoStored, clampedHigh);
    EXPECT_EQ(v.isoStored, 2995 + 1024);
    EXPECT_EQ(v.isoClass, v.classOf(v.isoStored));
    // Below stored 0 the isovalue stops at 0.
    v.setIsoValue(-2000);
    EXPECT_EQ(v.isoStored, 0);

    v.setWindowLevel(0, -10);
    EXPECT_EQ(v.windowLowStored, 1024);
    EXPECT_EQ(v.windowHighStored, 1024);
    v.setWindowLevel(4000, 9000);
    EXPECT_EQ(v.windowHighStored, 2995 + 2999 + 1024);
    EXPECT_EQ(v.windowLowStored, 2995 - 2999 + 1024);
}

// The classified histogram against a plain count of the values.
static ::testing::AssertionResult histogramIsThePlainCount(const TestVolume& t)
{
    std::vector<uint32_t> counts(65536, 0);
    for (uint16_t value : t.values)
        ++counts[value];
    for (int value = 0; value < 65536; ++value)
        if (t.volume->histogram[size_t(value)] != counts[size_t(value)])
            return ::testing::AssertionFailure() << "value " << value << ": " << t.volume->histogram[size_t(value)]
                                                 << " counted, " << counts[size_t(value)] << " there";
    return ::testing::AssertionSuccess();
}

TEST(VolumeClassify, LargeVolumeSplitIntoSlabsMatchesOnePass)
{
    // Large enough to be classified in slabs on several threads: the slab
    // seams (histogram sums, z maxima across slabs) must not show.
    const int nx = 200, ny = 160, nz = 132;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> noise(0, 99);
    TestVolume t(nx, ny, nz, [&](int i, int j, int k) { return (i + 2 * j + 3 * k) % 1500 + noise(rng); });
    classifyCT(*t);
    const CVolume& v = *t;
    ASSERT_TRUE(histogramIsThePlainCount(t));
    auto at = [&](int i, int j, int k) { return t.values[(size_t(k) * ny + j) * nx + i]; };
    for (int k = 0; k < nz; ++k)
        for (int j = 0; j < ny; j += 7)
            for (int i = 0; i < nx; i += 3) {
                int top = 0;
                for (int c = k; c <= std::min(k + 1, nz - 1); ++c)
                    for (int b = j; b <= std::min(j + 1, ny - 1); ++b)
                        for (int a = i; a <= std::min(i + 1, nx - 1); ++a)
                            top = std::max(top, int(at(a, b, c)));
                ASSERT_EQ(v.cellMask[k][j][i], 0x80 | v.classOf(top)) << i << " " << j << " " << k;
            }
}

TEST(VolumeClassify, OneReadOfTheValuesGivesTheHistogramAndBlocksOfSeparatePasses)
{
    // Classification counts the values while it reads them for the blocks.
    // The counts against a plain count, each block's maximum against the
    // largest value at its cells' corners, and blocks and reach against
    // blocks built on their own, on volumes split into slabs on several
    // threads (seams between slabs, sizes not a multiple of the block) and
    // on small ones read in one slab.
    struct Size { int x, y, z; };
    for (const Size s : {Size{203, 161, 133}, Size{150, 170, 170}, Size{13, 9, 11}, Size{9, 9, 9}}) {
        std::mt19937 rng(unsigned(s.x * 7 + s.z));
        std::uniform_int_distribution<int> noise(0, 199);
        TestVolume t(s.x, s.y, s.z, [&](int i, int j, int k) {
            return ((i * 3 + j * 5 + k * 7) % 2000) + noise(rng) + (k == s.z - 1 ? 3000 : 0);
        });
        classifyCT(*t);
        const CVolume& v = *t;
        ASSERT_TRUE(histogramIsThePlainCount(t)) << s.x << " x " << s.y << " x " << s.z;
        EmptySpaceBlocks separate;
        separate.build(v.voxelRows, s.x, s.y, s.z);
        separate.setReachLimit(v.blocks.reachLimit());
        ASSERT_TRUE(v.blocks.hasReach());
        for (int k = 0; k < s.z; k += 8)
            for (int j = 0; j < s.y; j += 8)
                for (int i = 0; i < s.x; i += 8) {
                    int top = 0;
                    for (int c = k; c <= std::min(k + 8, s.z - 1); ++c)
                        for (int b = j; b <= std::min(j + 8, s.y - 1); ++b)
                            for (int a = i; a <= std::min(i + 8, s.x - 1); ++a)
                                top = std::max(top, int(v.voxelRows[c][b][a]));
                    ASSERT_EQ(v.blocks.valueMax(i, j, k), top) << i << " " << j << " " << k;
                    ASSERT_EQ(v.blocks.valueMax(i, j, k), separate.valueMax(i, j, k)) << i << " " << j << " " << k;
                    ASSERT_EQ(v.blocks.reach(i, j, k), separate.reach(i, j, k)) << i << " " << j << " " << k;
                }
    }
}
