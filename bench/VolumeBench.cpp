// CVolume speed: classification of a 512 x 512 x 300 CT-like volume next to
// the floor of reading every voxel once, and the per-call cost of the
// sampling primitives that the ray casters call per step.

#include "SyntheticCT.h"
#include "volume/CVolume.h"
#include "BenchClock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <random>
#include <vector>

using namespace v3d;

namespace {

constexpr int kX = 512, kY = 512, kZ = 300;

struct Fixture {
    std::vector<uint16_t> values = makeSyntheticCT(kX, kY, kZ);
    CVolume volume;
    Fixture()
    {
        volume.build(kX, kY, kZ, values.data(), nullptr, 0.7f, 0.7f, 1.0f, {}, {1, 0, 0},
                     {0, 1, 0}, {0, 0, 1});
        classify();
    }
    void classify() { volume.classify(0, 4095, -1024.0f, 1.0f); }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// The floor: one plain pass that reads every voxel through the row tables.
uint64_t readEveryVoxel(const CVolume& v)
{
    uint64_t sum = 0;
    for (int k = 0; k < v.sizeZ; ++k)
        for (int j = 0; j < v.sizeY; ++j) {
            const uint16_t* row = v.voxelRows[k][j];
            uint32_t rowSum = 0;
            for (int i = 0; i < v.sizeX; ++i)
                rowSum += row[i];
            sum += rowSum;
        }
    return sum;
}

void measure(Cost& cost, const std::function<void()>& work)
{
    ::measure(cost, work, CLOCK_PROCESS_CPUTIME_ID);
}

void BM_ReadEveryVoxel(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(readEveryVoxel(f.volume));
    state.SetBytesProcessed(int64_t(state.iterations()) * kX * kY * kZ * 2);
}
BENCHMARK(BM_ReadEveryVoxel)->Unit(benchmark::kMillisecond);

void BM_Classify(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        f.classify();
    state.SetBytesProcessed(int64_t(state.iterations()) * kX * kY * kZ * 2);
}
BENCHMARK(BM_Classify)->Unit(benchmark::kMillisecond);

// Both in the same iterations, so that the ratio compares like with like.
// classify splits its work over the cores; the floor is one plain loop, so
// both the wall-time ratio and the CPU-time ratio are reported.
void BM_ClassifyOverFloor(benchmark::State& state)
{
    Fixture& f = fixture();
    Cost floorCost, classifyCost;
    uint64_t sink = 0;
    for (auto _ : state) {
        measure(floorCost, [&] { sink += readEveryVoxel(f.volume); });
        measure(classifyCost, [&] { f.classify(); });
    }
    benchmark::DoNotOptimize(sink);
    state.counters["floor_ms"] = floorCost.wallMs;
    state.counters["classify_ms"] = classifyCost.wallMs;
    state.counters["ratio"] = classifyCost.wallMs / floorCost.wallMs;
    state.counters["classify_cpu_ms"] = classifyCost.cpuMs;
    state.counters["cpu_ratio"] = classifyCost.cpuMs / floorCost.cpuMs;
}
BENCHMARK(BM_ClassifyOverFloor)->Unit(benchmark::kMillisecond)->Iterations(8);

// A new isovalue (as every frame of an isovalue drag sets one): the iso
// class and the empty-space reach of the blocks against it.
void BM_SetIsoValue(benchmark::State& state)
{
    Fixture& f = fixture();
    int hu = -300;
    for (auto _ : state) {
        hu = hu == -300 ? 200 : -300;
        f.volume.setIsoValue(hu);
    }
    f.volume.setIsoValue(-300);
}
BENCHMARK(BM_SetIsoValue)->Unit(benchmark::kMillisecond);

constexpr int kPoints = 1 << 16;

std::vector<Vec3> randomPoints(float margin, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> x(margin, kX - 1 - 2 * margin),
        y(margin, kY - 1 - 2 * margin), z(margin, kZ - 1 - 2 * margin);
    std::vector<Vec3> points(kPoints);
    for (Vec3& p : points)
        p = {x(rng), y(rng), z(rng)};
    return points;
}

// Two voxels inside, where every primitive may read.
bool interior(const Vec3& q);

// Unit steps along a few rays through the body, the way a caster walks.
std::vector<Vec3> pointsAlongRays()
{
    std::vector<Vec3> points;
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1, 1);
    while (int(points.size()) < kPoints) {
        Vec3 d(u(rng), u(rng), u(rng) * 0.3f);
        normalise(d);
        Vec3 p(kX / 2 + u(rng) * 40, kY / 2 + u(rng) * 40, kZ / 2 + u(rng) * 40);
        for (int s = 0; s < 120 && interior(p) && int(points.size()) < kPoints; ++s, p += d)
            points.push_back(p);
    }
    return points;
}

void setPerCall(benchmark::State& state)
{
    state.counters["ns_per_call"] = benchmark::Counter(
        double(state.iterations()) * kPoints, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SampleTrilinear(benchmark::State& state, bool alongRays)
{
    Fixture& f = fixture();
    const std::vector<Vec3> points = alongRays ? pointsAlongRays() : randomPoints(1, 1);
    for (auto _ : state) {
        float sum = 0;
        for (const Vec3& p : points)
            sum += f.volume.sampleTrilinear(p);
        benchmark::DoNotOptimize(sum);
    }
    setPerCall(state);
}
BENCHMARK_CAPTURE(BM_SampleTrilinear, random, false);
BENCHMARK_CAPTURE(BM_SampleTrilinear, along_rays, true);

void BM_NormalAt(benchmark::State& state, bool alongRays)
{
    Fixture& f = fixture();
    const std::vector<Vec3> points = alongRays ? pointsAlongRays() : randomPoints(2, 2);
    for (auto _ : state) {
        Vec3 sum;
        for (const Vec3& p : points)
            sum += f.volume.normalAt(p);
        benchmark::DoNotOptimize(sum);
    }
    setPerCall(state);
}
BENCHMARK_CAPTURE(BM_NormalAt, random, false);
BENCHMARK_CAPTURE(BM_NormalAt, along_rays, true);

bool interior(const Vec3& q)
{
    return q.x >= 2 && q.y >= 2 && q.z >= 2 && q.x < kX - 3 && q.y < kY - 3 && q.z < kZ - 3;
}

// random_straddling: random cells whose corners lie on both sides of the iso
// threshold, so that the 0.2 steps run (and the cache is cold).
void BM_MarchToIsoStraddling(benchmark::State& state)
{
    Fixture& f = fixture();
    const CVolume& v = f.volume;
    std::vector<Vec3> points;
    std::vector<Vec3> dirs;
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(-1, 1);
    std::uniform_real_distribution<float> x(2, kX - 3), y(2, kY - 3), z(2, kZ - 3);
    while (int(points.size()) < kPoints) {
        const Vec3 p(x(rng), y(rng), z(rng));
        const int i = int(p.x), j = int(p.y), k = int(p.z);
        int below = 0;
        for (int c = 0; c < 8; ++c)
            below += v.voxelRows[k + (c >> 2)][j + ((c >> 1) & 1)][i + (c & 1)] < v.isoStored;
        if (below == 0 || below == 8)
            continue;
        Vec3 d(u(rng), u(rng), u(rng));
        points.push_back(p);
        dirs.push_back(normalise(d));
    }
    for (auto _ : state) {
        int sum = 0;
        for (int n = 0; n < kPoints; ++n) {
            Vec3 p = points[size_t(n)];
            float distance = 0;
            sum += v.marchToIso(p, dirs[size_t(n)], 0, distance);
        }
        benchmark::DoNotOptimize(sum);
    }
    setPerCall(state);
}
BENCHMARK(BM_MarchToIsoStraddling);

// along_rays: what the surface renderer does between empty-space skips:
// rays from outside the body toward its centre, marched cell by cell until
// the surface is found or the ray given up; the time per call is averaged
// over every call made.
void BM_MarchToIsoAlongRays(benchmark::State& state)
{
    Fixture& f = fixture();
    const CVolume& v = f.volume;
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> u(-1, 1);
    struct Ray {
        Vec3 start, dir;
    };
    std::vector<Ray> rays(4096);
    for (Ray& r : rays) {
        const Vec3 target(kX / 2 + u(rng) * 150, kY / 2 + u(rng) * 100, kZ / 2 + u(rng) * 120);
        Vec3 d(u(rng), u(rng), u(rng) * 0.2f);
        normalise(d);
        r.start = target - d * 250.0f;
        while (!interior(r.start))
            r.start += d;
        r.dir = d;
    }
    int64_t calls = 0;
    for (auto _ : state) {
        int sum = 0;
        for (const Ray& r : rays) {
            Vec3 p = r.start;
            float distance = 0;
            int result = -1;
            while (result == -1 && interior(p)) {
                result = v.marchToIso(p, r.dir, 0, distance);
                ++calls;
            }
            sum += result;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["calls_per_ray"] = double(calls) / double(state.iterations()) / double(rays.size());
    state.counters["ns_per_call"] = benchmark::Counter(double(calls), benchmark::Counter::kIsRate
                                                                          | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MarchToIsoAlongRays);

} // namespace

BENCHMARK_MAIN();
