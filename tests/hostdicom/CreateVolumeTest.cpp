// Volume assembly over phantom series: geometry, stored values, refusals.
#include "DicomHostFixture.h"

#include "dicom/StudyDatabase.h"

#include <QFile>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace hosttest {
namespace {

TEST_F(DicomHost, CreateVolumeOrdersSlicesAndFillsTheRecord) {
    host->openPaths({phantom("ph", {"--size", "40x30x9", "--spacing", "0.75", "--step", "1.25"})});
    std::vector<std::string> ids = groupIds();
    ASSERT_EQ(ids.size(), 9u);
    std::vector<std::string> shuffled = ids;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    QVVolumeRecord* v = createVolume(shuffled);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->columns, 40);
    EXPECT_EQ(v->rows, 30);
    EXPECT_EQ(v->slices, 9);
    EXPECT_DOUBLE_EQ(v->spacingX, 0.75);
    EXPECT_DOUBLE_EQ(v->spacingY, 0.75);
    EXPECT_NEAR(v->spacingZ, 1.25, 1e-9);
    EXPECT_NEAR(v->origin[2], -5.0, 1e-9);  // the lowest slice first
    EXPECT_NEAR(v->origin[0], -39 * 0.75 / 2, 1e-6);
    EXPECT_DOUBLE_EQ(v->rowDir[0], 1.0);
    EXPECT_DOUBLE_EQ(v->colDir[1], 1.0);
    EXPECT_NEAR(v->sliceDir[2], 1.0, 1e-12);
    EXPECT_EQ(v->rawBase, 0);
    EXPECT_DOUBLE_EQ(v->slope, 1.0);
    EXPECT_DOUBLE_EQ(v->intercept, -1024.0);
    ASSERT_EQ(v->imageCount, 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(std::string(v->imageIds[i]), ids[size_t(i)]);  // database order is by position
    ASSERT_NE(v->values, nullptr);
    // A small field in the middle of the head: brain-like values.
    const size_t centre = size_t(4) * 40 * 30 + 15 * 40 + 20;
    EXPECT_NEAR(v->values[centre] - 1024, 35, 10);
    const uint16_t highest = *std::max_element(v->values, v->values + 40 * 30 * 9);
    EXPECT_EQ(v->valueRange, highest);
    QVReleaseVolume(v);
}

TEST_F(DicomHost, SignedInputIsShiftedByItsBase) {
    host->openPaths({phantom("ph", {"--size", "32x32x4", "--spacing", "6", "--pixel", "s16"})});
    QVVolumeRecord* v = createVolume(groupIds());
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->rawBase, -1000);  // the air outside the head
    EXPECT_EQ(v->values[0], 0);
    EXPECT_DOUBLE_EQ(v->intercept, 0.0);
    EXPECT_GE(v->valueRange, 1000 + 1400 - 10);
    QVReleaseVolume(v);
}

TEST_F(DicomHost, EightBitInputKeepsItsRescale) {
    host->openPaths({phantom("ph", {"--size", "32x32x4", "--spacing", "6", "--pixel", "u8"})});
    const std::vector<std::string> ids = groupIds();
    EXPECT_EQ(QVImageGetType(ids[0].c_str()), 0);
    QVVolumeRecord* v = createVolume(ids);
    ASSERT_NE(v, nullptr);
    EXPECT_DOUBLE_EQ(v->slope, 8.0);
    EXPECT_EQ(v->values[0], 3);  // (-1000 + 1024) / 8
    EXPECT_LE(v->valueRange, 255);
    QVReleaseVolume(v);
}

TEST_F(DicomHost, RleCompressedSeriesIsDecoded) {
    host->openPaths({phantom("ph", {"--size", "32x32x4", "--spacing", "6", "--transfer", "rle"})});
    const std::vector<std::string> ids = groupIds();
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_EQ(QVIsLossless(ids[0].c_str()), 1);
    QVVolumeRecord* v = createVolume(ids);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->values[0], 24);
    QVReleaseVolume(v);
}

TEST_F(DicomHost, CreateVolume_RejectsSeriesWithMissingSlice) {
    const QString folder = phantom("ph", {"--size", "32x32x6"});
    ASSERT_TRUE(QFile::remove(folder + "/0004.dcm"));
    host->openPaths({folder});
    ASSERT_EQ(groupIds().size(), 5u);
    EXPECT_EQ(createVolume(groupIds()), nullptr);
    // The slices on either side of the gap still form volumes.
    std::vector<std::string> ids = groupIds();
    QVVolumeRecord* lower = createVolume({ids[0], ids[1], ids[2]});
    ASSERT_NE(lower, nullptr);
    QVReleaseVolume(lower);
}

// Moves one slice of a written series along z by the given millimetres.
bool shiftSlice(const QString& file, double mm) {
    DcmFileFormat dicom;
    const std::string path = file.toStdString();
    if (dicom.loadFile(path.c_str()).bad() || dicom.loadAllDataIntoMemory().bad()) return false;
    DcmDataset& d = *dicom.getDataset();
    Float64 x = 0, y = 0, z = 0;
    if (d.findAndGetFloat64(DCM_ImagePositionPatient, x, 0).bad() ||
        d.findAndGetFloat64(DCM_ImagePositionPatient, y, 1).bad() ||
        d.findAndGetFloat64(DCM_ImagePositionPatient, z, 2).bad())
        return false;
    char position[96], location[32];
    std::snprintf(position, sizeof position, "%.6f\\%.6f\\%.6f", x, y, z + mm);
    std::snprintf(location, sizeof location, "%.6f", z + mm);
    if (d.putAndInsertString(DCM_ImagePositionPatient, position).bad() ||
        d.putAndInsertString(DCM_SliceLocation, location).bad())
        return false;
    return dicom.saveFile(path.c_str(), d.getOriginalXfer()).good();
}

// Nine slices 5 mm apart with the middle one moved: its two gaps then differ
// from the common 5 mm by the same amount, one longer, one shorter.
TEST_F(DicomHost, CreateVolume_AcceptsASliceHalfAPercentOffTheCommonSpacing) {
    const QString folder = phantom("ph", {"--size", "32x32x9", "--step", "5"});
    ASSERT_TRUE(shiftSlice(folder + "/0005.dcm", 0.005 * 5.0));
    host->openPaths({folder});
    ASSERT_EQ(groupIds().size(), 9u);
    QVVolumeRecord* v = createVolume(groupIds());
    ASSERT_NE(v, nullptr);
    EXPECT_NEAR(v->spacingZ, 5.0, 1e-6);
    QVReleaseVolume(v);
}

TEST_F(DicomHost, CreateVolume_RejectsASliceThreePercentOffTheCommonSpacing) {
    const QString folder = phantom("ph", {"--size", "32x32x9", "--step", "5"});
    ASSERT_TRUE(shiftSlice(folder + "/0005.dcm", 0.03 * 5.0));
    host->openPaths({folder});
    ASSERT_EQ(groupIds().size(), 9u);
    EXPECT_EQ(createVolume(groupIds()), nullptr);
}

TEST_F(DicomHost, CreateVolume_RejectsDuplicatePositionsAndMixedSizes) {
    host->openPaths({phantom("a", {"--size", "32x32x3"}), phantom("b", {"--size", "32x32x3"}),
                     phantom("c", {"--size", "16x16x3"})});
    const std::vector<std::string> a = groupIds(0), b = groupIds(1), c = groupIds(2);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(createVolume({a[0], a[1], b[0], b[1]}), nullptr);  // two series at the same positions
    EXPECT_EQ(createVolume({a[0], c[1]}), nullptr);
    EXPECT_EQ(createVolume({a[0], a[0]}), nullptr);
    EXPECT_EQ(createVolume({a[0], "1.2.3.404"}), nullptr);
    const char* withNull[] = {a[0].c_str(), nullptr};
    EXPECT_EQ(QVCreateVolume(2, withNull, 3), nullptr);
    EXPECT_EQ(QVCreateVolume(0, withNull, 3), nullptr);
    EXPECT_EQ(QVCreateVolume(3, nullptr, 3), nullptr);
}

TEST_F(DicomHost, DownloadSimulationFillsTheVolumeInPlace) {
    options.downloadSecondsPerImage = 1.0;
    host.reset();
    host = std::make_unique<quarvia::HostWindow>(options);
    host->database().download().setElapsed(0.0);
    host->openPaths({phantom("ph", {"--size", "32x32x4", "--spacing", "6"})});
    const std::vector<std::string> ids = groupIds();
    EXPECT_DOUBLE_EQ(QVGetCompletionRate(ids[0].c_str()), 0.0);
    QVVolumeRecord* v = createVolume(ids);
    ASSERT_NE(v, nullptr);
    uint16_t* block = v->values;
    const size_t plane = 32 * 32;
    EXPECT_TRUE(std::all_of(block, block + 4 * plane, [](uint16_t x) { return x == 0; }));
    host->database().download().setElapsed(2.5);  // two images in, the third half-way
    EXPECT_DOUBLE_EQ(QVGetCompletionRate(ids[1].c_str()), 1.0);
    EXPECT_DOUBLE_EQ(QVGetCompletionRate(ids[2].c_str()), 0.0);
    EXPECT_DOUBLE_EQ(QVGetDownloadRate(ids[2].c_str()), 0.5);
    QVUpdateVolume(v);
    EXPECT_EQ(v->values, block);
    EXPECT_EQ(block[0], 24);
    EXPECT_EQ(block[plane], 24);
    EXPECT_EQ(block[2 * plane], 0);
    host->database().download().setElapsed(10);
    QVUpdateVolume(v);
    EXPECT_EQ(block[3 * plane], 24);
    QVReleaseVolume(v);
}

}  // namespace
}  // namespace hosttest
