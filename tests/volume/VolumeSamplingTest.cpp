#include "TestVolume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <thread>

namespace {

void classifyCT(CVolume& v) { v.classify(0, 4095, -1024.0f, 1.0f); }

void expectNear(const Vec3& a, const Vec3& b, float eps = 1e-4f)
{
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

int linear(int i, int j, int k) { return 100 + 3 * i + 5 * j + 7 * k; }

// The stated smoothed-gradient normal, computed the long way: Gaussian
// weighted differences at the eight voxels of the cell, interpolated.
Vec3 referenceNormal(const CVolume& v, const Vec3& p)
{
    const int i = int(p.x), j = int(p.y), k = int(p.z);
    const float f[3] = {p.x - i, p.y - j, p.z - k};
    auto at = [&](int x, int y, int z) { return float(v.voxelRows[z][y][x]); };
    auto weight = [](int a, int b) {
        const int nonZero = (a != 0) + (b != 0);
        return nonZero == 0 ? 0.10209113f : nonZero == 1 ? 0.06192156f : 0.03755724f;
    };
    Vec3 g;
    for (int c = 0; c < 2; ++c)
        for (int b = 0; b < 2; ++b)
            for (int a = 0; a < 2; ++a) {
                const int x = i + a, y = j + b, z = k + c;
                Vec3 grad;
                for (int u = -1; u <= 1; ++u)
                    for (int w = -1; w <= 1; ++w) {
                        const float wt = weight(u, w);
                        grad.x += wt * (at(x + 1, y + u, z + w) - at(x - 1, y + u, z + w));
                        grad.y += wt * (at(x + u, y + 1, z + w) - at(x + u, y - 1, z + w));
                        grad.z += wt * (at(x + u, y + w, z + 1) - at(x + u, y + w, z - 1));
                    }
                const float wx = a ? f[0] : 1 - f[0];
                const float wy = b ? f[1] : 1 - f[1];
                const float wz = c ? f[2] : 1 - f[2];
                g += grad * (wx * wy * wz);
            }
    return normalised(v.inverseAxisMatrix * g);
}

} // namespace

TEST(VolumeSampling, TrilinearReproducesALinearField)
{
    TestVolume t(10, 9, 8, linear);
    classifyCT(*t);
    for (const Vec3& p : {Vec3(1, 1, 1), Vec3(2.25f, 3.5f, 4.75f), Vec3(8.99f, 7.5f, 6.01f)})
        EXPECT_NEAR(t->sampleTrilinear(p), 100 + 3 * p.x + 5 * p.y + 7 * p.z, 1e-2f);
}

TEST(VolumeSampling, TrilinearBoundsAreOneVoxelInside)
{
    TestVolume t(10, 9, 8, linear);
    classifyCT(*t);
    EXPECT_EQ(t->sampleTrilinear(0.5f, 4, 4), -1.0f);
    EXPECT_EQ(t->sampleTrilinear(9.0f, 4, 4), -1.0f);
    EXPECT_EQ(t->sampleTrilinear(4, 8.0f, 4), -1.0f);
    EXPECT_EQ(t->sampleTrilinear(4, 4, 7.0f), -1.0f);
    EXPECT_EQ(t->sampleTrilinear(4, 0.99f, 4), -1.0f);
    EXPECT_EQ(t->sampleTrilinear(NAN, 4, 4), -1.0f);
    EXPECT_GT(t->sampleTrilinear(8.999f, 7.999f, 6.999f), 0.0f);
}

TEST(VolumeSampling, HiddenVoxelSamplesAsMissing)
{
    TestVolume t(10, 9, 8, linear);
    classifyCT(*t);
    t->cellMask[4][3][2] &= 0x7F;
    EXPECT_EQ(t->sampleTrilinear(2.5f, 3.5f, 4.5f), -1.0f);
    EXPECT_GT(t->sampleTrilinear(3.5f, 3.5f, 4.5f), 0.0f);
}

TEST(VolumeCellTests, HiddenCellIsEmptyWhateverItsClass)
{
    TestVolume t(8, 8, 8, [](int i, int, int) { return i < 4 ? 0 : 3000; });
    classifyCT(*t);
    CVolume& v = *t;
    v.setIsoValue(500);
    const Vec3 dense(5.5f, 2.5f, 2.5f), thin(1.5f, 2.5f, 2.5f);
    EXPECT_FALSE(v.cellBelowIso(dense));
    EXPECT_TRUE(v.cellBelowIso(thin));
    v.cellMask[2][2][5] = uint8_t((v.cellMask[2][2][5] & 0x3F) | 0x40); // hidden, marked
    EXPECT_TRUE(v.cellBelowIso(dense));
    EXPECT_TRUE(v.cellTransparent(dense, 10));
    // A kept voxel with the segmentation bit never counts as empty.
    v.cellMask[2][2][1] = 0x80 | 0x40;
    EXPECT_FALSE(v.cellBelowIso(thin));
}

TEST(VolumeCellTests, CornerTestsLookAtAllEightCorners)
{
    TestVolume t(8, 8, 8, [](int i, int j, int k) { return i == 3 && j == 4 && k == 5 ? 2000 : 100; });
    classifyCT(*t);
    CVolume& v = *t;
    v.setIsoValue(-24); // stored 1000
    // Every cell with (3, 4, 5) among its corners sees the high value.
    for (int c = 0; c < 8; ++c) {
        const Vec3 p(2.5f + (c & 1), 3.5f + ((c >> 1) & 1), 4.5f + (c >> 2));
        EXPECT_FALSE(v.allCornersBelow(p)) << c;
        EXPECT_FALSE(v.cellTransparent(p, 1000)) << c;
        EXPECT_TRUE(v.cellTransparent(p, 2001)) << c;
    }
    EXPECT_TRUE(v.allCornersBelow({3.5f, 4.5f, 5.5f + 1}));
}

TEST(VolumeMarch, FindsTheSurfaceWithZeroDirectionComponents)
{
    // Values rise 100 per voxel along x; iso 1030 lies at x = 10.3.
    TestVolume t(20, 12, 12, [](int i, int, int) { return i * 100; });
    classifyCT(*t);
    t->setIsoValue(1030 - 1024);
    std::thread([&] {
        Vec3 p(9.5f, 5.5f, 5.5f);
        float distance = 0;
        // The first cell lies wholly below: one step on.
        EXPECT_EQ(t->marchToIso(p, {1, 0, 0}, 0, distance), -1);
        expectNear(p, Vec3(10.5f, 5.5f, 5.5f));
        EXPECT_FLOAT_EQ(distance, 1);
        // The second is searched from its entry face in steps of 0.2; the
        // zero y and z components must not limit the segment.
        EXPECT_EQ(t->marchToIso(p, {1, 0, 0}, 0, distance), 0);
        expectNear(p, Vec3(10.4f, 5.5f, 5.5f));
        EXPECT_NEAR(distance, 0.9f, 1e-4f) << "from 9.5 to 10.4: the hit lies behind 10.5";
        // Mode 1 stops where the value falls to the threshold.
        Vec3 q(11.5f, 5.5f, 5.5f);
        distance = 0;
        EXPECT_EQ(t->marchToIso(q, {-1, 0, 0}, 1, distance), -1);
        EXPECT_EQ(t->marchToIso(q, {-1, 0, 0}, 1, distance), 0);
        expectNear(q, Vec3(10.2f, 5.5f, 5.5f));
    }).join();
}

TEST(VolumeMarch, CrossesACellWithoutTheSurface)
{
    TestVolume t(20, 12, 12, [](int i, int, int) { return i * 100; });
    classifyCT(*t);
    t->setIsoValue(1090 - 1024);
    std::thread([&] {
        const Vec3 dir = normalised(Vec3(0.5f, 1, 0));
        Vec3 p(10.1f, 5.5f, 5.5f);
        float distance = 0;
        // Cell [10, 11] holds 1000 ... 1100 but the ray leaves it through y
        // before reaching 1090: it comes out past the cell's exit face.
        EXPECT_EQ(t->marchToIso(p, dir, 0, distance), -1);
        EXPECT_GE(p.y, 6.0f);
        EXPECT_LT(p.y, 6.0f + 0.2f);
        EXPECT_GT(distance, 0.0f);
    }).join();
}

TEST(VolumeMarch, GivesUpAfter51CellsPerThread)
{
    // All values above the threshold: mode 1 never stops and no cell is
    // wholly below, so every call counts a cell.
    TestVolume t(80, 8, 8, [](int, int, int) { return 3000; });
    classifyCT(*t);
    t->setIsoValue(0);
    auto callsUntilGiveUp = [&] {
        Vec3 p(1.5f, 3.5f, 3.5f);
        float distance = 0;
        for (int calls = 1; calls <= 60; ++calls) {
            if (t->marchToIso(p, {1, 0, 0}, 1, distance) == 1)
                return calls;
            if (p.x > 77) // keep inside the volume
                p.x = 1.5f;
        }
        return 0;
    };
    std::thread([&] {
        EXPECT_EQ(callsUntilGiveUp(), 51);
        // The counter was reset by the give-up.
        EXPECT_EQ(callsUntilGiveUp(), 51);
    }).join();
    // Counters are per thread: 30 cells on each of two threads give up nowhere.
    auto thirty = [&](int& gaveUp) {
        Vec3 p(1.5f, 3.5f, 3.5f);
        float distance = 0;
        gaveUp = 0;
        for (int i = 0; i < 30; ++i)
            gaveUp += t->marchToIso(p, {1, 0, 0}, 1, distance) == 1;
    };
    // beginRay starts the count afresh for the calling thread.
    std::thread([&] {
        Vec3 p(1.5f, 3.5f, 3.5f);
        float distance = 0;
        for (int i = 0; i < 40; ++i)
            t->marchToIso(p, {1, 0, 0}, 1, distance);
        CVolume::beginRay();
        EXPECT_EQ(callsUntilGiveUp(), 51);
    }).join();
    int a = -1, b = -1;
    std::thread first([&] { thirty(a); });
    std::thread second([&] { thirty(b); });
    first.join();
    second.join();
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
}

TEST(VolumeMarch, FoundSurfaceResetsTheCount)
{
    TestVolume t(80, 8, 8, [](int i, int, int) { return i == 70 ? 100 : 3000; });
    classifyCT(*t);
    t->setIsoValue(200 - 1024);
    std::thread([&] {
        Vec3 p(20.5f, 3.5f, 3.5f);
        float distance = 0;
        int result = -1, calls = 0;
        while (result == -1 && calls < 100) {
            result = t->marchToIso(p, {1, 0, 0}, 1, distance);
            ++calls;
        }
        // 49 cells without a crossing, then the dip at x = 70.
        EXPECT_EQ(result, 0);
        EXPECT_EQ(calls, 50);
        Vec3 q(2.5f, 3.5f, 3.5f);
        int more = 0;
        while (t->marchToIso(q, {1, 0, 0}, 1, distance) == -1)
            ++more;
        EXPECT_EQ(more, 50);
    }).join();
}

TEST(VolumeNormal, MatchesTheWeightedDifferencesOnRandomData)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> dist(0, 4000);
    TestVolume t(8, 8, 8, [&](int, int, int) { return dist(rng); }, 1.0f, 0.7f, 2.0f);
    classifyCT(*t);
    for (const Vec3& p : {Vec3(1.0f, 1.0f, 1.0f), Vec3(3.3f, 2.7f, 4.9f), Vec3(5.99f, 5.5f, 1.25f)})
        expectNear(t->normalAt(p), referenceNormal(*t, p), 2e-4f);
}

TEST(VolumeNormal, PointsUpTheGradientInVolumeSpace)
{
    // Rising equally along x and z in index space; the slices are twice as
    // far apart, so in volume space the z slope is half as steep.
    TestVolume t(10, 10, 10, [](int i, int, int k) { return 1000 + 50 * i + 50 * k; }, 1, 1, 2);
    classifyCT(*t);
    expectNear(t->normalAt({4.5f, 4.5f, 4.5f}), normalised(Vec3(1, 0, 0.5f)));
    TestVolume flat(10, 10, 10, [](int, int, int) { return 1000; });
    EXPECT_EQ(flat->normalAt({4.5f, 4.5f, 4.5f}), Vec3());
}

// A wall rising from 0 to 1000 between x = 10 and x = 11: the 500 crossing
// lies at x = 10.5. A march that starts at 10.8 finds it behind its start.
TEST(MarchToIso, CrossingBehindTheStartShortensTheDistance)
{
    TestVolume t(24, 8, 8, [](int i, int, int) { return i >= 11 ? 1000 : 0; });
    t->classify(0, 4095, 0.0f, 1.0f);
    t->setIsoValue(500);
    CVolume::beginRay();
    Vec3 p(10.8f, 4.5f, 4.5f);
    float distance = 0.0f;
    ASSERT_EQ(t->marchToIso(p, Vec3(1, 0, 0), 0, distance), 0);
    EXPECT_NEAR(p.x, 10.6f, 0.11f) << "the hit point, one search step past the crossing at most";
    EXPECT_NEAR(distance, p.x - 10.8f, 1e-5f) << "signed: the hit lies behind the start";
    EXPECT_LT(distance, 0.0f);
}

TEST(MarchToIso, CrossingAheadAddsItsDistance)
{
    TestVolume t(24, 8, 8, [](int i, int, int) { return i >= 11 ? 1000 : 0; });
    t->classify(0, 4095, 0.0f, 1.0f);
    t->setIsoValue(500);
    CVolume::beginRay();
    Vec3 p(10.1f, 4.5f, 4.5f);
    float distance = 3.0f;
    ASSERT_EQ(t->marchToIso(p, Vec3(1, 0, 0), 0, distance), 0);
    EXPECT_NEAR(distance, 3.0f + (p.x - 10.1f), 1e-5f);
    EXPECT_GT(p.x, 10.49f);
}

TEST(VolumeSampling, SampleUnlessTransparentEqualsTheTestThenTheSample)
{
    // The maximum-intensity ray's one read of a cell against its two calls,
    // bit for bit: near the faces (samples outside), in hidden voxels, at
    // whole coordinates, with thresholds around the values.
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> value(0, 400);
    TestVolume t(23, 19, 17, [&](int, int, int) { return value(rng); });
    t->classify(0, 4095, -1024.0f, 1.0f);
    for (int n = 0; n < 300; ++n)
        t->cellMask[size_t(rng() % 17)][rng() % 19][rng() % 23] &= 0x7F;
    std::uniform_real_distribution<float> x(0.0f, 22.0f), y(0.0f, 18.0f), z(0.0f, 16.0f);
    std::uniform_int_distribution<int> threshold(-2, 420);
    int samples = 0, below = 0;
    for (int n = 0; n < 200000; ++n) {
        Vec3 p(x(rng), y(rng), z(rng));
        if (n % 10 == 0) p = Vec3(std::floor(p.x), std::floor(p.y), std::floor(p.z));
        const int m = threshold(rng);
        const float fused = t->sampleUnlessTransparent(p, m);
        const float apart = t->cellTransparent(p, m) ? CVolume::kBelowThreshold : t->sampleTrilinear(p);
        ASSERT_EQ(std::memcmp(&fused, &apart, sizeof fused), 0) << p.x << " " << p.y << " " << p.z << " " << m;
        if (apart == CVolume::kBelowThreshold) ++below;
        else if (apart >= 0.0f) ++samples;
    }
    EXPECT_GT(samples, 50000);
    EXPECT_GT(below, 10000);
}
