// Segmentation speed: keep and remove floods of the body, a region cut with a
// 40-point outline and the reset, on a 512 x 512 x 300 synthetic CT and on
// the corpus chest CT when it is there; floods on the phantoms that are
// worst for the sweeping fill (serpentine) and for the span stack (sponge).
// Each time is the cheapest of its repetitions, beside one read pass over
// the mask in the same run (the ratio says how many such passes it costs).

#include "CorpusCT.h"
#include "SegmentPhantoms.h"
#include "SyntheticCT.h"
#include "segment/OutlineCut.h"
#include "segment/Segmenter.h"
#include "volume/CVolume.h"
#include "BenchClock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace v3d;

namespace {

constexpr int kX = 512, kY = 512, kZ = 300;
constexpr int kIsoHU = -300;
constexpr int kSelectHigh = 16383;
constexpr int kOutlinePoints = 40;
const char* const kCorpusFolder = "/work/shared/corpus/ct-chest-5mm";

struct Scene {
    CTBlock block;
    CVolume volume;
    explicit Scene(CTBlock ct) : block(std::move(ct))
    {
        volume.build(block.sizeX, block.sizeY, block.sizeZ, block.values.data(), nullptr, block.spacingX,
                     block.spacingY, block.spacingZ, {}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
        volume.classify(0, 4095, -1024.0f, 1.0f);
        volume.setIsoValue(kIsoHU);
    }
    // The first voxel at or above the iso threshold along the middle row of
    // the middle slice, from the left: the skin of the body.
    Vec3 bodySeed() const
    {
        const int y = volume.sizeY / 2, z = volume.sizeZ / 2;
        for (int x = 0; x < volume.sizeX - 1; ++x)
            if (volume.voxelRows[z][y][x] >= volume.isoStored) return Vec3(float(x), float(y), float(z));
        return Vec3(float(volume.sizeX / 2), float(y), float(z));
    }
};

CTBlock synthetic()
{
    CTBlock b;
    b.sizeX = kX, b.sizeY = kY, b.sizeZ = kZ;
    b.spacingX = b.spacingY = 0.7f;
    b.spacingZ = 1.0f;
    b.values = makeSyntheticCT(kX, kY, kZ);
    return b;
}

CTBlock phantom(std::vector<uint16_t> values)
{
    CTBlock b;
    b.sizeX = kX, b.sizeY = kY, b.sizeZ = kZ;
    b.values = std::move(values);
    return b;
}

Scene* scene(const std::string& name)
{
    static std::map<std::string, std::unique_ptr<Scene>> scenes;
    auto found = scenes.find(name);
    if (found != scenes.end()) return found->second.get();
    // One large volume at a time: the others are dropped first.
    scenes.clear();
    std::unique_ptr<Scene> made;
    if (name == "synthetic") {
        made = std::make_unique<Scene>(synthetic());
    } else if (name == "chest") {
        CTBlock corpus;
        if (!readCorpusCT(kCorpusFolder, corpus)) return nullptr;
        made = std::make_unique<Scene>(std::move(corpus));
    } else if (name == "serpentine") {
        made = std::make_unique<Scene>(phantom(makeSerpentinePhantom(kX, kY, kZ)));
    } else {
        made = std::make_unique<Scene>(phantom(makeSpongePhantom(kX, kY, kZ, 450, 11u)));
    }
    return scenes.emplace(name, std::move(made)).first->second.get();
}

// The floor: one plain pass that reads every mask byte.
uint64_t readEveryMaskByte(const CVolume& v)
{
    uint64_t sum = 0;
    for (int k = 0; k < v.sizeZ; ++k) {
        const uint8_t* m = v.maskSlices[size_t(k)];
        uint32_t sliceSum = 0;
        for (int i = 0; i < v.sizeX * v.sizeY; ++i) sliceSum += m[i];
        sum += sliceSum;
    }
    return sum;
}

void measure(Cost& cost, const std::function<void()>& work)
{
    ::measure(cost, work, CLOCK_THREAD_CPUTIME_ID);
}

// An ellipse around the left half of the body, seen from the front (along
// +y), in front of the volume.
std::vector<Vec3> leftHalfOutline(const CVolume& v)
{
    std::vector<Vec3> points;
    const float cx = v.sizeX * 0.3f, cz = v.sizeZ * 0.5f, rx = v.sizeX * 0.25f, rz = v.sizeZ * 0.45f;
    for (int i = 0; i < kOutlinePoints; ++i) {
        const float a = 2.0f * float(M_PI) * float(i) / kOutlinePoints;
        points.push_back(Vec3(cx + rx * std::cos(a), -10.0f, cz + rz * std::sin(a)));
    }
    return points;
}

enum class Op { Keep, Remove, Cut, Reset };

// Runs the operation from a reset volume; the reset itself is not timed
// except for Op::Reset.
void runOperation(benchmark::State& state, const std::string& name, Op op, v3d::FillMethod method)
{
    Scene* s = scene(name);
    if (!s) {
        state.SkipWithError("corpus chest CT not found");
        return;
    }
    CVolume& v = s->volume;
    v3d::Segmenter segmenter(v);
    segmenter.fillMethod = method;
    const Vec3 seed = s->bodySeed();
    const std::vector<Vec3> outline = leftHalfOutline(v);
    Cost best, floorBest;
    uint64_t sink = 0;
    bool taken = true;
    for (auto _ : state) {
        segmenter.resetSegmentation();
        measure(floorBest, [&] { sink += readEveryMaskByte(v); });
        measure(best, [&] {
            switch (op) {
            case Op::Keep:
            case Op::Remove:
                taken = segmenter.floodFromPoint(seed.x, seed.y, seed.z, op == Op::Keep, false, {},
                                                 v.isoStored, kSelectHigh);
                break;
            case Op::Cut:
                v3d::cutAlongOutline(segmenter, outline, Vec3(0, 1, 0), Vec3(1, 0, 0), 0.0f, v.sizeY + 20, true);
                break;
            case Op::Reset:
                segmenter.resetSegmentation();
                break;
            }
        });
    }
    benchmark::DoNotOptimize(sink);
    if (!taken) state.SkipWithError("the seed took nothing");
    size_t kept = 0;
    for (int k = 0; k < v.sizeZ; ++k)
        for (int i = 0; i < v.sizeX * v.sizeY; ++i) kept += v.maskSlices[size_t(k)][size_t(i)] >> 7;
    state.counters["op_ms"] = best.wallMs;
    state.counters["read_pass_ms"] = floorBest.wallMs;
    state.counters["ratio"] = best.wallMs / floorBest.wallMs;
    state.counters["op_cpu_ms"] = best.cpuMs;
    state.counters["cpu_ratio"] = best.cpuMs / floorBest.cpuMs;
    state.counters["kept_voxels"] = double(kept);
    segmenter.resetSegmentation();
}

void registerAll()
{
    using v3d::FillMethod;
    struct Case {
        const char* scene;
        int repetitions;
    };
    for (const Case& c : {Case{"synthetic", 5}, Case{"chest", 5}}) {
        const std::string n = c.scene;
        benchmark::RegisterBenchmark(("keep_body/" + n).c_str(), runOperation, n, Op::Keep, FillMethod::SpanStack)
            ->Iterations(c.repetitions)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("remove_body/" + n).c_str(), runOperation, n, Op::Remove, FillMethod::SpanStack)
            ->Iterations(c.repetitions)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("region_cut_40/" + n).c_str(), runOperation, n, Op::Cut, FillMethod::SpanStack)
            ->Iterations(c.repetitions)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("reset/" + n).c_str(), runOperation, n, Op::Reset, FillMethod::SpanStack)
            ->Iterations(c.repetitions)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("keep_body_sweep/" + n).c_str(), runOperation, n, Op::Keep, FillMethod::Sweep)
            ->Iterations(2)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("remove_body_sweep/" + n).c_str(), runOperation, n, Op::Remove, FillMethod::Sweep)
            ->Iterations(2)->Unit(benchmark::kMillisecond);
    }
    for (const char* worst : {"serpentine", "sponge"}) {
        const std::string n = worst;
        benchmark::RegisterBenchmark(("keep_worst/" + n).c_str(), runOperation, n, Op::Keep, FillMethod::SpanStack)
            ->Iterations(3)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("remove_worst/" + n).c_str(), runOperation, n, Op::Remove, FillMethod::SpanStack)
            ->Iterations(3)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("region_cut_40_worst/" + n).c_str(), runOperation, n, Op::Cut, FillMethod::SpanStack)
            ->Iterations(3)->Unit(benchmark::kMillisecond);
    }
    // The sweeping fill once on the serpentine (seconds); on the sponge it
    // runs for many minutes and is left out.
    benchmark::RegisterBenchmark("keep_worst_sweep/serpentine", runOperation, std::string("serpentine"), Op::Keep,
                                 FillMethod::Sweep)
        ->Iterations(1)->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
