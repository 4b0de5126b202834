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
//   first     SSD only: a fresh view (view_ms: its making alone) + volume
//             build + classify + a full render at step 1
//   threads   the complete image and the drag frame on 1 and on 2 pool
//             threads, alternating in the same iterations (wall medians
//             and their ratios)
//   reach     SSD only: one full pass on one thread with and without the
//             empty-space reach of the blocks (thread CPU, alternating)
//   tiles     the complete image on one thread with the background pass's
//             CPU time per tile; from those, the background pass on 2, 8
//             and 16 cores by handing tiles out in order to the first
//             free core, as the pool does
// Every case reports median_ms over its iterations (wall time) and cpu_ms
// (CPU time of all threads), which other load on the machine skews less.
// --threads N runs every case on a pool of N threads (default: the cores).
// --large runs instead a whole-body sized synthetic CT, 512 x 512 x 1000
// (500 MB of values; about 1.3 GB in all): first picture, complete images
// and drag frames at 512, and "memory", the plug-in's own bytes per voxel.
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
#include <cmath>
#include <cstdlib>
#include <ctime>
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
// Pool size of the renderers (--threads), 0 for the machine's.
int g_threads = 0;
bool g_large = false;

std::map<std::string, CTBlock>& datasets() {
    static std::map<std::string, CTBlock> sets = [] {
        std::map<std::string, CTBlock> s;
        if (g_large) {
            CTBlock body;
            body.sizeX = 512, body.sizeY = 512, body.sizeZ = 1000;
            body.spacingX = 0.7f, body.spacingY = 0.7f, body.spacingZ = 1.0f;
            body.values = makeSyntheticCT(512, 512, 1000);
            s["synthetic1000"] = std::move(body);
            return s;
        }
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
    if (!s) s = std::make_unique<RenderScene>(datasets()[name], true, g_threads);
    return *s;
}

double milliseconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void reportMedian(benchmark::State& state, std::vector<double>& times) {
    if (times.empty()) return;
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["min_ms"] = times.front();
}

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Times `work` per iteration; `prepare` runs untimed before each.
void timeFrames(benchmark::State& state, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> times, cpu;
    for (auto _ : state) {
        prepare();
        const double cpuStart = processCpuMs();
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        cpu.push_back(processCpuMs() - cpuStart);
        state.SetIterationTime(milliseconds(start, end) / 1e3);
        times.push_back(milliseconds(start, end));
    }
    reportMedian(state, times);
    state.counters["cpu_ms"] = median(cpu);
}

// Finishing time of tiles handed out in index order, each to the core that
// becomes free first.
double makespan(const std::vector<double>& tiles, int cores) {
    std::vector<double> freeAt(size_t(cores), 0.0);
    for (double t : tiles) {
        auto first = std::min_element(freeAt.begin(), freeAt.end());
        *first += t;
    }
    return *std::max_element(freeAt.begin(), freeAt.end());
}

enum class Case { Coarse, Drag, DragSequence, Complete, Full, First, Threads, Tiles, Memory, Reach };

// What the plug-in keeps per volume besides the host's values: the mask,
// the row tables of values and mask, the blocks and their reach; and per
// view: the workspace and the shaded renderer's shade array.
void reportMemory(benchmark::State& state, const RenderScene& s) {
    const double nx = s.volume.sizeX, ny = s.volume.sizeY, nz = s.volume.sizeZ;
    const double voxels = nx * ny * nz;
    const double blocks = std::ceil(nx / 8) * std::ceil(ny / 8) * std::ceil(nz / 8);
    const double perVolume = voxels + 2 * ny * nz * sizeof(void*) + 2 * nz * sizeof(void*) + blocks * 3;
    const double wide = RenderWorkspace::kWideCount, narrow = RenderWorkspace::kCount;
    const double perView = wide * (4 + 4 + 4) + narrow * (4 * 12 + 4 * 2 + 4 * 6) + wide * 4;
    for (auto _ : state) state.SetIterationTime(1e-6);
    state.counters["volume_bytes_per_voxel"] = perVolume / voxels;
    state.counters["view_mb"] = perView / 1048576.0;
    state.counters["all_bytes_per_voxel"] = (perVolume + perView) / voxels;
    state.counters["host_values_bytes_per_voxel"] = 2;
}

void runCase(benchmark::State& state, const std::string& data, int mode, int size, Case kind) {
    if (kind == Case::First) {
        std::vector<double> times;
        std::vector<double> viewTimes;
        for (auto _ : state) {
            // From the window's view being made: its arrays are part of the
            // wait for the first picture.
            const auto start = std::chrono::steady_clock::now();
            auto fresh = std::make_unique<RenderScene>(datasets()[data], false, g_threads);
            viewTimes.push_back(milliseconds(start, std::chrono::steady_clock::now()));
            fresh->setSize(size);
            fresh->view.setRenderMode(mode);
            fresh->loadVolume();
            fresh->renderOnce(0, 1, false, 1);
            const auto end = std::chrono::steady_clock::now();
            state.SetIterationTime(milliseconds(start, end) / 1e3);
            times.push_back(milliseconds(start, end));
        }
        reportMedian(state, times);
        std::sort(viewTimes.begin(), viewTimes.end());
        state.counters["view_ms"] = viewTimes[viewTimes.size() / 2];
        return;
    }
    RenderScene& s = scene(data);
    if (kind == Case::Memory) {
        reportMemory(state, s);
        return;
    }
    s.view.stopRenderers();
    s.setSize(size);
    s.view.setRenderMode(mode);
    auto quiet = [&s] { s.view.stopRenderers(); };
    auto complete = [&s] {
        s.renderOnce(0, 1, false, 4);
        s.waitForBackgroundPass();
    };
    auto wallOf = [](const std::function<void()>& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        return milliseconds(start, std::chrono::steady_clock::now());
    };
    if (kind == Case::Threads) {
        std::vector<double> complete1, complete2, drag1, drag2, total;
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            for (int threads : {1, 2}) {
                s.usePool(threads);
                s.view.setRenderMode(mode);
                (threads == 1 ? complete1 : complete2).push_back(wallOf(complete));
                quiet();
                (threads == 1 ? drag1 : drag2).push_back(wallOf([&s] { s.renderOnce(1, 2, true, 4); }));
                quiet();
            }
            total.push_back(milliseconds(start, std::chrono::steady_clock::now()));
            state.SetIterationTime(total.back() / 1e3);
        }
        s.usePool(g_threads);
        state.counters["complete_1t_ms"] = median(complete1);
        state.counters["complete_2t_ms"] = median(complete2);
        state.counters["complete_speedup"] = median(complete1) / median(complete2);
        state.counters["drag_1t_ms"] = median(drag1);
        state.counters["drag_2t_ms"] = median(drag2);
        state.counters["drag_speedup"] = median(drag1) / median(drag2);
        return;
    }
    if (kind == Case::Reach) {
        // One full pass on one thread with the empty-space reach of the
        // blocks and without (cell by cell), alternating: thread CPU times.
        std::vector<double> with, without;
        s.usePool(1);
        s.view.setRenderMode(mode);
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            for (int pass = 0; pass < 2; ++pass) {
                if (pass == 0) s.volume.updateBlocks();
                else s.volume.blocks.clear();
                quiet();
                const double cpuStart = processCpuMs();
                s.renderOnce(0, 1, false, 1);
                (pass == 0 ? with : without).push_back(processCpuMs() - cpuStart);
            }
            state.SetIterationTime(milliseconds(start, std::chrono::steady_clock::now()) / 1e3);
        }
        s.volume.updateBlocks();
        s.usePool(g_threads);
        state.counters["reach_cpu_ms"] = median(with);
        state.counters["cells_cpu_ms"] = median(without);
        state.counters["reach_min_ms"] = *std::min_element(with.begin(), with.end());
        state.counters["cells_min_ms"] = *std::min_element(without.begin(), without.end());
        state.counters["speedup"] = median(without) / median(with);
        return;
    }
    if (kind == Case::Tiles) {
        std::vector<double> foreground, background, cores2, cores8, cores16;
        std::vector<double> tiles;
        s.usePool(1);
        s.view.setRenderMode(mode);
        for (auto _ : state) {
            quiet();
            s.view.currentRenderer()->tileCostLog = &tiles;
            const double cpuStart = processCpuMs();
            const auto start = std::chrono::steady_clock::now();
            s.renderOnce(0, 1, false, 4);
            foreground.push_back(processCpuMs() - cpuStart);
            s.waitForBackgroundPass();
            state.SetIterationTime(milliseconds(start, std::chrono::steady_clock::now()) / 1e3);
            s.view.currentRenderer()->tileCostLog = nullptr;
            background.push_back(makespan(tiles, 1) / 1e3);
            cores2.push_back(makespan(tiles, 2) / 1e3);
            cores8.push_back(makespan(tiles, 8) / 1e3);
            cores16.push_back(makespan(tiles, 16) / 1e3);
        }
        s.usePool(g_threads);
        // The foreground splits its rows the same way; modelled as evenly.
        const double fg = median(foreground), bg = median(background);
        state.counters["tiles"] = double(tiles.size());
        state.counters["fg_cpu_ms"] = fg;
        state.counters["bg_cpu_ms"] = bg;
        state.counters["complete_1c_ms"] = fg + bg;
        state.counters["complete_2c_ms"] = fg / 2 + median(cores2);
        state.counters["complete_8c_ms"] = fg / 8 + median(cores8);
        state.counters["complete_16c_ms"] = fg / 16 + median(cores16);
        return;
    }
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
    case Case::Threads:
    case Case::Tiles:
    case Case::Memory:
    case Case::Reach:
        break;
    }
    s.view.stopRenderers();
}

void registerAll() {
    const std::pair<const char*, Case> cases[] = {
        {"coarse", Case::Coarse}, {"drag", Case::Drag}, {"drag_seq", Case::DragSequence},
        {"complete", Case::Complete}, {"full", Case::Full}, {"first", Case::First},
        {"threads", Case::Threads},   {"tiles", Case::Tiles},       {"reach", Case::Reach}};
    if (g_large) {
        const std::string data = datasets().begin()->first;
        auto add = [&](const std::string& name, int mode, Case kind, int iterations) {
            auto* b = benchmark::RegisterBenchmark(("render/" + data + "/" + name).c_str(),
                                                   [=](benchmark::State& state) { runCase(state, data, mode, 512, kind); });
            b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(iterations);
        };
        add("memory", 0, Case::Memory, 1);
        add("ssd/512/first", 0, Case::First, 2);
        for (int mode = 0; mode < 2; ++mode) {
            add(std::string(kModeNames[mode]) + "/512/drag", mode, Case::Drag, 9);
            add(std::string(kModeNames[mode]) + "/512/complete", mode, Case::Complete, 3);
        }
        return;
    }
    for (const auto& entry : datasets()) {
        const std::string data = entry.first;
        for (int mode = 0; mode < 2; ++mode)
            for (int size : {256, 512})
                for (const auto& c : cases) {
                    if ((c.second == Case::First || c.second == Case::Reach) && mode != 0) continue;
                    const std::string name =
                        "render/" + data + "/" + kModeNames[mode] + "/" + std::to_string(size) + "/" + c.first;
                    const Case kind = c.second;
                    auto* b = benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                        runCase(state, data, mode, size, kind);
                    });
                    b->UseManualTime()->Unit(benchmark::kMillisecond);
                    const bool slow = kind == Case::Complete || kind == Case::Full || kind == Case::Threads ||
                                      kind == Case::Tiles || kind == Case::Reach;
                    b->Iterations(kind == Case::First ? 5 : slow ? 9 : 25);
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
    // --threads N: taken out before the benchmark library sees the arguments.
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") != 0) continue;
        g_threads = std::max(0, std::atoi(argv[i + 1]));
        for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
        argc -= 2;
        break;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--large") != 0) continue;
        g_large = true;
        for (int j = i; j + 1 <= argc; ++j) argv[j] = argv[j + 1];
        argc -= 1;
        break;
    }
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
