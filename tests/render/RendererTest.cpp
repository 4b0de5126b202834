// The three renderers on a synthetic ball: surfaces lie on the iso-surface,
// maxima are the true maxima, entry samples are the entry samples, misses
// are black, and the background pass converges to exact casts.
#include "ViewFixture.h"
#include "render/CMIP.h"
#include "render/CSSD.h"


#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>
#include <thread>

using namespace v3d;

namespace {

constexpr int kSize = 96;

class Renderers : public ::testing::Test {
protected:
    void SetUp() override {
        fixture = std::make_unique<ViewFixture>();
        view().m_iImageWidth = view().m_iImageHeight = kSize;
        fixture->camera.setZoom(0.02f);  // a close parallel view: the ball fills much of the image
    }
    TestView& view() { return fixture->view; }
    const RenderWorkspace& ws() { return *view().m_workspace; }
    const CVolume& volume() { return fixture->ball.volume; }
    void renderExact(int mode) {
        view().setRenderMode(mode);
        view().currentRenderer()->render(kSize, kSize, 1, 1, nullptr);
    }
    void waitForWorker() {
        while (view().currentRenderer()->busyCount > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Calls check(x, y, w, i) for every pixel whose ray found a surface
    // past its entry; answers how many.
    template <typename Check>
    int forEachSurfaceHit(const Check& check) {
        int hits = 0;
        for (int x = 0; x < kSize; ++x)
            for (int y = 0; y < kSize; ++y) {
                const int w = RenderWorkspace::wide(x, y), i = RenderWorkspace::index(x, y);
                if (ws().depth[w] < 0.0f || ws().value[w] == RenderWorkspace::kNoValue || ws().done[w] == 2) continue;
                ++hits;
                check(x, y, w, i);
            }
        return hits;
    }
    std::unique_ptr<ViewFixture> fixture;
};

TEST_F(Renderers, SurfaceHitsLieOnTheIsoSurfaceWithNoEarlierCrossing) {
    renderExact(RENDER_SSD);
    const float iso = volume().isoStored;
    const int hits = forEachSurfaceHit([&](int x, int y, int w, int i) {
        const Vec3 hit = ws().rayStart[i] + ws().rayDir[i] * ws().depth[w];
        const float v = volume().sampleTrilinear(hit);
        // The search steps a fifth of a cell: the sample at the stop may pass the threshold by that much.
        EXPECT_GE(v, iso - 1.0f) << x << "," << y;
        EXPECT_LE(v, iso + 0.25f * 2024.0f) << x << "," << y;
        for (float t = ws().entryDistance[i]; t < ws().depth[w] - 0.5f; t += 0.25f)
            ASSERT_LT(volume().sampleTrilinear(ws().rayStart[i] + ws().rayDir[i] * t), iso + 1.0f)
                << "earlier crossing at " << t << " on " << x << "," << y;
    });
    EXPECT_GT(hits, kSize * kSize / 8) << "the ball is in view";
}

TEST_F(Renderers, RecordedSurfaceDepthPointsAtTheHitSample) {
    // An oblique view: rays enter the surface cells at every fraction, so
    // some find their crossing behind the point where they entered the cell.
    const Vec3 c = volume().center();
    fixture->camera.orbit(AXIS_FIRST, 23.0f, c, true);
    fixture->camera.orbit(AXIS_SECOND, 11.0f, c, true);
    fixture->camera.position += fixture->camera.view * 0.37f;
    fixture->camera.updateCornerRays();
    renderExact(RENDER_SSD);
    const int hits = forEachSurfaceHit([&](int x, int y, int w, int i) {
        // The value is sampled at the hit point; the depth must lead there.
        const Vec3 atDepth = ws().rayStart[i] + ws().rayDir[i] * ws().depth[w];
        EXPECT_NEAR(volume().sampleTrilinear(atDepth), static_cast<float>(ws().value[w]), 2.0f) << x << "," << y;
    });
    EXPECT_GT(hits, kSize * kSize / 8);
}

// The same ray through the same physical box, sampled at 1 mm and with
// 5 mm slices: the fade depends on where the ray is, not on the voxels.
TEST(SurfaceFade, ThickSlicesFadeLikeThinOnes) {
    auto volumeOf = [](int slices, float spacingZ, std::vector<uint16_t>& voxels) {
        auto v = std::make_unique<CVolume>();
        voxels.assign(size_t(40) * 40 * size_t(slices), 0);
        v->build(40, 40, slices, voxels.data(), nullptr, 1.0f, 1.0f, spacingZ, Vec3(0, 0, 0), Vec3(1, 0, 0),
                 Vec3(0, 1, 0), Vec3(0, 0, 1));
        return v;
    };
    std::vector<uint16_t> thinVoxels, thickVoxels;
    const auto thin = volumeOf(40, 1.0f, thinVoxels);
    const auto thick = volumeOf(8, 5.0f, thickVoxels);
    ASSERT_EQ(thin->extent, thick->extent);
    const Vec3 origin(-30.0f, 12.0f, 25.0f);  // volume space, outside the box
    const Vec3 direction = normalised(Vec3(1.0f, 0.3f, -0.2f));
    for (bool perspective : {true, false}) {
        for (float travel : {20.0f, 45.0f, 70.0f}) {
            float fade[2];
            int n = 0;
            for (const CVolume* v : {thin.get(), thick.get()}) {
                const Vec3 o = v->inverseAxisMatrix * origin;
                const Vec3 step = v->inverseAxisMatrix * (direction * travel);
                fade[n++] = CSSD::depthFade(*v, perspective, o, normalised(step), length(step));
            }
            EXPECT_NEAR(fade[0], fade[1], 1e-4f) << "travel " << travel << (perspective ? " perspective" : " parallel");
            EXPECT_LT(fade[0], 1.0f);
        }
    }
}

TEST_F(Renderers, FullRangeMipIsTheBruteForceMaximum) {
    view().m_bFullRange = true;
    renderExact(RENDER_MIP);
    int rays = 0;
    for (int x = 0; x < kSize; x += 3)
        for (int y = 0; y < kSize; y += 3) {
            const int w = RenderWorkspace::wide(x, y), i = RenderWorkspace::index(x, y);
            if (ws().entryDistance[i] < 0.0f) continue;
            int best = -1;
            Vec3 p = ws().entryPoint[i];
            for (float d = ws().entryDistance[i]; d < ws().exitDistance[i]; d += 1.0f, p += ws().rayDir[i])
                best = std::max(best, static_cast<int>(volume().sampleTrilinear(p)));
            // An all-air ray takes the sample at the origin instead.
            if (best <= 0) continue;
            ++rays;
            EXPECT_EQ(ws().value[w], best) << x << "," << y;
        }
    EXPECT_GT(rays, 50);
}

TEST_F(Renderers, OpaqueShowsTheEntrySampleAtAnyCoarseStep) {
    view().setRenderMode(RENDER_OPQ);
    view().currentRenderer()->render(kSize, kSize, 1, 1, nullptr);
    std::vector<int> exact(kSize * kSize);
    for (int x = 0; x < kSize; ++x)
        for (int y = 0; y < kSize; ++y) {
            const int i = RenderWorkspace::index(x, y), w = RenderWorkspace::wide(x, y);
            exact[static_cast<size_t>(x * kSize + y)] = ws().value[w];
            if (ws().entryDistance[i] < 0.0f) continue;
            EXPECT_EQ(ws().value[w], static_cast<int>(volume().sampleTrilinear(ws().entryPoint[i])));
        }
    view().currentRenderer()->render(kSize, kSize, 8, 1, nullptr);
    for (int x = 0; x < kSize; ++x)
        for (int y = 0; y < kSize; ++y)
            ASSERT_EQ(ws().value[RenderWorkspace::wide(x, y)], exact[static_cast<size_t>(x * kSize + y)]);
}

TEST_F(Renderers, RayThatMissesIsBlackInEveryMode) {
    // Look away from the volume: every ray misses.
    fixture->camera.setPosition(fixture->camera.position - fixture->camera.view * 500.0f);
    fixture->camera.lookAlong(negate(fixture->camera.homeView));
    for (int mode : {RENDER_SSD, RENDER_MIP, RENDER_OPQ}) {
        renderExact(mode);
        view().renderForExport(kSize, kSize, nullptr);
        uint8_t r, g, b;
        for (int x = 0; x < kSize; x += 7)
            for (int y = 0; y < kSize; y += 7) {
                view().getPixel(x, y, r, g, b);
                ASSERT_EQ(r + g + b, 0) << "mode " << mode << " at " << x << "," << y;
            }
    }
}

// Shaded surface that marks each refined pixel before deciding it: a cast
// rewrites the mark, an interpolation leaves it. Its background pass
// changes nothing, so that what the foreground did stays visible.
class ForegroundOnlySSD : public CSSD {
public:
    using CSSD::CSSD;
    static constexpr int kMark = 7;

protected:
    void castExact(int, int) override {}
    void refinePixel(int x, int y, int ax, int ay, int bx, int by, int step) override {
        workspace->done[RenderWorkspace::wide(x, y)] = kMark;
        CSSD::refinePixel(x, y, ax, ay, bx, by, step);
    }
};

// Pixels off the coarse grid that the foreground interpolated.
int uncastRefinedPixels(int limit) {
    ViewFixture fixture([](int, ViewCore& v) -> std::unique_ptr<CRaycaster> {
        return std::make_unique<ForegroundOnlySSD>(v, *v.m_pVolume, *v.m_pCamera, *v.m_workspace,
                                                   &v.m_shadeTable[0][0]);
    });
    fixture.camera.setZoom(0.02f);
    fixture.view.m_iInterruptLevel = 1;
    fixture.view.currentRenderer()->render(kSize, kSize, 4, limit, nullptr);
    fixture.view.currentRenderer()->stopBackgroundPass();
    int uncast = 0;
    for (int x = 0; x < kSize; ++x)
        for (int y = 0; y < kSize; ++y)
            if ((x % 4 || y % 4) && fixture.view.m_workspace->done[RenderWorkspace::wide(x, y)] == ForegroundOnlySSD::kMark)
                ++uncast;
    return uncast;
}

TEST_F(Renderers, InterpolationLimitOneCastsEveryRefinedPixel) {
    EXPECT_EQ(uncastRefinedPixels(1), 0);
    EXPECT_GT(uncastRefinedPixels(4), 0) << "a higher limit interpolates smooth stretches";
}

TEST_F(Renderers, BackgroundPassConvergesToExactCasts) {
    for (int mode : {RENDER_SSD, RENDER_MIP}) {
        view().setRenderMode(mode);
        view().m_iInterruptLevel = 1;
        view().currentRenderer()->render(kSize, kSize, 4, 1, nullptr);
        waitForWorker();
        EXPECT_EQ(view().currentRenderer()->currentStep, 1);
        for (int x = 0; x < kSize; ++x)
            for (int y = 0; y < kSize; ++y) {
                const int w = RenderWorkspace::wide(x, y);
                const float depth = ws().depth[w];
                const int value = ws().value[w];
                ASSERT_TRUE(view().currentRenderer()->retraceWhenIdle(x, y));
                ASSERT_NEAR(ws().depth[w], depth, 1e-3f) << "mode " << mode << " at " << x << "," << y;
                ASSERT_EQ(ws().value[w], value) << "mode " << mode << " at " << x << "," << y;
            }
    }
}

TEST_F(Renderers, DefaultFrameShowsTheBallInSkinColour) {
    view().m_bRenderPending = true;
    view().m_iInterruptLevel = 1;
    view().renderFrame();
    waitForWorker();
    view().composeImage();
    uint8_t r, g, b;
    int warm = 0;
    for (int x = 0; x < kSize; ++x)
        for (int y = 0; y < kSize; ++y) {
            view().getPixel(x, y, r, g, b);
            warm += r > b + 20 ? 1 : 0;
        }
    EXPECT_GT(warm, kSize * kSize / 10) << "the default hue is warm";
    view().getPixel(0, 0, r, g, b);
    EXPECT_EQ(r + g + b, 0) << "corner shows air";
}


// A cut through the ball, seen face-on and then tilted: the cut face is lit
// by the cosine between its plane and the ray, whichever way the plane's
// normal points.
TEST_F(Renderers, CutFaceIsBrightFaceOnAndTiltedSixtyDegreesAboutHalfAsBright) {
    view().m_prefs.opqOnSsd = false;  // the cut face lit, not shown as a grey section
    view().m_fSaturation = 0.0f;  // a grey ramp: the pixel is the lit intensity
    view().m_fDiffuse = 0.0f;
    view().buildShadeTable();
    const int centre = kSize / 2;
    const Vec3 c = volume().center();
    const Vec3 along = normalised(fixture->camera.worldView);  // the rays of a parallel camera
    const Vec3 up = normalised(fixture->camera.worldUp);
    auto centreGrey = [&](const Vec3& normal) {
        view().changePlanes().resetCutPlanes();
        EXPECT_TRUE(view().changePlanes().add(volume(), volume().halfSize(), c, normal));
        view().m_bRenderPending = true;
        view().m_iInterruptLevel = 1;
        view().renderFrame();
        waitForWorker();
        view().composeImage();
        EXPECT_EQ(ws().entrySurface[RenderWorkspace::index(centre, centre)], 0) << "the ray enters at the cut face";
        uint8_t r, g, b;
        view().getPixel(centre, centre, r, g, b);
        return static_cast<int>(g);
    };
    // The normal points to the removed half, toward the camera.
    const int faceOn = centreGrey(negate(along));
    const float tilt = 60.0f * kDegreesToRadians;
    const int tilted = centreGrey(negate(along) * std::cos(tilt) + up * std::sin(tilt));
    EXPECT_GE(faceOn, 245) << "face-on is full brightness";
    EXPECT_NEAR(tilted, faceOn / 2, 8) << "cos 60 = 0.5";
}

// With the eye inside the volume, the opaque view starts at the eye: the
// centre pixel shows the sample there, not a later one along the ray.
TEST_F(Renderers, OpaqueWithTheEyeInsideShowsTheSampleAtTheEye) {
    const Vec3 c = volume().center();
    // From inside the ball toward its denser core, which lies ahead.
    const Vec3 eye = c + Vec3(0.5f, 0.25f, -0.5f);
    const Vec3 towardCore = normalised(Vec3(6.0f, 0.0f, -4.0f));
    const int centre = kSize / 2;
    for (bool perspective : {true, false}) {
        Camera& camera = view().changeCamera();
        camera.perspective = perspective;
        camera.lookAlong(towardCore);
        camera.setPosition(eye);
        camera.updateCornerRays();
        view().setRenderMode(RENDER_OPQ);
        view().m_bRenderPending = true;
        view().m_iInterruptLevel = 1;
        view().renderFrame();
        view().composeImage();
        const int atEye = static_cast<int>(volume().sampleTrilinear(fixture->camera.worldPosition));
        ASSERT_EQ(atEye, 1324) << "the eye is in the ball";
        EXPECT_EQ(ws().value[RenderWorkspace::wide(centre, centre)], atEye) << (perspective ? "perspective" : "parallel");
        const uint8_t grey = windowGrey(atEye, volume().windowLowStored, volume().windowHighStored);
        ASSERT_NE(grey, windowGrey(2024, volume().windowLowStored, volume().windowHighStored));
        ASSERT_NE(grey, windowGrey(0, volume().windowLowStored, volume().windowHighStored));
        uint8_t r, g, b;
        view().getPixel(centre, centre, r, g, b);
        EXPECT_EQ(g, grey) << (perspective ? "perspective" : "parallel");
    }
}

// A maximum intensity projection that keeps what its foreground refinement
// decided: each refined pixel is recorded with the two neighbours it came
// from, and the background pass casts nothing.
class ForegroundOnlyMIP : public CMIP {
public:
    using CMIP::CMIP;
    struct Refined {
        int x, y;
        int value;
        float depth;
        int neighbourValues[2];
        float neighbourDepths[2];
    };
    std::vector<Refined> refined;
    std::mutex refinedLock;  // refinement runs on the render pool's threads

protected:
    void castExact(int, int) override {}
    void refinePixel(int x, int y, int ax, int ay, int bx, int by, int step) override {
        const RenderWorkspace& ws = *workspace;
        const int a = RenderWorkspace::wide(ax, ay), b = RenderWorkspace::wide(bx, by);
        Refined r{x, y, 0, 0.0f, {ws.value[a], ws.value[b]}, {ws.depth[a], ws.depth[b]}};
        CMIP::refinePixel(x, y, ax, ay, bx, by, step);
        r.value = ws.value[RenderWorkspace::wide(x, y)];
        r.depth = ws.depth[RenderWorkspace::wide(x, y)];
        std::lock_guard<std::mutex> hold(refinedLock);
        refined.push_back(r);
    }
};

TEST_F(Renderers, EveryRefinedMipPixelThatIsCastEqualsAnExactCast) {
    ViewFixture mip([](int, ViewCore& v) -> std::unique_ptr<CRaycaster> {
        return std::make_unique<ForegroundOnlyMIP>(v, *v.m_pVolume, *v.m_pCamera, *v.m_workspace,
                                                   &v.m_shadeTable[0][0]);
    });
    // Parallel rays square to the box: every ray samples at the same
    // distances, whether it starts at its entry or at a neighbour's maximum.
    mip.camera.setZoom(0.02f);
    mip.view.m_iInterruptLevel = 1;
    const int low = mip.ball.volume.windowLowStored, high = mip.ball.volume.windowHighStored;
    ASSERT_LT(low, 1324);
    ASSERT_GT(high, 1324) << "the ball's density is inside the window";
    for (int coarse : {4, 8}) {
        auto& renderer = static_cast<ForegroundOnlyMIP&>(*mip.view.currentRenderer());
        renderer.refined.clear();
        renderer.render(kSize, kSize, coarse, 1, nullptr);
        renderer.stopBackgroundPass();
        int cast = 0;
        for (const auto& r : renderer.refined) {
            // A pixel that is not the mean of its neighbours was cast.
            if (r.value == (r.neighbourValues[0] + r.neighbourValues[1]) / 2 &&
                r.depth == (r.neighbourDepths[0] + r.neighbourDepths[1]) * 0.5f)
                continue;
            ++cast;
            ASSERT_TRUE(renderer.retraceWhenIdle(r.x, r.y));
            // Casts stop at the first sample at the window's top: what
            // shows is the same, the value above the window may differ.
            const int exact = mip.view.m_workspace->value[RenderWorkspace::wide(r.x, r.y)];
            EXPECT_EQ(windowGrey(r.value, low, high), windowGrey(exact, low, high))
                << "coarse " << coarse << " at " << r.x << "," << r.y << ": " << r.value << " against " << exact;
        }
        EXPECT_GT(cast, 100) << "coarse " << coarse;
    }
}
}  // namespace

namespace {

// Crossing blocks below the running maximum without testing their cells
// must not change any result: the same pixels with and without the blocks.
TEST_F(Renderers, EmptyBlockSkippingChangesNothing) {
    for (int mode : {RENDER_MIP}) {
        std::vector<float> depth[2];
        std::vector<int> value[2], steps[2];
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 0) fixture->ball.volume.blocks.clear();
            else fixture->ball.volume.updateBlocks();
            ASSERT_EQ(fixture->ball.volume.blocks.built(), pass == 1);
            renderExact(mode);
            for (int x = 0; x < kSize; ++x)
                for (int y = 0; y < kSize; ++y) {
                    depth[pass].push_back(ws().depth[RenderWorkspace::wide(x, y)]);
                    value[pass].push_back(ws().value[RenderWorkspace::wide(x, y)]);
                    steps[pass].push_back(ws().stepCount[RenderWorkspace::index(x, y)]);
                }
        }
        EXPECT_EQ(depth[0], depth[1]) << "mode " << mode;
        EXPECT_EQ(value[0], value[1]) << "mode " << mode;
        EXPECT_EQ(steps[0], steps[1]) << "mode " << mode;
    }
}

TEST(EmptySpaceBlocks, StepsStayInsideTheBlock) {
    const Vec3 dir = normalised(Vec3(0.6f, -0.3f, 0.74f));
    for (float x : {8.0f, 9.5f, 15.99f}) {
        const Vec3 p(x, 12.3f, 17.0f);
        const int n = EmptySpaceBlocks::stepsInside(p, dir, EmptySpaceBlocks::inverseOf(dir));
        Vec3 q = p;
        for (int k = 0; k < n; ++k, q += dir) {
            EXPECT_EQ(int(q.x) >> 3, int(p.x) >> 3);
            EXPECT_EQ(int(q.y) >> 3, int(p.y) >> 3);
            EXPECT_EQ(int(q.z) >> 3, int(p.z) >> 3);
        }
    }
    EXPECT_EQ(EmptySpaceBlocks::stepsInside(Vec3(15.999f, 12, 12), Vec3(1, 0, 0), Vec3(1, 0, 0)), 0) << "at the edge nothing is sure";
}

}  // namespace
