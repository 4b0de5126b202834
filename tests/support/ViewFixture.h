#pragma once
// A small synthetic volume (a ball of bone-like density in air) with a
// camera and a view that records what the window side would do.

#include "render/Camera.h"
#include "view/RendererRegistry.h"
#include "view/ViewCore.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include "RecordingViewServices.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

using namespace v3d;

// Stored values: air 0 (-1024 HU), the ball 1324 (300 HU), a denser core
// 2024 (1000 HU) off centre so that maxima and surfaces vary over the image.
struct BallVolume {
    static constexpr int kSize = 48;
    std::vector<uint16_t> voxels = std::vector<uint16_t>(kSize * kSize * kSize, 0);
    CVolume volume;

    BallVolume() {
        const float c = (kSize - 1) / 2.0f;
        for (int z = 0; z < kSize; ++z)
            for (int y = 0; y < kSize; ++y)
                for (int x = 0; x < kSize; ++x) {
                    const float r = std::sqrt((x - c) * (x - c) + (y - c) * (y - c) + (z - c) * (z - c));
                    const float rc = std::sqrt((x - c - 6) * (x - c - 6) + (y - c) * (y - c) + (z - c + 4) * (z - c + 4));
                    uint16_t v = r < 14.0f ? 1324 : 0;
                    if (rc < 5.0f) v = 2024;
                    voxels[static_cast<size_t>((z * kSize + y) * kSize + x)] = v;
                }
        volume.build(kSize, kSize, kSize, voxels.data(), nullptr, 1.0f, 1.0f, 1.0f, Vec3(0, 0, 0), Vec3(1, 0, 0),
                     Vec3(0, 1, 0), Vec3(0, 0, 1));
        volume.classify(0, 4095, -1024.0f, 1.0f);
    }
};

class TestView : public ViewCore {
public:
    bool mouseInputWaiting() override { return mouseWaiting; }
    void invalidateFromWorker() override { ++workerInvalidations; }
    void invalidate() override { ++invalidations; }
    void notify(ViewNotice notice) override { notices.push_back(notice); }

    bool mouseWaiting = false;
    std::atomic<int> workerInvalidations{0};
    int invalidations = 0;
    std::vector<ViewNotice> notices;
};

// A view bound to a ball volume with the standard renderers.
struct ViewFixture {
    BallVolume ball;
    Camera camera{75.0f};
    SeriesState frame;
    RecordingViewServices ownServices;
    RecordingViewServices& services;
    TestView view;

    // A shared recorder keeps its profile across views, as the host does.
    explicit ViewFixture(const RendererFactory& factory = makeStandardRenderer, RecordingViewServices* shared = nullptr)
        : services(shared ? *shared : ownServices) {
        frame.m_bHasSeries = 1;
        frame.m_bAllLoaded = true;
        view.bind(&frame, &camera, &ball.volume, factory, services);
        view.applyReferenceFrame(0);
    }
    ~ViewFixture() { view.stopRenderers(); }
};
