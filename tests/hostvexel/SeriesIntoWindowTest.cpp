// A phantom head series opened in the reference host, shown in a cell and
// dropped into a 3D window: the window builds the volume the host assembled.
#include "DicomHostFixture.h"

#include "CellGrid.h"

#include "HostCell.h"
#include "dicom/StudyDatabase.h"
#include "plugin/frame/CBackground.h"
#include "plugin/frame/CPerspective.h"
#include "volume/CVolume.h"
#include "volume/SeriesDefaults.h"

#include "QVMessage.h"

#include <QApplication>
#include <QDir>

#include <algorithm>
#include <numeric>

using namespace v3d;

using hosttest::DicomHost;

namespace {

class SeriesIntoWindow : public DicomHost {
protected:
    void TearDown() override {
        delete frame;
        DicomHost::TearDown();
    }
    // Opens the folder, shows its first group in cell 0 and drops that
    // panel into a new 3D window in cell 1.
    void dropFolder(const QString& folder) {
        host->openPaths({folder});
        const auto groups = host->database().groups();
        ASSERT_FALSE(groups.empty());
        ASSERT_TRUE(host->grid().putGroupInCell(groups.front()->id, 0));
        frame = v3d::CBackground::createInCell(host->grid().cell(1));
        ASSERT_NE(frame, nullptr);
        qv::sendMessage(frame->handle(), QV_MSG_DROP_PANEL,
                        reinterpret_cast<uintptr_t>(quarvia::CellGrid::handleOf(host->grid().cell(0)->panel())), 0);
    }

    v3d::CBackground* frame = nullptr;
};

TEST_F(SeriesIntoWindow, PhantomBecomesAClassifiedVolume) {
    dropFolder(phantom("head", {"--size", "64x56x40", "--spacing", "0.9", "--step", "1.5"}));
    ASSERT_EQ(frame->series.m_bHasSeries, 1);
    EXPECT_EQ(frame->series.loadedOk, 1);
    ASSERT_NE(frame->series.hostVolume, nullptr);
    EXPECT_EQ(frame->series.imageIds.size(), 40u) << "the one image of the panel stands for its series";

    const CVolume& v = *frame->volume;
    EXPECT_EQ(v.sizeX, 64);
    EXPECT_EQ(v.sizeY, 56);
    EXPECT_EQ(v.sizeZ, 40);
    EXPECT_FLOAT_EQ(v.minSpacing, 0.9f);
    // Slices 1.5 apart in units of the 0.9 pixel spacing.
    const Vec3 zColumn = v.axisMatrix.column(2);
    EXPECT_NEAR(length(zColumn), 1.5f / 0.9f, 1e-4f);
    EXPECT_NEAR(v.extent.z * 0.9f, 40 * 1.5f, 1e-2f);
    EXPECT_FLOAT_EQ(v.rescaleSlope, static_cast<float>(frame->series.hostVolume->slope));

    // Equal-population classes: rising thresholds, every voxel counted.
    for (int i = 1; i < CVolume::kClassCount; ++i) EXPECT_LE(v.classThresholds[i - 1], v.classThresholds[i]);
    const uint64_t voxels = std::accumulate(v.histogram.begin(), v.histogram.end(), uint64_t{0});
    EXPECT_EQ(voxels, 64u * 56u * 40u);
    EXPECT_EQ(v.storedToHU(v.isoStored), -300);
    EXPECT_EQ(v.isoClass, v.classOf(v.isoStored));

    frame->view()->resize(300, 300);
    frame->view()->requestRender(true);
    frame->view()->m_iInterruptLevel = 1;
    frame->view()->renderFrame();
    frame->view()->stopRenderers();
    int lit = 0;
    for (int x = 0; x < 256; x += 4)
        for (int y = 0; y < 256; y += 4) {
            uint8_t r, g, b;
            frame->view()->getPixel(x, y, r, g, b);
            lit += r > 0 ? 1 : 0;
        }
    EXPECT_GT(lit, 10) << "the head's skin is in view";
}

TEST_F(SeriesIntoWindow, CorpusChestMatchesTheHostsRecord) {
    const QString corpus = hosttest::corpusFolder();
    if (corpus.isEmpty()) GTEST_SKIP() << "no corpus";
    dropFolder(QDir(corpus).filePath("ct-chest-5mm"));
    ASSERT_EQ(frame->series.m_bHasSeries, 1);
    const CVolume& v = *frame->volume;
    EXPECT_EQ(v.sizeX, 512);
    EXPECT_EQ(v.sizeZ, 64);
    EXPECT_NEAR(v.minSpacing, 0.8418f, 1e-3f);
    EXPECT_EQ(v.storedToHU(0), -1024);
    EXPECT_EQ(v.rawTop, 4000);
}

TEST_F(SeriesIntoWindow, CorpusSeriesWithUnevenSlicesFailsTheLoad) {
    const QString corpus = hosttest::corpusFolder();
    if (corpus.isEmpty()) GTEST_SKIP() << "no corpus";
    dropFolder(QDir(corpus).filePath("ct-head-tilt-varspacing"));
    EXPECT_EQ(frame->series.m_bHasSeries, 0);
    EXPECT_EQ(frame->series.loadedOk, 0);
    ASSERT_FALSE(host->messageLog().isEmpty());
    EXPECT_TRUE(host->messageLog().last().contains("not parallel/equidistant"));
    // The host's own reason, not a setting this host does not have.
    EXPECT_FALSE(host->messageLog().last().contains("Split Series")) << host->messageLog().last().toStdString();
    EXPECT_TRUE(host->messageLog().last().contains("not evenly spaced")) << host->messageLog().last().toStdString();
}

// The lit pixels of the refined picture.
int litPixels(CPerspective& view) {
    view.renderForExport(256, 256, nullptr);
    const uint8_t* bits = view.imageBits();
    int lit = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint8_t* p = bits + size_t(y) * ViewCore::kRowBytes + size_t(x) * 3;
            lit += p[0] + p[1] + p[2] >= 30 ? 1 : 0;
        }
    return lit;
}

TEST_F(SeriesIntoWindow, CorpusMRFirstPictureShowsTheHeadNotItsBox) {
    const QString corpus = hosttest::corpusFolder();
    if (corpus.isEmpty()) GTEST_SKIP() << "no corpus";
    dropFolder(QDir(corpus).filePath("mr-head-t1-sagittal"));
    ASSERT_EQ(frame->series.m_bHasSeries, 1);
    EXPECT_EQ(frame->series.modality, "MR");
    CPerspective& view = *frame->view();
    const int own = litPixels(view);
    // With CT numbers the noise around the head lies above the surface: the
    // whole box is lit, and its outline is what the head must not fill.
    frame->volume->setIsoValue(kDefaultIsoHU);
    frame->volume->setWindowLevel(kDefaultLevelHU, kDefaultWidthHU);
    const int box = litPixels(view);
    EXPECT_LT(own, box * 9 / 10) << "the first picture fills the box";
    EXPECT_GT(own, box * 4 / 10) << "the first picture shows little of the head";
    // The quick thresholds are CT numbers: not offered here.
    QVCommandState state{1, 0};
    ASSERT_TRUE(frame->onCommand(6000, QV_CN_UPDATE_COMMAND_UI, &state, nullptr));
    EXPECT_EQ(state.enabled, 0);
}

}  // namespace
