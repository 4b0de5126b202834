// Render speed of the shaded-surface and maximum-intensity renderers on a
// 512 x 512 x 300 synthetic CT (and on the real chest CT of the corpus when
// it is there), anterior parallel camera, 256 and 512 pixels square:
//   coarse    the coarse foreground pass alone (step 4, refinement stopped)
//   drag      a frame while dragging: coarse pass plus the step-2 refinement
//   drag_seq  drag frames back to back, each first stopping the background
//             pass the frame before started, as during a real drag
//   complete  the finished image: foreground plus the background pass
//   full      one pass at coarse step 1 on the loaded volume (no background
//             pass): the cost of a full-quality image by itself
//   first     SSD only: volume build + classify + a full render at step 1
// Every case reports median_ms over its iterations (wall time).
//
// --write-volume DIR writes each volume as raw uint16 little-endian (x
// fastest) with a JSON description of size, spacing, camera and thresholds,
// for the comparison script, and this renderer's SSD and MIP images at 256
// pixels as PPM; then exits.

#include "CorpusCT.h"
#include "RenderScene.h"
#include "SyntheticCT.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kCorpusFolder = "/work/shared/corpus/ct-chest-5mm";
const char* const kModeNames[2] = {"ssd", "mip"};

std::map<std::string, CTBlock>& datasets() {
    static std::map<std::string, CTBlock> sets = [] {
        std::map<std::string, CTBlock> s;
        CTBlock synthetic;
        synthetic.sizeX = 512, synthetic.sizeY = 512, synthetic.sizeZ = 300;
        synthetic.spacingX = 0.7f, synthetic.spacingY = 0.7f, synthetic.spacingZ = 1.0f;
        synthetic.values = makeSyntheticCT(512, 512, 300);
        s["synthetic"] = std::move(synthetic);
        CTBlock corpus;
        if (readCorpusCT(kCorpusFolder, corpus)) s["chest"] = std::move(corpus);
        return s;
    }();
    return sets;
}

// One scene per data set, kept across cases: binding and classifying once.
// Cleared before main returns: a view saves its settings to the fake host
// when it goes, and the host's own statics may be gone by static teardown.
std::map<std::string, std::unique_ptr<RenderScene>> scenes;

RenderScene& scene(const std::string& name) {
    auto& s = scenes[name];
    if (!s) s = std::make_unique<RenderScene>(datasets()[name]);
    return *s;
}

double milliseconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

void reportMedian(benchmark::State& state, std::vector<double>& times) {
    if (times.empty()) return;
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["min_ms"] = times.front();
}

// Times `work` per iteration; `prepare` runs untimed before each.
void timeFrames(benchmark::State& state, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> times;
    for (auto _ : state) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(milliseconds(start, end) / 1e3);
        times.push_back(milliseconds(start, end));
    }
    reportMedian(state, times);
}

enum class Case { Coarse, Drag, DragSequence, Complete, Full, First };

void runCase(benchmark::State& state, const std::string& data, int mode, int size, Case kind) {
    if (kind == Case::First) {
        std::vector<double> times;
        for (auto _ : state) {
            auto fresh = std::make_unique<RenderScene>(datasets()[data], false);
            fresh->setSize(size);
            fresh->view.setRenderMode(mode);
            const auto start = std::chrono::steady_clock::now();
            fresh->loadVolume();
            fresh->renderOnce(0, 1, false, 1);
            const auto end = std::chrono::steady_clock::now();
            state.SetIterationTime(milliseconds(start, end) / 1e3);
            times.push_back(milliseconds(start, end));
        }
        reportMedian(state, times);
        return;
    }
    RenderScene& s = scene(data);
    s.view.stopRenderers();
    s.setSize(size);
    s.view.setRenderMode(mode);
    auto quiet = [&s] { s.view.stopRenderers(); };
    switch (kind) {
    case Case::Coarse:
        // Interrupt level 4 with input waiting: no halving at all.
        timeFrames(state, quiet, [&s] { s.renderOnce(4, 4, true, 4); });
        break;
    case Case::Drag:
        // Drag mode 1 sets level 2: the step-2 refinement runs, step 1 does not.
        timeFrames(state, quiet, [&s] { s.renderOnce(1, 2, true, 4); });
        break;
    case Case::DragSequence:
        timeFrames(state, [] {}, [&s] { s.renderOnce(1, 2, true, 4); });
        break;
    case Case::Complete:
        timeFrames(state, quiet, [&s] {
            s.renderOnce(0, 1, false, 4);
            s.waitForBackgroundPass();
        });
        break;
    case Case::Full:
        timeFrames(state, quiet, [&s] { s.renderOnce(0, 1, false, 1); });
        break;
    case Case::First:
        break;
    }
    s.view.stopRenderers();
}

void registerAll() {
    const std::pair<const char*, Case> cases[] = {
        {"coarse", Case::Coarse}, {"drag", Case::Drag}, {"drag_seq", Case::DragSequence},
        {"complete", Case::Complete}, {"full", Case::Full}, {"first", Case::First}};
    for (const auto& entry : datasets()) {
        const std::string data = entry.first;
        for (int mode = 0; mode < 2; ++mode)
            for (int size : {256, 512})
                for (const auto& c : cases) {
                    if (c.second == Case::First && mode != 0) continue;
                    const std::string name =
                        "render/" + data + "/" + kModeNames[mode] + "/" + std::to_string(size) + "/" + c.first;
                    const Case kind = c.second;
                    auto* b = benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                        runCase(state, data, mode, size, kind);
                    });
                    b->UseManualTime()->Unit(benchmark::kMillisecond);
                    b->Iterations(kind == Case::First ? 5 : kind == Case::Complete || kind == Case::Full ? 9 : 25);
                }
    }
}

// The complete image of a mode as a binary PPM, to compare views by eye.
bool writeImage(RenderScene& s, int mode, int size, const std::string& path) {
    s.setSize(size);
    s.view.setRenderMode(mode);
    s.renderOnce(0, 1, false, 4);
    s.waitForBackgroundPass();
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << size << " " << size << "\n255\n";
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            uint8_t rgb[3];
            s.view.getPixel(x, y, rgb[0], rgb[1], rgb[2]);
            out.write(reinterpret_cast<const char*>(rgb), 3);
        }
    return bool(out);
}

// The volume, and what the comparison needs to look at it the same way.
bool writeVolume(const std::string& folder, const std::string& name, CTBlock& block) {
    const std::string raw = folder + "/" + name + ".raw";
    std::ofstream out(raw, std::ios::binary);
    // Values are written byte by byte: little-endian on any host.
    std::vector<char> bytes(block.values.size() * 2);
    for (size_t i = 0; i < block.values.size(); ++i) {
        bytes[2 * i] = char(block.values[i] & 0xFF);
        bytes[2 * i + 1] = char(block.values[i] >> 8);
    }
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) return false;
    RenderScene s(block);
    const float minSpacing = s.volume.minSpacing;
    const Vec3 view = s.camera.worldView;
    std::ofstream json(folder + "/" + name + ".json");
    json << "{\n  \"name\": \"" << name << "\",\n  \"raw\": \"" << name << ".raw\",\n"
         << "  \"size\": [" << block.sizeX << ", " << block.sizeY << ", " << block.sizeZ << "],\n"
         << "  \"spacing\": [" << block.spacingX << ", " << block.spacingY << ", " << block.spacingZ << "],\n"
         << "  \"view_direction_voxels\": [" << view.x << ", " << view.y << ", " << view.z << "],\n"
         << "  \"view_width_mm\": " << s.camera.viewWidth * minSpacing << ",\n"
         << "  \"step_mm\": " << minSpacing << ",\n"
         << "  \"iso_stored\": " << s.volume.isoStored << ",\n"
         << "  \"window_low_stored\": " << s.volume.windowLowStored << ",\n"
         << "  \"window_high_stored\": " << s.volume.windowHighStored << "\n}\n";
    return bool(json) && writeImage(s, 0, 256, folder + "/" + name + "_ours_ssd.ppm") &&
           writeImage(s, 1, 256, folder + "/" + name + "_ours_mip.ppm");
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--write-volume") != 0) continue;
        for (auto& entry : datasets())
            if (!writeVolume(argv[i + 1], entry.first, entry.second)) {
                std::fprintf(stderr, "cannot write %s to %s\n", entry.first.c_str(), argv[i + 1]);
                return 1;
            }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    scenes.clear();
    benchmark::Shutdown();
    return 0;
}
