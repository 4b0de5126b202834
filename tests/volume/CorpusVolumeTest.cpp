// A real chest CT through build, classify and the surface primitives. Skips
// when the corpus is not beside the repository.

#include "volume/CVolume.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace v3d;

namespace {

struct Series {
    int columns = 0, rows = 0;
    double spacing[2] = {0, 0};
    double firstZ = 0, lastZ = 0;
    double intercept = 0, slope = 1;
    std::vector<std::vector<uint16_t>> slices;
};

bool loadSeries(const std::filesystem::path& folder, int count, Series& s)
{
    for (int n = 1; n <= count; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "%04d.dcm", n);
        DcmFileFormat file;
        if (file.loadFile((folder / name).c_str()).bad())
            return false;
        DcmDataset* d = file.getDataset();
        Uint16 rows = 0, columns = 0;
        const Uint16* pixels = nullptr;
        Float64 z = 0;
        if (d->findAndGetUint16(DCM_Rows, rows).bad() || d->findAndGetUint16(DCM_Columns, columns).bad()
            || d->findAndGetUint16Array(DCM_PixelData, pixels).bad()
            || d->findAndGetFloat64(DCM_ImagePositionPatient, z, 2).bad())
            return false;
        if (n == 1) {
            s.rows = rows;
            s.columns = columns;
            d->findAndGetFloat64(DCM_PixelSpacing, s.spacing[0], 0);
            d->findAndGetFloat64(DCM_PixelSpacing, s.spacing[1], 1);
            d->findAndGetFloat64(DCM_RescaleIntercept, s.intercept);
            d->findAndGetFloat64(DCM_RescaleSlope, s.slope);
            s.firstZ = z;
        }
        s.lastZ = z;
        s.slices.emplace_back(pixels, pixels + size_t(rows) * columns);
    }
    return true;
}

} // namespace

TEST(CorpusVolume, ChestCtClassifiesAndFindsTheSkin)
{
    const std::filesystem::path folder
        = std::filesystem::path(VEXEL_CORPUS_DIR) / "ct-chest-5mm";
    if (!std::filesystem::exists(folder / "0064.dcm"))
        GTEST_SKIP() << "corpus not present at " << folder;
    Series s;
    ASSERT_TRUE(loadSeries(folder, 64, s));
    std::vector<uint16_t*> slices;
    for (auto& slice : s.slices)
        slices.push_back(slice.data());
    const float step = float((s.lastZ - s.firstZ) / 63.0);
    CVolume v;
    ASSERT_TRUE(v.build(s.columns, s.rows, 64, nullptr, slices.data(), float(s.spacing[1]),
                        float(s.spacing[0]), step, {}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}));
    EXPECT_NEAR(v.axisMatrix(2, 2), 5.0f / 0.8418f, 0.01f);
    v.classify(0, 4095, float(s.intercept), float(s.slope));

    uint64_t total = 0;
    for (uint32_t count : v.histogram)
        total += count;
    EXPECT_EQ(total, uint64_t(512) * 512 * 64);
    for (int i = 1; i < CVolume::kClassCount; ++i)
        EXPECT_LE(v.classThresholds[size_t(i - 1)], v.classThresholds[size_t(i)]);
    // Air around the body and in the lungs is a large share of a chest CT.
    EXPECT_GE(v.classOf(v.huToStored(-700)), 15);
    EXPECT_EQ(v.storedToHU(v.isoStored), -300);

    // From in front of the chest, straight back through the middle: the
    // first surface at -300 HU is the skin, with air before it and tissue
    // after, and its normal points into the body (+y).
    int hits = 0;
    for (int k = 20; k < 44; k += 4) {
        Vec3 p(256.5f, 5.5f, float(k) + 0.5f);
        float distance = 0;
        int result = -1;
        while (result == -1 && p.y < 500) {
            if (v.cellBelowIso(p)) {
                p += Vec3(0, 1, 0);
                continue;
            }
            result = v.marchToIso(p, {0, 1, 0}, 0, distance);
        }
        ASSERT_EQ(result, 0) << "slice " << k;
        ++hits;
        EXPECT_LT(v.sampleTrilinear(p.x, p.y - 1.0f, p.z), v.isoStored);
        EXPECT_GE(v.sampleTrilinear(p.x, p.y + 1.0f, p.z), v.isoStored);
        const Vec3 n = v.normalAt(p);
        EXPECT_GT(n.y, 0.5f) << "slice " << k;
    }
    EXPECT_EQ(hits, 6);
}
