// The segmentation file: a mask written over a series reads back the same
// (whatever order the shown slices are in), files that do not lie on the
// shown series are refused with the reason, and dciodvfy finds no error.
#include "plugin/host/SegmentationObject.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>

using namespace v3d;

namespace {

// A slightly oblique series with non-square pixels; 37 x 23 pixels make
// frames that do not end on a byte boundary.
SegSourceSeries makeSeries(int columns, int rows, int slices) {
    SegSourceSeries s;
    s.columns = columns;
    s.rows = rows;
    const double c = std::cos(0.1), n = std::sin(0.1);
    const double rowDir[3] = {c, n, 0}, colDir[3] = {-n, c, 0};
    std::copy(rowDir, rowDir + 3, s.rowDir);
    std::copy(colDir, colDir + 3, s.colDir);
    s.spacingX = 0.7;
    s.spacingY = 0.8;
    s.sliceThickness = 2.5;
    s.studyInstanceUid = "1.2.826.0.1.3680043.8.498.1001";
    s.seriesInstanceUid = "1.2.826.0.1.3680043.8.498.1002";
    s.frameOfReferenceUid = "1.2.826.0.1.3680043.8.498.1003";
    s.copiedAttributes = {{0x00100010, "Phantom^Head"}, {0x00100020, "PH-001"}, {0x00100030, "19700101"},
                          {0x00100040, "O"}, {0x00080020, "20240102"}, {0x00080030, "101500"},
                          {0x00200010, "1"}, {0x00080050, "A42"}, {0x00080090, ""},
                          {0x00081030, "Head phantom"}, {0x00080060, "CT" /* not study level: ignored */}};
    for (int z = 0; z < slices; ++z) {
        SegSourceImage image;
        image.sopClassUid = UID_CTImageStorage;
        image.sopInstanceUid = "1.2.826.0.1.3680043.8.498.2." + std::to_string(z + 1);
        image.position[0] = -120.25;
        image.position[1] = -98.5;
        image.position[2] = -40 + 2.5 * z;
        s.images.push_back(image);
    }
    return s;
}

// Blobs of varying density, with a few slices left empty.
std::vector<uint8_t> makeMask(const SegSourceSeries& s, unsigned seed) {
    std::mt19937 random(seed);
    const size_t plane = static_cast<size_t>(s.columns) * s.rows;
    std::vector<uint8_t> mask(plane * s.images.size(), 0);
    for (size_t z = 0; z < s.images.size(); ++z) {
        if (z % 4 == 1) continue;
        std::bernoulli_distribution kept(0.05 + 0.9 * static_cast<double>(z) / s.images.size());
        for (size_t i = 0; i < plane; ++i) mask[z * plane + i] = kept(random) ? 1 : 0;
    }
    return mask;
}

struct Written {
    SegSourceSeries series;
    std::vector<uint8_t> mask, bytes;
};

Written write(int columns, int rows, int slices, const SegClipBox* clip = nullptr) {
    Written w{makeSeries(columns, rows, slices), {}, {}};
    w.mask = makeMask(w.series, 7u * columns + rows);
    std::string detail;
    EXPECT_EQ(writeSegmentationObject(w.series, w.mask.data(), slices, SegSegmentDescription(), clip, "", "",
                                      w.bytes, &detail),
              SegObjectStatus::Ok)
        << detail;
    return w;
}

std::string tempPath(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/" + name + "." + std::to_string(::getpid()) + ".dcm";
}

void save(const std::vector<uint8_t>& bytes, const std::string& path) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// The written file with one change made through DCMTK, saved to `path`.
void saveChanged(const std::vector<uint8_t>& bytes, const std::string& path,
                 const std::function<void(DcmDataset&)>& change) {
    save(bytes, path);
    DcmFileFormat file;
    ASSERT_TRUE(file.loadFile(path.c_str()).good());
    change(*file.getDataset());
    ASSERT_TRUE(file.saveFile(path.c_str(), EXS_LittleEndianExplicit).good());
}

}  // namespace

TEST(SegmentationObject, MaskRoundTripsWhateverTheSliceOrder) {
    const SegClipBox clip{{1.5f, 30, 0, 22, 2, 9.25f}};
    const Written w = write(37, 23, 13, &clip);
    const size_t plane = 37 * 23;

    std::vector<uint8_t> mask;
    std::optional<SegClipBox> readClip;
    std::string detail;
    ASSERT_EQ(readSegmentationObjectBytes(w.bytes.data(), w.bytes.size(), w.series, mask, readClip, detail),
              SegObjectStatus::Ok)
        << detail;
    EXPECT_EQ(mask, w.mask);
    ASSERT_TRUE(readClip);
    EXPECT_TRUE(std::equal(clip.values, clip.values + 6, readClip->values));

    // Shown in the opposite order, the frames follow their positions.
    SegSourceSeries reversed = w.series;
    std::reverse(reversed.images.begin(), reversed.images.end());
    const std::string path = tempPath("seg_roundtrip");
    save(w.bytes, path);
    ASSERT_EQ(readSegmentationObject(path, reversed, mask, readClip, detail), SegObjectStatus::Ok) << detail;
    for (size_t z = 0; z < 13; ++z)
        EXPECT_TRUE(std::equal(mask.begin() + z * plane, mask.begin() + (z + 1) * plane,
                               w.mask.begin() + (12 - z) * plane))
            << "slice " << z;

    // A segmentation of the first slices only leaves the others empty, and
    // a file without the clip box has none.
    SegSourceSeries part = w.series;
    part.images.resize(5);
    std::vector<uint8_t> partBytes;
    ASSERT_EQ(writeSegmentationObject(part, w.mask.data(), 5, SegSegmentDescription(), nullptr, "", "", partBytes),
              SegObjectStatus::Ok);
    ASSERT_EQ(readSegmentationObjectBytes(partBytes.data(), partBytes.size(), w.series, mask, readClip, detail),
              SegObjectStatus::Ok)
        << detail;
    EXPECT_TRUE(std::equal(w.mask.begin(), w.mask.begin() + 5 * plane, mask.begin()));
    EXPECT_TRUE(std::all_of(mask.begin() + 5 * plane, mask.end(), [](uint8_t v) { return v == 0; }));
    EXPECT_FALSE(readClip);
    std::remove(path.c_str());
}

TEST(SegmentationObject, FilesOffTheShownSeriesAreRefusedWithTheReason) {
    const Written w = write(16, 12, 6);
    std::vector<uint8_t> mask;
    std::optional<SegClipBox> clip;
    std::string detail;
    auto readAs = [&](const SegSourceSeries& shown) {
        return readSegmentationObjectBytes(w.bytes.data(), w.bytes.size(), shown, mask, clip, detail);
    };
    auto shownWith = [&](const std::function<void(SegSourceSeries&)>& change) {
        SegSourceSeries s = w.series;
        change(s);
        return s;
    };

    EXPECT_EQ(readAs(shownWith([](SegSourceSeries& s) { s.frameOfReferenceUid = "1.2.3"; })),
              SegObjectStatus::OtherFrameOfReference);
    EXPECT_EQ(readAs(shownWith([](SegSourceSeries& s) { s.seriesInstanceUid = "1.2.3"; })), SegObjectStatus::OtherSeries);
    EXPECT_NE(detail.find("not the shown series"), std::string::npos) << detail;
    EXPECT_EQ(readAs(shownWith([](SegSourceSeries& s) { s.images[3].sopInstanceUid = "1.2.3"; })),
              SegObjectStatus::OtherSeries);
    EXPECT_EQ(readAs(shownWith([](SegSourceSeries& s) { s.columns = 17; })), SegObjectStatus::GridMismatch);
    EXPECT_EQ(readAs(shownWith([](SegSourceSeries& s) { s.colDir[2] = 0.01; })), SegObjectStatus::GridMismatch);
    EXPECT_EQ(readAs(shownWith([](SegSourceSeries& s) { s.images[2].position[2] += 0.5; })),
              SegObjectStatus::GridMismatch);
    EXPECT_NE(detail.find("frame 3"), std::string::npos) << detail;
    EXPECT_EQ(readAs(shownWith([](SegSourceSeries& s) { s.images.pop_back(); })), SegObjectStatus::GridMismatch);
    EXPECT_TRUE(mask.empty());

    const std::string path = tempPath("seg_refused");
    auto readChanged = [&](const std::function<void(DcmDataset&)>& change) {
        saveChanged(w.bytes, path, change);
        return readSegmentationObject(path, w.series, mask, clip, detail);
    };
    EXPECT_EQ(readChanged([](DcmDataset& d) { d.putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage); }),
              SegObjectStatus::NotSegmentation);
    EXPECT_EQ(readChanged([](DcmDataset& d) { d.putAndInsertString(DCM_SegmentationType, "FRACTIONAL"); }),
              SegObjectStatus::NotBinary);
    EXPECT_NE(detail.find("fractional"), std::string::npos) << detail;
    EXPECT_EQ(readChanged([](DcmDataset& d) { d.findAndDeleteElement(DCM_SegmentSequence); }),
              SegObjectStatus::NoSegment);
    EXPECT_EQ(readChanged([](DcmDataset& d) {
                  DcmItem* first = nullptr;
                  d.findAndGetSequenceItem(DCM_SegmentSequence, first, 0);
                  d.findOrCreateSequenceItem(DCM_SegmentSequence, first, -2);
                  d.findOrCreateSequenceItem(DCM_SegmentSequence, first, -2);
              }),
              SegObjectStatus::SeveralSegments);
    EXPECT_NE(detail.find("3 segments"), std::string::npos) << detail;
    EXPECT_EQ(readChanged([](DcmDataset& d) { d.putAndInsertString(DCM_NumberOfFrames, "2000000000"); }),
              SegObjectStatus::GridMismatch);
    EXPECT_EQ(readChanged([](DcmDataset& d) {
                  DcmItem* second = nullptr;
                  d.findAndGetSequenceItem(DCM_PerFrameFunctionalGroupsSequence, second, 1);
                  DcmItem* position = nullptr;
                  second->findAndGetSequenceItem(DCM_PlanePositionSequence, position, 0);
                  OFString first;
                  DcmItem* firstItem = nullptr;
                  d.findAndGetSequenceItem(DCM_PerFrameFunctionalGroupsSequence, firstItem, 0);
                  firstItem->findAndGetOFStringArray(DCM_ImagePositionPatient, first, OFTrue);
                  position->putAndInsertString(DCM_ImagePositionPatient, first.c_str());
              }),
              SegObjectStatus::GridMismatch);
    EXPECT_NE(detail.find("both lie on slice 1"), std::string::npos) << detail;
    EXPECT_EQ(readChanged([](DcmDataset& d) {
                  const Uint8 few[4] = {0xFF, 0, 0xFF, 0};
                  d.putAndInsertUint8Array(DCM_PixelData, few, 4);
              }),
              SegObjectStatus::Unreadable);
    std::remove(path.c_str());

    const uint8_t garbage[300] = {1, 2, 3};
    EXPECT_EQ(readSegmentationObjectBytes(garbage, sizeof garbage, w.series, mask, clip, detail),
              SegObjectStatus::Unreadable);
    EXPECT_EQ(readSegmentationObjectBytes(w.bytes.data(), w.bytes.size() / 2, w.series, mask, clip, detail),
              SegObjectStatus::Unreadable);
    EXPECT_TRUE(mask.empty());
    EXPECT_FALSE(clip);
}

TEST(SegmentationObject, DciodvfyFindsNoError) {
    if (std::system("command -v dciodvfy > /dev/null 2>&1") != 0) GTEST_SKIP() << "dciodvfy is not installed";
    const SegClipBox clip{{0, 15, 0, 11, 0, 5}};
    const Written w = write(16, 12, 6, &clip);
    const std::string path = tempPath("seg_dciodvfy");
    save(w.bytes, path);
    FILE* pipe = ::popen(("dciodvfy '" + path + "' 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) output += line;
    ::pclose(pipe);
    std::remove(path.c_str());
    EXPECT_TRUE(output.rfind("Error", 0) != 0 && output.find("\nError") == std::string::npos) << output;
}
