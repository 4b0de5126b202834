// The phantom head as the host assembles it: what the demo pictures rely on
// (the orientation marker, smooth boundaries, a table apart from the head).
#include "DicomHostFixture.h"

#include <cmath>

namespace hosttest {
namespace {

double huAt(const QVVolumeRecord& v, int column, int row, int slice) {
    const size_t i = (size_t(slice) * v.rows + row) * v.columns + column;
    return (v.values[i] + v.rawBase) * v.slope + v.intercept;
}

TEST_F(DicomHost, PhantomMarkerStandsOnThePatientsLeftForehead) {
    host->openPaths({phantom("ph", {"--size", "128x128x80", "--spacing", "1.8", "--step", "2"})});
    QVVolumeRecord* v = createVolume(groupIds());
    ASSERT_NE(v, nullptr);
    ASSERT_DOUBLE_EQ(v->rowDir[0], 1.0);  // columns run to the patient's left
    ASSERT_DOUBLE_EQ(v->colDir[1], 1.0);  // rows run to the back
    // Only the marker is denser than the contrast in the vessels.
    int count = 0, elsewhere = 0;
    for (int k = 0; k < v->slices; ++k)
        for (int r = 0; r < v->rows; ++r)
            for (int c = 0; c < v->columns; ++c) {
                if (huAt(*v, c, r, k) < 2000) continue;
                ++count;
                const double x = v->origin[0] + c * v->spacingX;
                const double y = v->origin[1] + r * v->spacingY;
                const double z = v->origin[2] + k * v->spacingZ;
                if (!(x > 10 && y < -40 && z > 10)) ++elsewhere;
            }
    EXPECT_GT(count, 20);
    EXPECT_EQ(elsewhere, 0);
    QVReleaseVolume(v);
}

// Along the midline from the front, air turns into skin over one or two
// voxels of values in between, not in one step.
TEST_F(DicomHost, PhantomSkinIsBlendedOverAboutAVoxel) {
    host->openPaths({phantom("ph", {"--size", "16x256x4", "--spacing", "0.9", "--step", "1"})});
    QVVolumeRecord* v = createVolume(groupIds());
    ASSERT_NE(v, nullptr);
    const int column = 8, slice = 2;
    int between = 0, row = 0;
    for (; row < v->rows && huAt(*v, column, row, slice) < -100; ++row) between += huAt(*v, column, row, slice) > -900;
    ASSERT_LT(row, v->rows) << "no skin on the midline";
    EXPECT_GE(between, 1);
    EXPECT_LE(between, 3);
    QVReleaseVolume(v);
}

// The back of the head clears the table: air between them on the midline,
// so the table is an object of its own.
TEST_F(DicomHost, PhantomTableIsApartFromTheHead) {
    host->openPaths({phantom("ph", {"--size", "16x256x4", "--spacing", "0.9", "--step", "1"})});
    QVVolumeRecord* v = createVolume(groupIds());
    ASSERT_NE(v, nullptr);
    const int column = 8, slice = 2;
    int row = v->rows - 1;
    while (row >= 0 && huAt(*v, column, row, slice) < 150) --row;  // up from below to the table's underside
    ASSERT_GE(row, 0) << "no table";
    while (row >= 0 && huAt(*v, column, row, slice) > -950) --row;  // through the board
    int air = 0;
    while (row >= 0 && huAt(*v, column, row, slice) < -950) --row, ++air;
    ASSERT_GE(row, 0) << "no head above the table";
    EXPECT_GE(air, 3);
    EXPECT_GT(huAt(*v, column, row, slice), -950);
    QVReleaseVolume(v);
}

}  // namespace
}  // namespace hosttest
