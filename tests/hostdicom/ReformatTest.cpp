// Reformatted planes against the volume they are sampled from, the cut line
// of two planes, and measurements read back from a layout.
#include "DicomHostFixture.h"
#include "SliceBuilder.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "ImagePanel.h"
#include "reading/ReadingState.h"

#include "dicom/StudyDatabase.h"
#include "dicom/VolumeRefusal.h"
#include "reading/ReadingLayout.h"
#include "reading/ReformatVolume.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include <cmath>
#include <random>

namespace hosttest {
namespace {

using quarvia::ImagePlane;
using quarvia::PlaneKind;
using quarvia::ReformatVolume;
using quarvia::SlabMode;
using quarvia::Vec3d;

// A sheared stack (each slice 0.6 mm further along y, as a tilted gantry
// gives) with a rescale, so that every mapping step is exercised.
std::unique_ptr<ReformatVolume> tiltedVolume(quarvia::StudyDatabase& database) {
    std::vector<SliceRecipe> slices = sliceStack(6, 0, 0.6, 2.0);
    for (SliceRecipe& s : slices) s.slope = "1", s.intercept = "-1024";
    addSlices(database, slices);
    quarvia::VolumeRefusal refusal;
    return ReformatVolume::build(database, *database.groups().front(), refusal);
}

TEST(Reformat, SampledPlanesEqualTheVolumeAtEveryPixel) {
    quarvia::StudyDatabase database;
    std::unique_ptr<ReformatVolume> volume = tiltedVolume(database);
    ASSERT_TRUE(volume);
    // At voxel centres the volume gives the stored value itself.
    const quarvia::DicomImage& third = *database.image(database.groups().front()->imageIds[2]);
    const ImagePlane acquired = quarvia::planeOfImage(third, 2, 2.0);
    for (int i : {0, 5, 17, 63})
        EXPECT_DOUBLE_EQ(volume->valueAt(acquired.patientOf(i % 8, i / 8)), third.raw(size_t(i)) - 1024.0) << i;

    quarvia::PlaneAxes turned = quarvia::kPatientAxes;
    for (Vec3d& a : turned) a = quarvia::rotated(a, {0.6, 0, 0.8}, 0.4);
    for (const quarvia::PlaneAxes& axes : {quarvia::kPatientAxes, turned})
        for (PlaneKind kind : {PlaneKind::Axial, PlaneKind::Coronal, PlaneKind::Sagittal}) {
            const ImagePlane plane = volume->planeThrough(volume->centre(), axes, kind);
            std::vector<float> plain, mip, minip;
            volume->sample(plane, SlabMode::Off, 0, plain);
            volume->sample(plane, SlabMode::Mip, 3, mip);
            volume->sample(plane, SlabMode::MinIp, 3, minip);
            int inside = 0;
            for (int r = 0; r < plane.rows; ++r)
                for (int c = 0; c < plane.columns; ++c) {
                    const size_t i = size_t(r) * size_t(plane.columns) + size_t(c);
                    const double direct = volume->valueAt(plane.patientOf(c, r));
                    ASSERT_EQ(std::isnan(plain[i]), std::isnan(direct)) << c << "," << r;
                    if (std::isnan(direct)) continue;
                    ++inside;
                    EXPECT_NEAR(plain[i], direct, 1e-3) << int(kind) << " " << c << "," << r;
                    EXPECT_GE(mip[i], plain[i] - 1e-3);
                    EXPECT_LE(minip[i], plain[i] + 1e-3);
                }
            EXPECT_GT(inside, 0) << int(kind);
        }
}

TEST(ImagePlaneCut, EndsLieOnBothPlanesAndOnThePictureEdge) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> any(-1, 1);
    int cuts = 0;
    for (int trial = 0; trial < 200; ++trial) {
        ImagePlane a, b;
        a.columns = 40, a.rows = 30, a.du = 0.7, a.dv = 1.1, a.origin = {any(random) * 5, any(random) * 5, 0};
        b.origin = {any(random) * 10, any(random) * 10, any(random) * 10};
        b.u = {any(random), any(random), any(random)};
        b.v = quarvia::cross(b.u, {any(random), any(random), any(random)});
        if (quarvia::norm(b.u) < 0.1 || quarvia::norm(b.v) < 0.1) continue;
        for (double& x : b.u) x /= quarvia::norm(b.u);
        const double lv = quarvia::norm(b.v);
        for (double& x : b.v) x /= lv;
        std::array<double, 4> ends;
        if (!quarvia::intersectionInPixels(a, b, ends)) continue;
        ++cuts;
        for (int e = 0; e < 2; ++e) {
            const double c = ends[size_t(2 * e)], r = ends[size_t(2 * e + 1)];
            EXPECT_NEAR(b.distanceTo(a.patientOf(c, r)), 0, 1e-9);
            const bool onEdge = std::fabs(c + 0.5) < 1e-9 || std::fabs(c - 39.5) < 1e-9 || std::fabs(r + 0.5) < 1e-9 ||
                                std::fabs(r - 29.5) < 1e-9;
            EXPECT_TRUE(onEdge) << c << "," << r;
        }
    }
    EXPECT_GT(cuts, 20);
}

TEST(ReadingLayout, LeavesOutMeasurementsWithUnsoundNumbersOrPoints) {
    const char* text = R"([
      {"kind": "distance", "normal": [0, 0, 1], "points": [[0, 0, 0], [3, 4, 0]], "value": 5},
      {"kind": "distance", "normal": [0, 0, 1], "points": [[0, 0, 0], ["x", 4, 0]], "value": 5},
      {"kind": "distance", "normal": [0, 0, 1], "points": [[0, 0, 0], [1, 2, 3], [4, 5, 6]], "value": 5},
      {"kind": "angle", "normal": [0, 0, 1], "points": [[0, 0, 0], [1, 0, 0]], "value": 90},
      {"kind": "ruler", "normal": [0, 0, 1], "points": [[0, 0, 0], [3, 4, 0]], "value": 5},
      {"kind": "distance", "normal": [0, 0, 0], "points": [[0, 0, 0], [3, 4, 0]], "value": 5},
      {"kind": "freehand", "normal": [0, 0, 1], "points": [[0, 0, 0], [3, 4, 0], [1, 1, 0]], "value": "big"}
    ])";
    const auto read = quarvia::measurementsFromJson(QJsonDocument::fromJson(text).array());
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].value, 5);
    const auto again = quarvia::measurementsFromJson(quarvia::measurementsToJson(read));
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].points, read[0].points);
}

// While a series arrives, its reformat volume is refreshed in place (not
// built again four times a second) and shows each image once it is there.
TEST_F(DicomHost, ArrivingImagesRefreshTheReformatVolumeInPlace) {
    std::vector<SliceRecipe> slices = sliceStack(6, 0, 0, 2);
    for (SliceRecipe& s : slices) s.slope = "1", s.intercept = "-1024";
    const std::vector<std::string> ids = addSlices(host->database(), slices);
    ASSERT_EQ(ids.size(), 6u);
    host->database().download().awaitImage(ids[3]);
    host->databaseChanged();
    const int group = host->database().groups().front()->id;
    ReformatVolume* volume = host->reading().volumeOf(group);
    ASSERT_NE(volume, nullptr);
    const quarvia::DicomImage& fourth = *host->database().image(ids[3]);
    const Vec3d centre = quarvia::planeOfImage(fourth, 3, 2.0).patientOf(3, 4);
    const double stored = fourth.raw(4 * 8 + 3) - 1024.0;
    EXPECT_NE(volume->valueAt(centre), stored) << "not arrived yet";
    host->database().download().imageArrived(ids[3]);
    host->databaseChanged();
    EXPECT_EQ(host->reading().volumeOf(group), volume);
    EXPECT_DOUBLE_EQ(volume->valueAt(centre), stored);
}

// Two series of one frame of reference, 100 mm apart: the 3D cursor pages
// the cell whose series holds the point and leaves the other alone.
TEST_F(DicomHost, CursorPagesTheSeriesHoldingThePointAndLeavesTheOthers) {
    std::vector<SliceRecipe> upper = sliceStack(6, 0, 0, 2), lower = sliceStack(6, 0, 0, 2);
    for (SliceRecipe& s : lower) {
        s.series += ".2";
        s.position = "0\\0\\" + std::to_string(100 + 2 * (s.instance - 1));
    }
    for (auto* stack : {&upper, &lower})
        for (SliceRecipe& s : *stack) s.frameOfReference = "1.2.826.0.1.3680043.9.7777.9";
    addSlices(host->database(), upper);
    addSlices(host->database(), lower);
    host->databaseChanged();
    const auto groups = host->database().groups();
    ASSERT_EQ(groups.size(), 2u);
    quarvia::CellGrid& grid = host->grid();
    ASSERT_TRUE(grid.putGroupInCell(groups[0]->id, 0) && grid.putGroupInCell(groups[1]->id, 1));
    quarvia::PanelView& near = *grid.cell(0)->panel()->view(0);
    quarvia::PanelView& far = *grid.cell(1)->panel()->view(0);
    far.imageIndex = 2;

    QVSetMagicX(groups[0]->id, 1.0, 1.5, 8.2);
    EXPECT_EQ(near.imageIndex, 4);
    EXPECT_EQ(far.imageIndex, 2) << "the point is 92 mm from the other series";
    EXPECT_NE(grid.cell(0)->panel()->cursorText(), "none");
    QVSetMagicX(groups[0]->id, 1.0, 1.5, 106.0);
    EXPECT_EQ(far.imageIndex, 3);
    EXPECT_EQ(near.imageIndex, 4);
    QVSetMagicX(0, 0, 0, 0);
    EXPECT_FALSE(host->reading().cursor().visible);
    EXPECT_EQ(grid.cell(1)->panel()->cursorText(), "none");
}

}  // namespace
}  // namespace hosttest
