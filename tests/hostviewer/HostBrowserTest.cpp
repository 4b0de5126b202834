// The study browser and the File menu, driven through their widgets in the
// real host: what it lists, double-click and drag to cells (a 3D window
// included), files dropped from the desktop, recent items, closing a study.
#include "HostRun.h"
#include "TestDicom.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>

namespace {

using namespace hostviewer;

const QString kPlugins = QString(VEXEL3D_LIBRARY);

// The browser's lines of a run ("browser: ..." on the output).
QStringList browserLines(const QString& out) {
    QStringList lines;
    for (const QString& line : out.split('\n'))
        if (line.startsWith("browser: ")) lines << line.mid(9);
    return lines;
}

// Two studies: a chest of 6 even slices and a head of 4 slices 7.5 mm apart after the second.
void writeTwoStudies(const QString& folder) {
    QDir().mkpath(folder + "/chest");
    QDir().mkpath(folder + "/head");
    std::vector<TestImage> chest = testSeries(6);
    for (size_t i = 0; i < chest.size(); ++i) {
        chest[i].seriesDescription = "Chest even";
        ASSERT_TRUE(writeTestImage(chest[i], folder + QString("/chest/%1.dcm").arg(i + 1)));
    }
    std::vector<TestImage> head = testSeries(4, {0, 5, 12.5, 17.5});
    for (size_t i = 0; i < head.size(); ++i) {
        head[i].study = "1.2.826.0.1.3680043.9.7781.2";
        head[i].series = "1.2.826.0.1.3680043.9.7781.2.1";
        head[i].patientName = "Other^Person";
        head[i].seriesDescription = "Head uneven";
        head[i].modality = "MR";
        ASSERT_TRUE(writeTestImage(head[i], folder + QString("/head/%1.dcm").arg(i + 1)));
    }
}

TEST(HostBrowser, ListsTheCorpusStudiesAndSeriesWithTheirImageCounts) {
    if (!QFileInfo(CORPUS_DIR "/ct-chest-5mm").isDir()) GTEST_SKIP() << "corpus absent";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"), "open " CORPUS_DIR "\nbrowser\n");
    ASSERT_TRUE(ranCleanly(run));
    const QStringList lines = browserLines(run.out);
    QStringList studies, series;
    for (const QString& line : lines) {
        const QStringList fields = line.split(" | ");
        if (line.startsWith("study ")) studies << fields.value(2) + " " + fields.value(3);
        // Modality, count and a thumbnail; the descriptions are the files' own.
        if (line.startsWith("series ")) series << fields.value(2) + " " + fields.value(3) + " " + fields.value(5);
    }
    // The mixed folder's second series repeats 8 images of the 5 mm chest:
    // they are skipped as duplicates, its other series has 8 images.
    std::sort(studies.begin(), studies.end());
    std::sort(series.begin(), series.end());
    EXPECT_EQ(studies.join(", ").toStdString(),
              "1 series 24 images, 1 series 28 images, 1 series 35 images, 1 series 60 images, 2 series 72 images")
        << lines.join('\n').toStdString();
    EXPECT_EQ(series.join(", ").toStdString(),
              "CT 24 images thumbnail yes, CT 28 images thumbnail yes, CT 60 images thumbnail yes, "
              "CT 64 images thumbnail yes, CT 8 images thumbnail yes, MR 35 images thumbnail yes")
        << lines.join('\n').toStdString();
}

TEST(HostBrowser, DoubleClickAndDragShowASeriesInACell) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeTwoStudies(dir.filePath("data"));
    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                             "open " + dir.filePath("data") + "\n"
                             "browser\n"
                             "expect-cell 0 0\n"
                             "cell 3\n"
                             "browser-activate 1\n"
                             "expect-cell 3 1\n"
                             "browser-drag 1 2\n"
                             "expect-cell 2 1\n"
                             "browser-drag 0 3\n"
                             "expect-cell 3 0\n"
                             "expect-cell 1 none\n");
    ASSERT_TRUE(ranCleanly(run));
    const QStringList lines = browserLines(run.out);
    ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
    EXPECT_TRUE(lines[1].contains("Chest even | CT | 6 images | loaded all | thumbnail yes")) << lines[1].toStdString();
    EXPECT_TRUE(lines[3].contains("Head uneven | MR | 4 images")) << lines[3].toStdString();
}

// A drop onto a 3D window goes the way of a dropped panel: the plug-in asks
// for a volume of the series, and the host tells why this one cannot be one.
TEST(HostBrowser, SeriesDraggedOntoA3DWindowIsTakenByIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeTwoStudies(dir.filePath("data"));
    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                             "cell 1\n"
                             "menu &Postprocessing\\Vexel 3D\\&Create\n"
                             "expect-window 1\n"
                             "open " + dir.filePath("data") + "\n"
                             "expect-no-message not evenly spaced\n"
                             "browser-drag 1 1\n"
                             "expect-message slices are not evenly spaced: gap of 7.5 mm after slice 2 where 5 mm was expected\n"
                             "expect-window 1\n");
    ASSERT_TRUE(ranCleanly(run));
}

TEST(HostBrowser, DesktopDropOpensAndIsRememberedThenCloseStudyEmptiesItsCells) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeTwoStudies(dir.filePath("data"));
    auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                       "drop-files 2 " + dir.filePath("data/head") + "\n"
                       "browser\n"
                       "expect-cell 2 0\n");
    ASSERT_TRUE(ranCleanly(run));
    EXPECT_EQ(browserLines(run.out).size(), 2) << run.out.toStdString();
    const QString recent =
        QSettings(dir.filePath("home/profile.ini"), QSettings::IniFormat).value("Quarvia [0] Recent/Recent1").toString();
    EXPECT_EQ(recent, QFileInfo(dir.filePath("data/head")).absoluteFilePath());

    // The next start offers it under Open Recent.
    run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                  "menu &File\\Open &Recent\\" + recent + "\n"
                  "open " + dir.filePath("data/chest") + "\n"
                  "series 1 1\n"
                  "expect-cell 0 0\n"
                  "expect-cell 1 1\n"
                  "cell 0\n"
                  "menu &File\\&Close Study\n"
                  "browser\n"
                  "expect-cell 0 none\n"
                  "expect-cell 1 0\n");
    ASSERT_TRUE(ranCleanly(run));
    const QStringList lines = browserLines(run.out);
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
    EXPECT_TRUE(lines[1].contains("Chest even")) << lines[1].toStdString();
}

// While images arrive one after another, the series shows how many have.
TEST(HostBrowser, LoadStateFollowsTheArrivingImages) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeTwoStudies(dir.filePath("data"));
    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                             "open " + dir.filePath("data/head") + "\n"
                             "browser\n"
                             "wait 2600\n"
                             "browser\n",
                             {"--simulate-download", "0.5"});
    ASSERT_TRUE(ranCleanly(run));
    const QStringList lines = browserLines(run.out);
    ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
    // Four images take two seconds: at first some are missing, in the end none.
    EXPECT_TRUE(lines[1].contains(QRegularExpression("loaded [0-3]/4 "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[3].contains("loaded all")) << lines[3].toStdString();
}

}  // namespace
