#pragma once
// A bound view over a CT volume for the render benchmarks: the anterior
// parallel camera, zoomed so that the volume fills most of the image, and a
// view whose "mouse input waiting" answer the benchmark chooses.

#include "render/Camera.h"
#include "render/RenderPool.h"
#include "view/RendererRegistry.h"
#include "view/ViewCore.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include "RecordingViewServices.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

using namespace v3d;

// Stored values (HU + 1024) of a CT, x fastest, and the voxel spacing in mm.
struct CTBlock {
    int sizeX = 0, sizeY = 0, sizeZ = 0;
    float spacingX = 1.0f, spacingY = 1.0f, spacingZ = 1.0f;
    std::vector<uint16_t> values;
};

class BenchView : public ViewCore {
public:
    bool mouseInputWaiting() override { return mouseWaiting; }
    void invalidateFromWorker() override {}
    bool mouseWaiting = false;
};

// The view width over the larger extent seen from the front: a thin margin.
constexpr float kZoomMargin = 1.02f;

struct RenderScene {
    CTBlock& block;
    std::unique_ptr<RenderPool> pool;
    CVolume volume;
    Camera camera{75.0f};
    SeriesState series;
    RecordingViewServices services;
    BenchView view;

    // threads: the renderers' pool size, 0 for the machine's shared pool.
    explicit RenderScene(CTBlock& ct, bool load = true, int threads = 0) : block(ct) {
        series.m_bHasSeries = 1;
        series.m_bAllLoaded = true;
        view.bind(&series, &camera, &volume, makeStandardRenderer, services);
        usePool(threads);
        if (load) loadVolume();
    }

    void usePool(int threads) {
        view.stopRenderers();
        if (threads > 0) pool = std::make_unique<RenderPool>(threads);
        RenderPool* chosen = threads > 0 ? pool.get() : &RenderPool::shared();
        const int mode = view.m_iRenderMode;
        for (int m : {RENDER_SSD, RENDER_MIP, RENDER_OPQ}) {
            view.setRenderMode(m);
            view.currentRenderer()->pool = chosen;
        }
        view.setRenderMode(mode);
    }
    ~RenderScene() { view.stopRenderers(); }

    // What happens between the voxels arriving and the first render.
    void loadVolume() {
        volume.build(block.sizeX, block.sizeY, block.sizeZ, block.values.data(), nullptr, block.spacingX,
                     block.spacingY, block.spacingZ, Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1));
        volume.classify(0, 4095, -1024.0f, 1.0f);
        view.applyReferenceFrame(0);
        camera.viewWidth = viewWidth();
    }

    // Seen from the front the image spans x across and z down, in units of
    // the smallest spacing.
    float viewWidth() const { return kZoomMargin * std::max(volume.extent.x, volume.extent.z); }

    void setSize(int size) {
        view.m_iImageWidth = size;
        view.m_iImageHeight = size;
    }

    // One frame the way the window asks for it.
    void renderOnce(int dragMode, int interruptLevel, bool mouseWaiting, int coarseStep) {
        view.m_iDragMode = dragMode;
        view.m_iInterruptLevel = interruptLevel;
        view.mouseWaiting = mouseWaiting;
        view.m_iCoarseStep = coarseStep;
        view.m_iInterpolationLimit = 1;
        view.requestRender(true);
        view.renderFrame();
    }

    int busy() const { return view.currentRenderer()->busyCount.load(); }

    // Until the background pass has cast every skipped pixel; a short poll
    // so that the wait adds little to the measured time.
    void waitForBackgroundPass() {
        while (busy() > 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
        view.composeImage();
    }
};
