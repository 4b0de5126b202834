#pragma once
// The view the fuzz targets feed: a small volume of varied values bound to
// a camera, a frame whose images are all there, and services that keep
// nothing.
#include "render/Camera.h"
#include "view/RendererRegistry.h"
#include "view/ViewCore.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include <cstdint>
#include <string>
#include <vector>

class MemoryServices : public v3d::ViewServices {
public:
    int readInt(const char*, int fallback) override { return fallback; }
    bool readBool(const char*, bool fallback) override { return fallback; }
    std::string readString(const char*, const char* fallback) override { return fallback; }
    void writeInt(const char*, int) override {}
    void writeBool(const char*, bool) override {}
    void writeString(const char*, const char*) override {}
    bool hasCollaborationControl() override { return true; }
    void windowLevelChanged() override {}
    bool hasPatientCursor() override { return false; }
    void placePatientCursor(int32_t, double, double, double) override {}
};

class QuietView : public v3d::ViewCore {
public:
    bool mouseInputWaiting() override { return false; }
    void invalidateFromWorker() override {}
};

struct FuzzView {
    static constexpr int kSize = 16;
    std::vector<uint16_t> voxels = std::vector<uint16_t>(kSize * kSize * kSize, 0);
    v3d::CVolume volume;
    v3d::Camera camera{75.0f};
    v3d::SeriesState series;
    MemoryServices services;
    QuietView view;

    FuzzView() {
        for (int i = 0; i < kSize * kSize * kSize; ++i) voxels[static_cast<size_t>(i)] = (i * 37) % 3000;
        volume.build(kSize, kSize, kSize, voxels.data(), nullptr, 1.0f, 1.0f, 1.5f, v3d::Vec3(0, 0, 0),
                     v3d::Vec3(1, 0, 0), v3d::Vec3(0, 1, 0), v3d::Vec3(0, 0, 1));
        volume.classify(0, 4095, -1024.0f, 1.0f);
        series.m_bHasSeries = 1;
        series.m_bAllLoaded = true;
        series.completedFraction = 1.0;
        view.bind(&series, &camera, &volume, v3d::makeStandardRenderer, services);
        view.applyReferenceFrame(0);
    }
};
