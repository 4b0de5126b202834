// Any bytes as a received segmentation history, replayed on a small volume.
// Whatever the view takes in reads back as well-formed operations, and a
// second delivery of the same bytes runs nothing unless the first was cut
// off at the bound.
#include "collab/SegHistoryReader.h"
#include "collab/SegHistoryReplay.h"
#include "render/Camera.h"
#include "view/RendererFactory.h"
#include "view/ViewCore.h"
#include "view/ViewSegmentation.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace v3d;

namespace {

class MemoryServices : public ViewServices {
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

class QuietView : public ViewCore {
public:
    bool mouseInputWaiting() override { return false; }
    void invalidateFromWorker() override {}
};

struct Scene {
    static constexpr int kSize = 16;
    std::vector<uint16_t> voxels = std::vector<uint16_t>(kSize * kSize * kSize, 0);
    CVolume volume;
    Camera camera{75.0f};
    SeriesState series;
    MemoryServices services;
    QuietView view;

    Scene() {
        for (int i = 0; i < kSize * kSize * kSize; ++i) voxels[static_cast<size_t>(i)] = (i * 37) % 3000;
        volume.build(kSize, kSize, kSize, voxels.data(), nullptr, 1.0f, 1.0f, 1.5f, Vec3(0, 0, 0), Vec3(1, 0, 0),
                     Vec3(0, 1, 0), Vec3(0, 0, 1));
        volume.classify(0, 4095, -1024.0f, 1.0f);
        series.m_bHasSeries = 1;
        series.m_bAllLoaded = true;
        series.completedFraction = 1.0;
        view.bind(&series, &camera, &volume, makeStandardRenderer, services);
        view.applyReferenceFrame(0);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scene* scene = new Scene;  // one view for the run; its segmentation is reset per input
    Scene& s = *scene;
    resetViewSegmentation(s.view);
    const std::string text(reinterpret_cast<const char*>(data), size);

    const SegReplayResult first = applySegHistory(s.view, text);
    if (first.replayed > kMaxReplayedOperations) std::abort();
    int held = 0;
    readSegHistory(s.view.m_segHistory, [&](HistoryOperation& op) {
        if (op.malformed) std::abort();
        ++held;
        return true;
    });
    if (held != first.replayed) std::abort();
    const SegReplayResult second = applySegHistory(s.view, text);
    if (!first.cutOff && second.replayed != 0) std::abort();
    return 0;
}
