// The span-stack fill against the sweeping fill: the same mask, kept box and
// clip box on random volumes and on the phantoms that are slowest to sweep.
#include "SegmentFixture.h"
#include "SegmentPhantoms.h"

#include "segment/OutlineCut.h"
#include "segment/Segmenter.h"

#include <gtest/gtest.h>

#include <random>

using namespace v3d;

using v3d::FillMethod;
using v3d::SegmentPlane;
using v3d::Segmenter;

namespace {

// The same volume twice, one segmented with each method.
struct Pair {
    SegmentVolume sweptVolume, stackedVolume;
    Segmenter swept{*sweptVolume}, stacked{*stackedVolume};

    Pair(int x, int y, int z, const std::function<int(int, int, int)>& value)
        : sweptVolume(x, y, z, value), stackedVolume(x, y, z, value)
    {
        swept.fillMethod = FillMethod::Sweep;
        stacked.fillMethod = FillMethod::SpanStack;
    }

    template <class Op>
    void both(Op op)
    {
        op(swept);
        op(stacked);
    }

    void expectSame(const std::string& what)
    {
        ASSERT_EQ(sweptVolume.maskCopy(), stackedVolume.maskCopy()) << what;
        EXPECT_TRUE(swept.kept == stacked.kept) << what;
        for (int k = 0; k < 6; ++k)
            ASSERT_EQ(sweptVolume->boundaryPoints[k], stackedVolume->boundaryPoints[k]) << what << " plane " << k;
    }
};

std::function<int(int, int, int)> fromBlock(const std::vector<uint16_t>& values, int x, int y)
{
    return [&values, x, y](int i, int j, int k) {
        return int(values[(size_t(k) * size_t(y) + size_t(j)) * size_t(x) + size_t(i)]);
    };
}

// Blobs of four densities on a coarse grid, with single voxels strewn in.
std::function<int(int, int, int)> randomDensities(std::mt19937& rng)
{
    static const int kDensities[] = {0, 800, 1200, 2000};
    auto coarse = std::make_shared<std::vector<int>>(512);
    auto fine = std::make_shared<std::vector<int>>(4096);
    for (int& d : *coarse) d = kDensities[rng() % 4];
    for (int& d : *fine) d = (rng() % 4 == 0) ? kDensities[rng() % 4] : -1;
    const int stretch = 1 + int(rng() % 8);  // long runs along x
    return [coarse, fine, stretch](int i, int j, int k) {
        i /= stretch;
        const int f = (*fine)[size_t((i * 7 + j * 31 + k * 97) % 4096)];
        return f >= 0 ? f : (*coarse)[size_t(((i / 3) * 8 + (j / 3)) * 8 + (k / 3)) % 512];
    };
}

struct Range {
    int low, high;
};
const Range kRanges[] = {{500, 1500}, {500, 2500}, {1000, 2500}, {1500, 2500}, {0, 900}};

TEST(FillMethods, SweepsAndSpanStackTakeTheSameVoxelsOnRandomVolumes)
{
    std::mt19937 rng(20261208);
    for (int trial = 0; trial < 150; ++trial) {
        // Every other volume is wider than two words of 64 voxels, so that
        // spans run across word boundaries.
        const bool wide = trial % 2 == 1;
        const int sx = wide ? 120 + int(rng() % 90) : 6 + int(rng() % 15);
        const int sy = 6 + int(rng() % (wide ? 8 : 15)), sz = 6 + int(rng() % (wide ? 6 : 12));
        Pair pair(sx, sy, sz, randomDensities(rng));
        std::uniform_real_distribution<float> ux(0, float(sx - 2)), uy(0, float(sy - 2)), uz(0, float(sz - 2));
        // A removal follows only a reset or a region cut: then no earlier
        // flood has left hidden, unmarked voxels at the faces.
        bool facesClean = true;
        for (int step = 0; step < 5; ++step) {
            const std::string what = "trial " + std::to_string(trial) + " step " + std::to_string(step);
            const int kind = int(rng() % 4);
            if (kind <= 1) {
                const bool keep = kind == 0 || !facesClean;
                const Range range = kRanges[rng() % 5];
                std::vector<SegmentPlane> planes;
                for (int p = int(rng() % 3); p > 0; --p) {
                    Vec3 n(float(int(rng() % 5)) - 2, float(int(rng() % 5)) - 2, float(int(rng() % 3)) - 1);
                    if (length(n) == 0) n = Vec3(1, 0, 0);
                    planes.push_back({Vec3(ux(rng), uy(rng), uz(rng)), normalised(n)});
                }
                const bool bound = rng() % 2 == 0;
                const Vec3 p(ux(rng), uy(rng), uz(rng));
                bool sweptResult = false, stackedResult = false;
                sweptResult = pair.swept.floodFromPoint(p.x, p.y, p.z, keep, bound, planes, range.low, range.high);
                stackedResult = pair.stacked.floodFromPoint(p.x, p.y, p.z, keep, bound, planes, range.low, range.high);
                ASSERT_EQ(sweptResult, stackedResult) << what;
                facesClean = facesClean && !sweptResult;
            } else if (kind == 2) {
                std::vector<Vec3> outline;
                for (int n = 3 + int(rng() % 4); n > 0; --n)
                    outline.push_back(Vec3(ux(rng), uy(rng), -1));
                const Vec3 direction = normalised(Vec3(float(int(rng() % 3)) - 1, float(int(rng() % 3)) - 1, 4));
                const Vec3 right = normalised(cross(Vec3(0, 1, 0), direction));
                const bool keepInside = rng() % 2 == 0;
                pair.both([&](Segmenter& s) {
                    v3d::cutAlongOutline(s, outline, direction, right, -3.0f, sz + 6, keepInside);
                });
                facesClean = true;
            } else {
                pair.both([](Segmenter& s) { s.resetSegmentation(); });
                facesClean = true;
            }
            pair.expectSame(what);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(FillMethods, SweepsAndSpanStackTakeTheSameVoxelsOnTheSerpentine)
{
    constexpr int kX = 66, kY = 60, kZ = 10;
    const std::vector<uint16_t> values = makeSerpentinePhantom(kX, kY, kZ);
    for (bool keep : {true, false}) {
        Pair pair(kX, kY, kZ, fromBlock(values, kX, kY));
        pair.both([&](Segmenter& s) { ASSERT_TRUE(s.floodFromPoint(0, 2, 5, keep, false, {}, 500, 1500)); });
        pair.expectSame(keep ? "keep" : "remove");
        // The far end of the serpentine was reached.
        EXPECT_EQ(pair.stackedVolume.kept(kX - 2, kY / 2, 5), keep);
    }
}

TEST(FillMethods, SweepsAndSpanStackTakeTheSameVoxelsOnTheSponge)
{
    constexpr int kN = 36;
    for (int perMille : {320, 450, 600}) {
        const std::vector<uint16_t> values = makeSpongePhantom(kN, kN, kN, perMille, 7u + uint32_t(perMille));
        for (bool keep : {true, false}) {
            Pair pair(kN, kN, kN, fromBlock(values, kN, kN));
            pair.both([&](Segmenter& s) {
                for (int x = 0; x < kN - 1; ++x)
                    if (s.floodFromPoint(float(x), 18, 18, keep, false, {}, 500, 1500)) break;
            });
            pair.expectSame("sponge " + std::to_string(perMille) + (keep ? " keep" : " remove"));
        }
        Pair pair(kN, kN, kN, fromBlock(values, kN, kN));
        const std::vector<Vec3> outline{{5, 5, -1}, {30, 8, -1}, {25, 30, -1}, {3, 22, -1}};
        pair.both([&](Segmenter& s) {
            v3d::cutAlongOutline(s, outline, Vec3(0, 0, 1), Vec3(1, 0, 0), -2.0f, kN + 4, true);
        });
        pair.expectSame("sponge cut " + std::to_string(perMille));
    }
}

}  // namespace
