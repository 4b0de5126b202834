// What makes renders faster must not change them: renders split over
// several threads equal renders on one thread bit for bit (every workspace
// array, the shade array and the image), and surface rays that leap through
// empty blocks stop where the cell-by-cell walk stops, with the same steps
// and distances; on random volumes, cameras, cut planes, hidden regions,
// steps and renderers.
#include "ViewFixture.h"
#include "render/CMIP.h"
#include "render/COPQ.h"
#include "render/BoxTests.h"
#include "render/CSSD.h"
#include "render/RenderPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace v3d;

namespace {

// A renderer whose background pass can be held off, so that a frame's
// foreground result can be compared on its own, and that starts its pass
// only once let go: the frame's own colour pass then reads no pixel the
// background pass writes.
template <class Base>
class Holdable : public Base {
public:
    using Base::Base;
    int refineRemaining() override {
        while (!letGo && !this->abortRequested) std::this_thread::sleep_for(std::chrono::microseconds(200));
        return holdBackground ? 1 : Base::refineRemaining();
    }
    bool holdBackground = false;
    std::atomic<bool> letGo{true};
};

void letGo(CRaycaster* renderer, bool go) {
    if (auto* r = dynamic_cast<Holdable<CSSD>*>(renderer)) r->letGo = go;
    if (auto* r = dynamic_cast<Holdable<CMIP>*>(renderer)) r->letGo = go;
}

std::unique_ptr<CRaycaster> makeHoldable(int mode, ViewCore& v) {
    const uint8_t* table = &v.m_shadeTable[0][0];
    if (mode == RENDER_MIP) return std::make_unique<Holdable<CMIP>>(v, *v.m_pVolume, *v.m_pCamera, *v.m_workspace, table);
    if (mode == RENDER_OPQ) return std::make_unique<Holdable<COPQ>>(v, *v.m_pVolume, *v.m_pCamera, *v.m_workspace, table);
    return std::make_unique<Holdable<CSSD>>(v, *v.m_pVolume, *v.m_pCamera, *v.m_workspace, table);
}

// Balls of random densities in noisy air, some slices thick, a random
// isovalue and sometimes a hidden box (as a segmentation leaves it: hidden
// voxels marked).
struct RandomVolume {
    std::vector<uint16_t> voxels;
    CVolume volume;

    explicit RandomVolume(std::mt19937& rng) {
        auto uniform = [&rng](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        auto integer = [&rng](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };
        const int nx = integer(20, 60), ny = integer(20, 60), nz = integer(12, 60);
        voxels.assign(size_t(nx) * size_t(ny) * size_t(nz), 0);
        for (uint16_t& v : voxels) v = static_cast<uint16_t>(integer(0, 80));
        const int balls = integer(1, 6);
        for (int b = 0; b < balls; ++b) {
            const float cx = uniform(0, float(nx)), cy = uniform(0, float(ny)), cz = uniform(0, float(nz));
            const float r = uniform(2, 18);
            const int density = integer(300, 3000);
            for (int z = 0; z < nz; ++z)
                for (int y = 0; y < ny; ++y)
                    for (int x = 0; x < nx; ++x) {
                        const float d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz);
                        if (d2 < r * r) voxels[(size_t(z) * size_t(ny) + size_t(y)) * size_t(nx) + size_t(x)] =
                            static_cast<uint16_t>(density + integer(-100, 100));
                    }
        }
        const float sz = integer(0, 2) == 0 ? uniform(1.5f, 4.0f) : 1.0f;
        volume.build(nx, ny, nz, voxels.data(), nullptr, 0.8f, 0.8f, sz, Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0),
                     Vec3(0, 0, 1));
        volume.classify(0, 4095, -1024.0f, 1.0f);
        volume.setIsoValue(integer(-900, 1500));
        volume.setWindowLevel(integer(-500, 1500), integer(1, 3000));
        if (integer(0, 1) == 0) {
            const int x0 = integer(0, nx - 1), y0 = integer(0, ny - 1), z0 = integer(0, nz - 1);
            const int x1 = integer(x0, nx - 1), y1 = integer(y0, ny - 1), z1 = integer(z0, nz - 1);
            for (int z = z0; z <= z1; ++z)
                for (int y = y0; y <= y1; ++y)
                    for (int x = x0; x <= x1; ++x)
                        volume.cellMask[z][y][x] = static_cast<uint8_t>((volume.cellMask[z][y][x] & 0x3F) | 0x40);
        }
    }
};

struct RandomScene {
    std::mt19937 rng;
    RandomVolume data;
    Camera camera{75.0f};
    SeriesState frame;
    RecordingViewServices services;
    TestView view;

    explicit RandomScene(unsigned seed) : rng(seed), data(rng) {
        frame.m_bHasSeries = 1;
        frame.m_bAllLoaded = true;
        view.bind(&frame, &camera, &data.volume, makeHoldable, services);
        view.applyReferenceFrame(0);
        auto uniform = [this](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        camera.perspective = uniform(0, 1) < 0.4f;
        if (!camera.perspective) camera.setZoom(uniform(0.01f, 0.04f));
        camera.orbit(AXIS_FIRST, uniform(-180, 180), data.volume.center(), true);
        camera.orbit(AXIS_SECOND, uniform(-90, 90), data.volume.center(), true);
        camera.updateCornerRays();
        if (uniform(0, 1) < 0.5f) {
            const Vec3 c = data.volume.halfSize();
            const Vec3 n = normalised(Vec3(uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)) + Vec3(0.01f, 0, 0));
            view.changePlanes().add(data.volume, c, c + Vec3(uniform(-5, 5), uniform(-5, 5), 0), n);
        }
        view.m_prefs.shadowsPar = uniform(0, 1) < 0.5f;
    }
    ~RandomScene() { view.stopRenderers(); }

    void setPool(RenderPool& pool) {
        for (int mode : {RENDER_SSD, RENDER_MIP, RENDER_OPQ}) {
            view.setRenderMode(mode);
            view.currentRenderer()->pool = &pool;
        }
    }
};

// Everything a render leaves behind within the image and the neighbours
// the refinement reads past it, as bytes.
struct Result {
    std::vector<uint8_t> bytes;
    template <class T>
    void add(const T& item) {
        const auto* p = reinterpret_cast<const uint8_t*>(&item);
        bytes.insert(bytes.end(), p, p + sizeof(T));
    }
};

Result capture(RandomScene& s) {
    const RenderWorkspace& ws = *s.view.m_workspace;
    const int size = s.view.m_iImageWidth;
    const int margin = std::min(RenderWorkspace::kWide, size + 64);
    const float* shade =
        s.view.m_iRenderMode == RENDER_SSD ? static_cast<CSSD*>(s.view.currentRenderer())->shade.get() : nullptr;
    Result r;
    r.bytes.reserve(size_t(margin) * size_t(margin) * 16 + size_t(size) * size_t(size) * 96);
    for (int x = 0; x < margin; ++x)
        for (int y = 0; y < margin; ++y) {
            const int w = RenderWorkspace::wide(x, y);
            r.add(ws.depth[w]);
            r.add(ws.value[w]);
            r.add(ws.done[w]);
            if (shade) r.add(shade[w]);
        }
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y) {
            const int i = RenderWorkspace::index(x, y);
            r.add(ws.rayDir[i]);
            r.add(ws.rayStart[i]);
            r.add(ws.entryPoint[i]);
            r.add(ws.exitPoint[i]);
            r.add(ws.entryDistance[i]);
            r.add(ws.exitDistance[i]);
            r.add(ws.entrySurface[i]);
            r.add(ws.stepCount[i]);
            r.add(ws.sampleCount[i]);
            r.add(ws.hitKind[i]);
            r.add(ws.selectedPlaneDistance[i]);
        }
    const uint8_t* image = s.view.imageBits();
    for (int y = 0; y < size; ++y)
        r.bytes.insert(r.bytes.end(), image + size_t(y) * ViewCore::kRowBytes, image + size_t(y) * ViewCore::kRowBytes + size_t(size) * 3);
    return r;
}

// Where two results first differ, for the failure message.
size_t firstDifference(const Result& a, const Result& b) {
    const size_t n = std::min(a.bytes.size(), b.bytes.size());
    for (size_t i = 0; i < n; ++i)
        if (a.bytes[i] != b.bytes[i]) return i;
    return n;
}

void waitForBackground(RandomScene& s) {
    while (s.view.currentRenderer()->busyCount > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

struct Frame {
    int mode;
    int size;
    int coarse;
    int limit;
    bool background;  // false: the foreground alone, refinement stopped at step 2
};

Result renderFrame(RandomScene& s, RenderPool& pool, const Frame& f) {
    s.setPool(pool);
    s.view.setRenderMode(f.mode);
    auto* renderer = s.view.currentRenderer();
    s.view.m_workspace->resetWide();
    if (f.mode == RENDER_SSD) std::fill_n(static_cast<CSSD*>(renderer)->shade.get(), RenderWorkspace::kWideCount, 0.0f);
    std::fill_n(s.view.m_imageBits.begin(), s.view.m_imageBits.size(), uint8_t(0));
    if (f.mode == RENDER_SSD) static_cast<Holdable<CSSD>*>(renderer)->holdBackground = !f.background;
    if (f.mode == RENDER_MIP) static_cast<Holdable<CMIP>*>(renderer)->holdBackground = !f.background;
    s.view.m_iImageWidth = s.view.m_iImageHeight = f.size;
    s.view.m_iCoarseStep = f.coarse;
    s.view.m_iInterpolationLimit = f.limit;
    s.view.m_iDragMode = f.background ? DRAG_NONE : DRAG_ORBIT;
    s.view.mouseWaiting = !f.background;
    letGo(renderer, false);
    s.view.requestRender(true);
    s.view.renderFrame();
    letGo(renderer, true);
    waitForBackground(s);
    s.view.composeImage();
    return capture(s);
}

TEST(ParallelRender, ManyThreadsEqualOneThreadOnRandomScenes) {
    RenderPool one(1), many(4);
    ASSERT_EQ(many.threads(), 4);
    const Frame frames[] = {
        {RENDER_SSD, 200, 4, 1, true},  {RENDER_SSD, 160, 8, 4, true}, {RENDER_SSD, 256, 4, 1, false},
        {RENDER_SSD, 96, 1, 1, true},   {RENDER_MIP, 200, 4, 1, true}, {RENDER_MIP, 160, 8, 8, true},
        {RENDER_MIP, 256, 4, 1, false}, {RENDER_OPQ, 200, 1, 1, true},
    };
    int compared = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        RandomScene scene(seed);
        for (const Frame& f : frames) {
            const Result a = renderFrame(scene, one, f);
            const Result b = renderFrame(scene, many, f);
            ASSERT_EQ(a.bytes.size(), b.bytes.size());
            ASSERT_TRUE(a.bytes == b.bytes) << "seed " << seed << " mode " << f.mode << " size " << f.size << " coarse "
                                            << f.coarse << " background " << f.background << ": first difference at byte "
                                            << firstDifference(a, b);
            ++compared;
        }
    }
    EXPECT_EQ(compared, 6 * 8);
}

// The background pass finished on the pool is exact: every pixel equals a
// single-pixel cast on the view's thread.
TEST(ParallelRender, PooledBackgroundPassEqualsSinglePixelCasts) {
    RenderPool many(4);
    for (unsigned seed = 11; seed <= 13; ++seed) {
        RandomScene scene(seed);
        for (int mode : {RENDER_SSD, RENDER_MIP}) {
            const Result pooled = renderFrame(scene, many, {mode, 128, 4, 1, true});
            const RenderWorkspace& ws = *scene.view.m_workspace;
            std::vector<float> depth;
            std::vector<int> value;
            for (int x = 0; x < 128; ++x)
                for (int y = 0; y < 128; ++y) {
                    depth.push_back(ws.depth[RenderWorkspace::wide(x, y)]);
                    value.push_back(ws.value[RenderWorkspace::wide(x, y)]);
                }
            size_t n = 0;
            for (int x = 0; x < 128; ++x)
                for (int y = 0; y < 128; ++y, ++n) {
                    ASSERT_TRUE(scene.view.currentRenderer()->retraceWhenIdle(x, y));
                    ASSERT_NEAR(ws.depth[RenderWorkspace::wide(x, y)], depth[n], 1e-3f) << seed << " " << mode << " " << x << "," << y;
                    ASSERT_EQ(ws.value[RenderWorkspace::wide(x, y)], value[n]) << seed << " " << mode << " " << x << "," << y;
                }
        }
    }
}

// Stopping a pooled background pass returns promptly, leaves no pass
// running and does not repaint; a later frame completes normally.
TEST(ParallelRender, StoppedPooledPassDoesNotRepaint) {
    RenderPool many(4);
    RandomScene scene(21);
    scene.setPool(many);
    scene.view.setRenderMode(RENDER_MIP);
    // render itself, without the colour pass, which may read pixels while
    // the background pass writes them.
    for (int i = 0; i < 20; ++i) {
        scene.view.currentRenderer()->render(256, 256, 8, 1, nullptr);
        scene.view.currentRenderer()->stopBackgroundPass();
        EXPECT_EQ(scene.view.currentRenderer()->busyCount, 0);
    }
    const int before = scene.view.workerInvalidations;
    scene.view.currentRenderer()->render(256, 256, 8, 1, nullptr);
    waitForBackground(scene);
    EXPECT_EQ(scene.view.currentRenderer()->currentStep, 1);
    EXPECT_EQ(scene.view.workerInvalidations, before + 1);
    EXPECT_LE(before, 20);
}

// The surface search with the empty-block reach against the cell-by-cell
// walk (no blocks), every pixel cast exactly.
TEST(EmptySpaceReach, SurfaceRaysStopInTheSameCellWithTheSameStepsAndDistances) {
    RenderPool many(4);
    int leaps = 0;
    for (unsigned seed = 31; seed <= 42; ++seed) {
        RandomScene scene(seed);
        CVolume& volume = scene.data.volume;
        const Frame frame{RENDER_SSD, 160, 1, 1, true};
        ASSERT_TRUE(volume.hasIsoReach());
        const Result leaping = renderFrame(scene, many, frame);
        for (int x = 0; x < 160; ++x)
            for (int y = 0; y < 160; ++y) {
                const int i = RenderWorkspace::index(x, y);
                const Vec3 start = scene.view.m_workspace->entryPoint[i];
                if (scene.view.m_workspace->entryDistance[i] >= 0.0f && inside(volume, start) && volume.isoReach(start) > 0)
                    ++leaps;
            }
        volume.blocks.clear();
        ASSERT_FALSE(volume.hasIsoReach());
        const Result walking = renderFrame(scene, many, frame);
        ASSERT_TRUE(leaping.bytes == walking.bytes) << "seed " << seed << ": first difference at byte "
                                                    << firstDifference(leaping, walking);
        volume.updateBlocks();
        ASSERT_TRUE(volume.hasIsoReach());
        // A new isovalue brings a new reach.
        volume.setIsoValue(volume.storedToHU(volume.isoStored) + 150);
        const Result leapingHigher = renderFrame(scene, many, frame);
        volume.blocks.clear();
        const Result walkingHigher = renderFrame(scene, many, frame);
        ASSERT_TRUE(leapingHigher.bytes == walkingHigher.bytes) << "seed " << seed << " at the higher isovalue";
    }
    EXPECT_GT(leaps, 1000) << "rays start in empty blocks";
}

// The reach against a brute-force Chebyshev distance on random block grids.
TEST(EmptySpaceReach, ReachIsTheChebyshevDistanceToTheNearestBlockAtTheLimit) {
    std::mt19937 rng(5);
    for (int round = 0; round < 20; ++round) {
        const int nx = 8 * std::uniform_int_distribution<int>(1, 9)(rng) + 3;
        const int ny = 8 * std::uniform_int_distribution<int>(1, 9)(rng);
        const int nz = 8 * std::uniform_int_distribution<int>(1, 6)(rng) + 5;
        std::vector<uint16_t> values(size_t(nx) * size_t(ny) * size_t(nz), 10);
        const int spots = std::uniform_int_distribution<int>(0, 4)(rng);
        for (int s = 0; s < spots; ++s) values[std::uniform_int_distribution<size_t>(0, values.size() - 1)(rng)] = 500;
        std::vector<uint16_t*> rowTable(static_cast<size_t>(ny) * static_cast<size_t>(nz));
        std::vector<uint16_t**> sliceTable(static_cast<size_t>(nz));
        for (int z = 0; z < nz; ++z) {
            sliceTable[size_t(z)] = &rowTable[size_t(z) * size_t(ny)];
            for (int y = 0; y < ny; ++y) rowTable[size_t(z) * size_t(ny) + size_t(y)] = &values[(size_t(z) * size_t(ny) + size_t(y)) * size_t(nx)];
        }
        EmptySpaceBlocks blocks;
        blocks.build(sliceTable.data(), nx, ny, nz);
        blocks.setReachLimit(100);
        const int bx = (nx + 7) / 8, by = (ny + 7) / 8, bz = (nz + 7) / 8;
        for (int z = 0; z < bz; ++z)
            for (int y = 0; y < by; ++y)
                for (int x = 0; x < bx; ++x) {
                    int expected = EmptySpaceBlocks::kMaxReach;
                    for (int c = 0; c < bz; ++c)
                        for (int b = 0; b < by; ++b)
                            for (int a = 0; a < bx; ++a)
                                if (blocks.valueMax(8 * a, 8 * b, 8 * c) >= 100)
                                    expected = std::min(expected, std::max({std::abs(a - x), std::abs(b - y), std::abs(c - z)}));
                    ASSERT_EQ(blocks.reach(8 * x, 8 * y, 8 * z), expected) << round << ": " << x << " " << y << " " << z;
                }
    }
}

// Positions reached by repeated adds stay inside the cube the reach allows.
TEST(EmptySpaceReach, StepsStayInsideTheReach) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int longRuns = 0;
    for (int n = 0; n < 20000; ++n) {
        Vec3 dir(unit(rng), unit(rng), unit(rng));
        if (n % 7 == 0) dir.y = 0.0f;
        if (n % 11 == 0) dir = Vec3(1e-7f, unit(rng), 1.0f);
        if (length(dir) < 1e-3f) continue;
        dir = normalised(dir);
        const float scale = n % 3 == 0 ? 2000.0f : 500.0f;
        Vec3 p(std::fabs(unit(rng)) * scale, std::fabs(unit(rng)) * scale, std::fabs(unit(rng)) * scale);
        const int reach = std::uniform_int_distribution<int>(1, 40)(rng);
        const int steps = EmptySpaceBlocks::stepsInsideReach(p, dir, EmptySpaceBlocks::inverseOf(dir), reach);
        ASSERT_LE(steps, EmptySpaceBlocks::kMaxRun);
        if (steps > 100) ++longRuns;
        const int block[3] = {int(p.x) / 8, int(p.y) / 8, int(p.z) / 8};
        for (int s = 0; s < steps; ++s) {
            const int at[3] = {int(p.x) / 8, int(p.y) / 8, int(p.z) / 8};
            for (int a = 0; a < 3; ++a)
                ASSERT_LT(std::abs(at[a] - block[a]), reach) << n << " step " << s << " axis " << a;
            p += dir;
        }
    }
    EXPECT_GT(longRuns, 1000);
}

TEST(RenderPoolTest, RunsEveryTileOnceFromSeveralCallersAtOnce) {
    RenderPool pool(3);
    std::vector<std::atomic<int>> hits(4 * 1000);
    std::vector<std::thread> callers;
    for (int c = 0; c < 4; ++c)
        callers.emplace_back([&, c] { pool.run(1000, [&](int t) { ++hits[size_t(c * 1000 + t)]; }); });
    for (std::thread& t : callers) t.join();
    for (size_t i = 0; i < hits.size(); ++i) ASSERT_EQ(hits[i], 1) << i;
    RenderPool single(1);
    int sum = 0;
    single.run(10, [&](int t) { sum += t; });
    EXPECT_EQ(sum, 45);
}

}  // namespace
