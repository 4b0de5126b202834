// Opening files and folders: studies, groups, images, panels and bad input.
#include "DicomHostFixture.h"

#include "CellGrid.h"

#include "HostCell.h"
#include "ImagePanel.h"
#include "dicom/StudyDatabase.h"

#include <QFile>

namespace hosttest {
namespace {

TEST_F(DicomHost, PhantomFolderBecomesOneStudyOneGroup) {
    const QString folder = phantom("ph", {"--size", "64x48x12"});
    EXPECT_TRUE(host->openPaths({folder}).isEmpty());
    ASSERT_EQ(QVGetStudyCount(), 1);
    const std::string study = take(QVGetStudyUID(0));
    EXPECT_EQ(QVGetGroupCount(study.c_str()), 1);
    const std::vector<std::string> ids = groupIds();
    ASSERT_EQ(ids.size(), 12u);
    EXPECT_EQ(take(QVImageSOPInstanceUID(ids[0].c_str())), ids[0]);
    EXPECT_EQ(QVImageGetRows(ids[0].c_str()), 48);
    EXPECT_EQ(QVImageGetColumns(ids[0].c_str()), 64);
    EXPECT_EQ(QVImageGetType(ids[0].c_str()), 1);
    EXPECT_EQ(QVGetGroupOfImage(ids[3].c_str()), QVGetGroup(study.c_str(), 0));
    // The first group lands in the first cell, the view shows one of its images.
    QVPanelHandle panel = QVGetImagePanelOfPlace(quarvia::CellGrid::placeOf(*host->grid().cell(0)));
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(QVGetViewCount(panel), 1);
    EXPECT_EQ(QVGetActiveView(panel), 0);
    QVViewHandle view = QVGetView(panel, 0);
    EXPECT_EQ(QVGetImagePanelOfView(view), panel);
    const std::string shown = take(QVGetImageID(view));
    EXPECT_NE(std::find(ids.begin(), ids.end(), shown), ids.end());
    EXPECT_EQ(take(QVGetActiveImage()), shown);
}

TEST_F(DicomHost, WindowLevelComesFromTheImage) {
    host->openPaths({phantom("ph", {"--size", "32x32x4"})});
    QVViewHandle view = QVGetView(QVGetImagePanelOfPlace(quarvia::CellGrid::placeOf(*host->grid().cell(0))), 0);
    WindowLevelRecord record{};
    ASSERT_EQ(QVGetWindowLevel(view, &record), 1);
    EXPECT_EQ(record.size, 1056);
    EXPECT_EQ(record.valid, 1);
    EXPECT_EQ(record.width, 400);
    EXPECT_EQ(record.level, 40);
    EXPECT_EQ(QVGetWindowLevel(view, nullptr), 0);
}

TEST_F(DicomHost, WheelScrollsThroughTheSeries) {
    host->openPaths({phantom("ph", {"--size", "32x32x10"})});
    quarvia::ImagePanel* panel = host->grid().cell(0)->panel();
    QVViewHandle view = QVGetView(quarvia::CellGrid::handleOf(panel), 0);
    const std::string before = take(QVGetImageID(view));
    panel->scroll(100);
    EXPECT_EQ(take(QVGetImageID(view)), groupIds().back());
    panel->scroll(-100);
    EXPECT_EQ(take(QVGetImageID(view)), groupIds().front());
    EXPECT_NE(before, groupIds().front());
}

TEST_F(DicomHost, CorruptAndForeignFilesAreSkippedByName) {
    const QString folder = phantom("ph", {"--size", "32x32x3"});
    QFile truncated(folder + "/0002.dcm");
    ASSERT_TRUE(truncated.open(QIODevice::ReadWrite));
    truncated.resize(600);
    truncated.close();
    QFile junk(folder + "/junk.bin");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not DICOM at all");
    junk.close();
    const QStringList problems = host->openPaths({folder, dir.filePath("missing")});
    ASSERT_EQ(problems.size(), 3) << problems.join('\n').toStdString();
    EXPECT_TRUE(problems.join('\n').contains("0002.dcm"));
    EXPECT_TRUE(problems.join('\n').contains("junk.bin"));
    EXPECT_TRUE(problems.join('\n').contains("missing"));
    EXPECT_EQ(groupIds().size(), 2u);
}

TEST_F(DicomHost, SameFileTwiceIsOneImage) {
    const QString folder = phantom("ph", {"--size", "32x32x3"});
    host->openPaths({folder});
    EXPECT_EQ(host->openPaths({folder + "/0001.dcm"}).size(), 1);
    EXPECT_EQ(groupIds().size(), 3u);
}

TEST_F(DicomHost, NullAndStaleHandlesAnswerNothing) {
    host->openPaths({phantom("ph", {"--size", "32x32x3"})});
    const auto bogusGroup = reinterpret_cast<QVGroupHandle>(uintptr_t(999));
    const auto bogusPanel = reinterpret_cast<QVPanelHandle>(uintptr_t(0x1234));
    const auto bogusView = reinterpret_cast<QVViewHandle>(uintptr_t(0x5678));
    const auto bogusDataset = reinterpret_cast<QVDatasetHandle>(uintptr_t(0x9abc));
    EXPECT_EQ(QVGetImageCount(bogusGroup), 0);
    EXPECT_EQ(QVGetGroupImageID(bogusGroup, 0), nullptr);
    EXPECT_EQ(QVGetGroupImageID(QVGetGroupOfImage(groupIds()[0].c_str()), 3), nullptr);
    EXPECT_EQ(QVGetViewCount(bogusPanel), 0);
    EXPECT_EQ(QVGetView(bogusPanel, 0), nullptr);
    EXPECT_EQ(QVGetImageID(bogusView), nullptr);
    EXPECT_EQ(QVGetImageID(nullptr), nullptr);
    WindowLevelRecord record{};
    EXPECT_EQ(QVGetWindowLevel(bogusView, &record), 0);
    EXPECT_EQ(QVGetDicomStringArray(bogusDataset, 0x0010, 0x0010), nullptr);
    EXPECT_EQ(QVGetDicomDataSet(nullptr), nullptr);
    EXPECT_EQ(QVImageGetRows(nullptr), 0);
    EXPECT_EQ(QVGetSeriesUID("1.2.3.unknown"), nullptr);
    EXPECT_EQ(QVGetGroupCount(nullptr), 0);
    EXPECT_EQ(QVPutGroupToPlace(reinterpret_cast<QVPlaceHandle>(uintptr_t(77)), QVGetGroupOfImage(groupIds()[0].c_str())), 0);
    QVUpdateVolume(reinterpret_cast<QVVolumeRecord*>(&record));
    QVReleaseVolume(reinterpret_cast<QVVolumeRecord*>(&record));
    QVReleaseVolume(nullptr);
}

TEST_F(DicomHost, PutGroupToPlaceShowsItInThatCell) {
    host->openPaths({phantom("ph", {"--size", "32x32x3"})});
    QVGroupHandle group = QVGetGroupOfImage(groupIds()[0].c_str());
    QVPlaceHandle place = quarvia::CellGrid::placeOf(*host->grid().cell(3));
    EXPECT_EQ(QVGetImagePanelOfPlace(place), nullptr);
    ASSERT_EQ(QVPutGroupToPlace(place, group), 1);
    QVPanelHandle panel = QVGetImagePanelOfPlace(place);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(QVGetPlaceOfImagePanel(panel), place);
    QVReleasePlace(place);
}

}  // namespace
}  // namespace hosttest
