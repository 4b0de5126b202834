// A segmentation as a DICOM Segmentation object and as the history's mask
// operation: the body of the 512 x 512 x 300 synthetic CT kept by a flood,
// then written as a file (and its size), read back onto the same series,
// packed into the operation's text (and its length), and set on the volume
// again from the unpacked runs. Each time is the cheapest of its repetitions.

#include "SyntheticCT.h"
#include "plugin/host/SegmentationObject.h"
#include "segment/KeptMaskCodec.h"
#include "segment/Segmenter.h"
#include "volume/CVolume.h"
#include "BenchClock.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

using namespace v3d;

namespace {

constexpr int kX = 512, kY = 512, kZ = 300;
constexpr int kIsoHU = -300;
constexpr int kSelectHigh = 16383;

struct Body {
    std::vector<uint16_t> values = makeSyntheticCT(kX, kY, kZ);
    CVolume volume;
    SegSourceSeries source;
    std::vector<uint8_t> mask;

    Body() {
        volume.build(kX, kY, kZ, values.data(), nullptr, 0.7f, 0.7f, 1.0f, {}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
        volume.classify(0, 4095, -1024.0f, 1.0f);
        volume.setIsoValue(kIsoHU);
        // The body: kept from the skin on the middle row of the middle slice.
        int x = 0;
        while (x < kX - 1 && volume.voxelRows[kZ / 2][kY / 2][x] < volume.isoStored) ++x;
        Segmenter(volume).floodFromPoint(float(x), kY / 2.0f, kZ / 2.0f, true, false, {}, volume.isoStored,
                                         kSelectHigh);
        mask = keptBytesOfVolume(volume);
        source.columns = kX;
        source.rows = kY;
        source.spacingX = source.spacingY = 0.7;
        source.sliceThickness = 1.0;
        source.studyInstanceUid = "1.2.826.0.1.3680043.10.1.1";
        source.seriesInstanceUid = "1.2.826.0.1.3680043.10.1.2";
        source.frameOfReferenceUid = "1.2.826.0.1.3680043.10.1.3";
        for (int z = 0; z < kZ; ++z) {
            SegSourceImage image;
            image.sopClassUid = "1.2.840.10008.5.1.4.1.1.2";
            image.sopInstanceUid = "1.2.826.0.1.3680043.10.1.4." + std::to_string(z + 1);
            image.position[2] = z;
            source.images.push_back(image);
        }
    }
};

Body& body() {
    static Body b;
    return b;
}

void measureAll(Cost& cost, const std::function<void()>& work) { ::measure(cost, work, CLOCK_PROCESS_CPUTIME_ID); }

void writeObject(benchmark::State& state) {
    Body& b = body();
    Cost best;
    std::vector<uint8_t> file;
    for (auto _ : state)
        measureAll(best, [&] {
            writeSegmentationObject(b.source, b.mask.data(), kZ, SegSegmentDescription(), nullptr, "", "", file);
        });
    state.counters["write_ms"] = best.wallMs;
    state.counters["write_cpu_ms"] = best.cpuMs;
    state.counters["file_MB"] = double(file.size()) / 1e6;
}

void readObject(benchmark::State& state) {
    Body& b = body();
    std::vector<uint8_t> file, mask;
    writeSegmentationObject(b.source, b.mask.data(), kZ, SegSegmentDescription(), nullptr, "", "", file);
    Cost best;
    std::optional<SegClipBox> clip;
    std::string detail;
    for (auto _ : state)
        measureAll(best, [&] { readSegmentationObjectBytes(file.data(), file.size(), b.source, mask, clip, detail); });
    if (mask != b.mask) state.SkipWithError("the mask read back differs");
    state.counters["read_ms"] = best.wallMs;
    state.counters["read_cpu_ms"] = best.cpuMs;
}

void packAndSet(benchmark::State& state) {
    Body& b = body();
    Cost packBest, setBest;
    std::string letters;
    for (auto _ : state) {
        measureAll(packBest, [&] { letters = packKeptRuns(keptRunsOfBytes(b.mask.data(), b.mask.size())); });
        std::vector<uint32_t> runs;
        measureAll(setBest, [&] {
            unpackKeptRuns(letters, b.mask.size(), runs);
            Segmenter(b.volume).setKeptRuns(runs, nullptr);
        });
    }
    state.counters["pack_ms"] = packBest.wallMs;
    state.counters["unpack_and_set_ms"] = setBest.wallMs;
    state.counters["history_KB"] = double(letters.size()) / 1024.0;
}

}  // namespace

BENCHMARK(writeObject)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(readObject)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(packAndSet)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
