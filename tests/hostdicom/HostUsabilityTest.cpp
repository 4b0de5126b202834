// The host as a newcomer meets it: a small window keeps room for its cells,
// the keys follow the pointer into a cell, a folder dropped on a cell shows
// there, and a study row says whose study it is and of what.
#include "DicomHostFixture.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "ImagePanel.h"
#include "StudyBrowser.h"
#include "SessionMemory.h"
#include "ViewerFrame.h"
#include "dicom/StudyDatabase.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>
#include <QTreeWidget>

using hosttest::DicomHost;

namespace {

class HostUsability : public DicomHost {};

TEST_F(HostUsability, SmallWindowShrinksTheDocksNotTheCellsAndKeysFollowThePointer) {
    host->resize(1400, 900);
    host->show();
    host->activateWindow();
    QApplication::processEvents();
    host->viewer().browser().show();
    QApplication::processEvents();
    host->resize(640, 480);
    QApplication::processEvents();
    EXPECT_LE(host->viewer().browser().width(), 640 * 36 / 100 + 1);
    EXPECT_GE(host->grid().width(), 640 / 2);

    if (!host->isActiveWindow()) GTEST_SKIP() << "the platform gives no active window";
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(host->grid().cell(3)->panel(), &enter);
    EXPECT_TRUE(host->grid().cell(3)->panel()->hasFocus());
}

TEST_F(HostUsability, FolderDroppedOnACellShowsThereAndItsStudyRowSaysWhatItIs) {
    host->openPaths({phantom("head", {"--size", "32x32x12"})});
    host->openPaths({phantom("second", {"--size", "32x32x12"})}, 2);
    const std::vector<const quarvia::SeriesGroup*> groups = host->database().groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(host->grid().cell(0)->panel()->groupId(), groups[0]->id);
    EXPECT_EQ(host->grid().cell(2)->panel()->groupId(), groups[1]->id);
    QTreeWidgetItem* study = host->viewer().browser().tree()->topLevelItem(0);
    ASSERT_NE(study, nullptr);
    EXPECT_TRUE(study->text(0).contains('\n')) << "date and description on their own line";
    EXPECT_EQ(study->text(1), "CT");
}

TEST_F(HostUsability, AFileOpenedByNameIsNeverSkippedSilentlyAndTheNextSessionKeepsTheGrid) {
    QFile notes(dir.filePath("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not an image");
    notes.close();
    host->openPaths({notes.fileName()});
    EXPECT_TRUE(host->statusBar()->currentMessage().contains("notes.txt: not a DICOM file"))
        << host->statusBar()->currentMessage().toStdString();
    EXPECT_TRUE(host->sessionPaths().isEmpty()) << "nothing was opened";

    const QString folder = phantom("head", {"--size", "32x32x12"});
    host->openPaths({folder});
    host->grid().setGridLayout(1, 2);
    quarvia::SessionMemory(*host).save(host->sessionPaths());
    host.reset();
    host = std::make_unique<quarvia::HostWindow>(options);
    quarvia::SessionMemory memory(*host);
    memory.restoreWindow(false, false);
    EXPECT_EQ(host->grid().rows(), 1);
    EXPECT_EQ(host->grid().columns(), 2);
    EXPECT_TRUE(QFileInfo::exists(memory.layoutFile()));
}

}  // namespace
