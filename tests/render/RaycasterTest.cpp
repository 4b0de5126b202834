// The progressive scheme and the background pass, with a renderer that
// records what it is asked to do.
#include "ViewFixture.h"


#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

namespace {

class CountingRenderer : public CRaycaster {
public:
    using CRaycaster::CRaycaster;
    ~CountingRenderer() override { stopBackgroundPass(); }

    int render(int w, int h, int coarse, int limit, ProgressSink* progress) override {
        return progressiveRender(w, h, coarse, limit, progress);
    }
    int refineRemaining() override { return castSkippedPixels(); }
    void shadePixel(int, int) override {}
    void retracePixel(int, int) override { ++retraces; }

    std::atomic<int> firstPass{0};
    std::atomic<int> exactCasts{0};
    int retraces = 0;
    std::map<int, int> refinedAtStep;
    std::mutex mapMutex;
    // While set, the background pass waits in its first cast until released or aborted.
    std::atomic<bool> gate{false};
    std::atomic<bool> workerEntered{false};

protected:
    void castFirstPass(int x, int y) override {
        ++firstPass;
        workspace->depth[RenderWorkspace::wide(x, y)] = 1.0f + static_cast<float>(renderSerial);
    }
    void refinePixel(int x, int y, int, int, int, int, int step) override {
        {
            // Refinement rows run on the render pool.
            std::lock_guard<std::mutex> lock(mapMutex);
            ++refinedAtStep[step];
        }
        workspace->depth[RenderWorkspace::wide(x, y)] = 1.0f + static_cast<float>(renderSerial);
    }
    void castExact(int, int) override {
        workerEntered = true;
        while (gate && !abortRequested) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++exactCasts;
    }

public:
    int renderSerial = 0;
};

class Raycaster : public ::testing::Test {
protected:

    ViewFixture fixture{[](int, ViewCore& v) -> std::unique_ptr<CRaycaster> {
        return std::make_unique<CountingRenderer>(v, *v.m_pVolume, *v.m_pCamera, *v.m_workspace,
                                                  &v.m_shadeTable[0][0]);
    }};
    CountingRenderer& renderer() { return static_cast<CountingRenderer&>(*fixture.view.currentRenderer()); }
    void waitForWorker() {
        while (renderer().busyCount > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

TEST_F(Raycaster, CoarseStepOneCastsEveryPixelAndStartsNoWorker) {
    renderer().render(64, 32, 1, 1, nullptr);
    EXPECT_EQ(renderer().firstPass, 64 * 32);
    EXPECT_TRUE(renderer().refinedAtStep.empty());
    EXPECT_EQ(renderer().busyCount, 0);
    EXPECT_EQ(renderer().currentStep, 1);
    EXPECT_TRUE(renderer().hasImage);
    EXPECT_EQ(fixture.view.workerInvalidations, 0);
}

TEST_F(Raycaster, CoarseSixteenRefinesDownToOneThenTheWorkerFinishes) {
    renderer().render(256, 256, 16, 1, nullptr);
    EXPECT_EQ(renderer().firstPass, 16 * 16);
    for (int step : {8, 4, 2, 1}) EXPECT_GT(renderer().refinedAtStep[step], 0) << step;
    EXPECT_EQ(renderer().refinedAtStep.size(), 4u);
    // Every pixel off the coarse grid once: horizontal and vertical gaps together.
    int refined = 0;
    for (auto& entry : renderer().refinedAtStep) refined += entry.second;
    EXPECT_EQ(refined, 256 * 256 - 16 * 16);
    waitForWorker();
    EXPECT_EQ(renderer().exactCasts, 256 * 256 - 16 * 16);
    EXPECT_EQ(renderer().currentStep, 1);
    EXPECT_EQ(fixture.view.workerInvalidations, 1);
}

TEST_F(Raycaster, WaitingMouseInputStopsRefinementAtTheInterruptLevel) {
    fixture.view.mouseWaiting = true;
    fixture.view.m_iInterruptLevel = 2;
    renderer().gate = true;  // keep the worker from finishing the picture
    renderer().render(256, 256, 16, 1, nullptr);
    EXPECT_GT(renderer().refinedAtStep[2], 0);
    EXPECT_EQ(renderer().refinedAtStep.count(1), 0u) << "the step-2 grid is not halved while input waits";
    EXPECT_EQ(renderer().currentStep, 2);
    renderer().stopBackgroundPass();
}

TEST_F(Raycaster, InterruptLevelOneNeverStops) {
    fixture.view.mouseWaiting = true;
    fixture.view.m_iInterruptLevel = 1;
    renderer().render(64, 64, 4, 1, nullptr);
    EXPECT_GT(renderer().refinedAtStep[1], 0);
    waitForWorker();
}

TEST_F(Raycaster, SecondRenderStopsTheRunningWorkerWhichThenDoesNotInvalidate) {
    renderer().gate = true;
    renderer().render(64, 64, 4, 1, nullptr);
    while (!renderer().workerEntered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(renderer().busyCount, 1);
    renderer().gate = false;
    renderer().renderSerial = 1;
    renderer().render(64, 64, 4, 1, nullptr);  // aborts the first worker, waits for it
    waitForWorker();
    EXPECT_EQ(fixture.view.workerInvalidations, 1) << "only the second, finished pass repaints";
    EXPECT_EQ(renderer().currentStep, 1);
}

TEST_F(Raycaster, CellsPastTheCurrentWidthKeepTheirValues) {
    const RenderWorkspace& ws = *fixture.view.m_workspace;
    EXPECT_EQ(ws.depth[RenderWorkspace::wide(300, 300)], -30.0f) << "construction value";
    EXPECT_EQ(ws.value[RenderWorkspace::wide(300, 300)], -1);
    renderer().render(64, 64, 1, 1, nullptr);
    renderer().renderSerial = 5;
    renderer().render(32, 32, 1, 1, nullptr);
    EXPECT_EQ(ws.depth[RenderWorkspace::wide(40, 10)], 1.0f) << "left by the larger render";
    EXPECT_EQ(ws.depth[RenderWorkspace::wide(10, 10)], 6.0f);
    EXPECT_EQ(ws.depth[RenderWorkspace::wide(300, 300)], -30.0f);
}

TEST_F(Raycaster, RenderModeChangeStopsThePreviousRenderersPass) {
    renderer().gate = true;
    renderer().render(64, 64, 4, 1, nullptr);
    CountingRenderer& first = renderer();
    fixture.view.setRenderMode(RENDER_MIP);
    EXPECT_EQ(first.busyCount, 0);
    EXPECT_EQ(fixture.view.m_iRenderMode, RENDER_MIP);
}

TEST(WindowGrey, MapsTheWindowAndHandlesAnEmptyWindow) {
    EXPECT_EQ(windowGrey(100, 100, 200), 0);
    EXPECT_EQ(windowGrey(200, 100, 200), 255);
    EXPECT_EQ(windowGrey(150, 100, 200), 127);
    EXPECT_EQ(windowGrey(-5, 100, 200), 0);
    EXPECT_EQ(windowGrey(99, 100, 100), 0);
    EXPECT_EQ(windowGrey(100, 100, 100), 255);
}

}  // namespace

namespace {

// The probe under the cursor never writes what a running pass writes.
TEST_F(Raycaster, RetraceWaitsForNoPassAndCastsOnceThePassHasEnded) {
    renderer().gate = true;
    renderer().render(64, 64, 4, 1, nullptr);
    while (!renderer().workerEntered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(renderer().retraceWhenIdle(3, 3));
    EXPECT_EQ(renderer().retraces, 0);
    renderer().gate = false;
    waitForWorker();
    EXPECT_TRUE(renderer().retraceWhenIdle(3, 3));
    EXPECT_EQ(renderer().retraces, 1);
}

}  // namespace
