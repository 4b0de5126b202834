// Loading a series into a volume and refreshing it, against a recording
// host: statuses, what is kept when a load fails, and the refresh rule.
#include "volume/CVolume.h"
#include "volume/SeriesAcquisition.h"
#include "volume/SeriesRates.h"

#include "RecordingSeriesPort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace v3d;

namespace {

// A host record over a cube of `size` voxels, `value` inside a centred box.
struct Record {
    std::vector<uint16_t> values;
    std::vector<std::string> ids;
    std::vector<char*> idPointers;
    QVVolumeRecord record{};

    Record(int size, uint16_t value, const std::string& prefix) : values(size_t(size) * size_t(size) * size_t(size), 0) {
        for (int z = size / 4; z < 3 * size / 4; ++z)
            for (int y = size / 4; y < 3 * size / 4; ++y)
                for (int x = size / 4; x < 3 * size / 4; ++x) values[size_t((z * size + y) * size + x)] = value;
        for (int i = 0; i < size; ++i) ids.push_back(prefix + std::to_string(i));
        for (auto& id : ids) idPointers.push_back(id.data());
        record.values = values.data();
        record.columns = record.rows = record.slices = size;
        record.spacingX = record.spacingY = record.spacingZ = 1.0;
        record.rowDir[0] = record.colDir[1] = record.sliceDir[2] = 1.0;
        record.slope = 1.0;
        record.intercept = -1024.0;
        record.valueRange = 4095;
        record.imageCount = size;
        record.imageIds = idPointers.data();
    }
};

class Sink : public VolumeChangeSink {
public:
    CVolume& volumeForChange() override {
        ++changes;
        return volume;
    }
    void volumeReplaced() override { ++replaced; }
    void volumeRefreshed() override { ++refreshed; }
    CVolume volume;
    int changes = 0, replaced = 0, refreshed = 0;
};

struct Acquisition : ::testing::Test {
    SeriesState state;
    RecordingSeriesPort host;
    Sink sink;
    SeriesAcquisition acquisition{state, host, sink};
};

TEST_F(Acquisition, LoadingSeriesBReleasesSeriesAExactlyOnce) {
    Record a(16, 1324, "a"), b(16, 2024, "b");
    host.records = {&a.record, &b.record};
    ASSERT_EQ(acquisition.load({"a0"}), SeriesLoadStatus::Ok);
    EXPECT_EQ(state.hostVolume, &a.record);
    EXPECT_TRUE(host.released.empty());
    ASSERT_EQ(acquisition.load({"b0"}), SeriesLoadStatus::Ok);
    EXPECT_EQ(state.hostVolume, &b.record);
    ASSERT_EQ(host.released.size(), 1u);
    EXPECT_EQ(host.released[0], &a.record);
    EXPECT_EQ(state.imageIds.size(), 16u);
    EXPECT_EQ(state.imageIds[0], "b0");
    EXPECT_EQ(sink.replaced, 2);
    EXPECT_EQ(host.progressSteps, std::vector<int>({10, 50, 100, 10, 50, 100}));
}

TEST_F(Acquisition, OutOfMemoryKeepsTheSeriesAndVolumeShown) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' operator new ends the process instead of throwing";
#endif
    Record a(16, 1324, "a");
    // A record whose row tables alone would need terabytes.
    Record huge(2, 1324, "h");
    huge.record.columns = CVolume::kMinSize;
    huge.record.rows = huge.record.slices = 1 << 20;
    host.records = {&a.record, &huge.record};
    ASSERT_EQ(acquisition.load({"a0"}), SeriesLoadStatus::Ok);
    const int isoClass = sink.volume.isoClass;
    EXPECT_EQ(acquisition.load({"h0"}), SeriesLoadStatus::OutOfMemory);
    EXPECT_EQ(state.hostVolume, &a.record) << "the shown series stays";
    ASSERT_EQ(host.released.size(), 1u);
    EXPECT_EQ(host.released[0], &huge.record) << "the refused record goes back to the host";
    EXPECT_EQ(sink.volume.sizeX, 16);
    EXPECT_EQ(sink.volume.isoClass, isoClass);
    EXPECT_GT(sink.volume.sampleTrilinear(8.0f, 8.0f, 8.0f), 1000.0f) << "the old voxels are still readable";
    EXPECT_EQ(sink.replaced, 1);
}

TEST_F(Acquisition, RecordThatDescribesNoVolumeIsBadGeometryAndKeepsTheShownOne) {
    Record a(16, 1324, "a"), broken(16, 1324, "x");
    broken.record.spacingX = 0.0;
    host.records = {&a.record, &broken.record};
    ASSERT_EQ(acquisition.load({"a0"}), SeriesLoadStatus::Ok);
    EXPECT_EQ(acquisition.load({"x0"}), SeriesLoadStatus::BadGeometry);
    EXPECT_EQ(state.hostVolume, &a.record);
    EXPECT_EQ(state.m_bHasSeries, 1);
    EXPECT_EQ(sink.volume.sizeX, 16);
}

TEST_F(Acquisition, RefusedSlicesAndDeclinedMemoryWarningChangeNothing) {
    EXPECT_EQ(acquisition.load({"a0"}), SeriesLoadStatus::HostRefused);
    host.memory = 1;
    host.proceed = false;
    EXPECT_EQ(acquisition.load({"a0"}), SeriesLoadStatus::DeclinedShortOfMemory);
    EXPECT_EQ(host.log, std::vector<std::string>({"create:1", "memory-warning"}));
    EXPECT_EQ(acquisition.load({}), SeriesLoadStatus::Cancelled);
    EXPECT_EQ(state.m_bHasSeries, 0);
    EXPECT_EQ(sink.changes, 0);
}

TEST_F(Acquisition, EightSlicesAreTooFewAndKeepTheShownSeries) {
    Record a(16, 1324, "a"), thin(16, 1324, "t");
    thin.record.slices = 8;
    host.records = {&a.record, &thin.record};
    ASSERT_EQ(acquisition.load({"a0"}), SeriesLoadStatus::Ok);
    EXPECT_EQ(acquisition.load({"t0"}), SeriesLoadStatus::TooFewImages);
    EXPECT_EQ(state.hostVolume, &a.record);
    ASSERT_EQ(host.released.size(), 1u);
    EXPECT_EQ(host.released[0], &thin.record);
    thin.record.slices = CVolume::kMinSize;
    host.records = {&thin.record};
    EXPECT_EQ(acquisition.load({"t0"}), SeriesLoadStatus::Ok) << "nine slices leave one to show";
}

TEST_F(Acquisition, IsovalueAndWindowCarryOverToTheNextSeries) {
    Record a(16, 1324, "a"), b(16, 1324, "b");
    host.records = {&a.record, &b.record};
    ASSERT_EQ(acquisition.load({"a0"}), SeriesLoadStatus::Ok);
    sink.volume.setIsoValue(150);
    sink.volume.setWindowLevel(40, 400);
    ASSERT_EQ(acquisition.load({"b0"}), SeriesLoadStatus::Ok);
    EXPECT_EQ(sink.volume.isoHU, 150);
    EXPECT_EQ(sink.volume.levelHU, 40);
    EXPECT_EQ(sink.volume.widthHU, 400);
    EXPECT_EQ(sink.volume.storedToHU(sink.volume.isoStored), 150);
}

TEST_F(Acquisition, RefreshFollowsCompletionInTenths) {
    Record a(16, 1324, "a");
    host.records = {&a.record};
    for (const auto& id : a.ids) host.completions[id] = 0.3;
    ASSERT_EQ(acquisition.load({"a0"}), SeriesLoadStatus::Ok);
    EXPECT_TRUE(acquisition.waitingForImages());
    for (const auto& id : a.ids) host.completions[id] = 0.35;
    EXPECT_FALSE(acquisition.refreshDueNow());
    for (const auto& id : a.ids) host.completions[id] = 0.41;
    ASSERT_TRUE(acquisition.refreshDueNow());
    EXPECT_EQ(acquisition.refresh(), SeriesLoadStatus::Ok);
    EXPECT_DOUBLE_EQ(state.completedFraction, 0.41);
    EXPECT_EQ(sink.refreshed, 1);
}

TEST(SeriesRates, QualityCheckWithAndWithoutTheDownloadRate) {
    RecordingSeriesPort host;
    const std::vector<std::string> ids = {"a", "b"};
    host.withDownloadRate = false;
    host.compression["a"] = 0.5;  // without download rates: 0.01 / 0.5 = 0.02 passes
    host.compression["b"] = 0.5;
    EXPECT_TRUE(qualityCheck(ids, host));
    host.compression["b"] = 0.01;
    EXPECT_FALSE(qualityCheck(ids, host));
    host.withDownloadRate = true;
    EXPECT_FALSE(qualityCheck(ids, host)) << "0.01 is below 0.02 as it stands";
    host.compression["b"] = 0.03;
    EXPECT_TRUE(qualityCheck(ids, host));
    EXPECT_TRUE(qualityCheck({}, host));
    EXPECT_DOUBLE_EQ(averageCompletion({}, host), 1.0);
}

}  // namespace
