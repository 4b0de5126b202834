// What the user is told in the window's message list: each file skipped on
// open with its name and the reason in plain words, and why a series does
// not become a volume.
#include "HostRun.h"
#include "TestDicom.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using namespace hostviewer;

const QString kPlugins = QString(VEXEL3D_LIBRARY);

TEST(HostMessages, SkippedFilesAreListedWithTheirNameAndThePlainReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("study");
    QDir().mkpath(folder);
    const std::vector<TestImage> series = testSeries(3);
    ASSERT_TRUE(writeTestImage(series[0], folder + "/a_first.dcm"));
    ASSERT_TRUE(writeTestImage(series[0], folder + "/b_again.dcm"));  // the same image a second time
    ASSERT_TRUE(writeTestImage(series[1], folder + "/c_cut.dcm"));
    QFile cut(folder + "/c_cut.dcm");
    ASSERT_TRUE(cut.resize(cut.size() - 200));  // ends inside the pixel data
    QFile text(folder + "/d_notes.dcm");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("These are a radiologist's notes, not an image.\n");
    text.close();
    ASSERT_TRUE(writeTestImage(series[2], folder + "/e_last.dcm"));

    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                             "open " + folder + "\n"
                             "messages\n"
                             "expect-message b_again.dcm: duplicate image\n"
                             "expect-message c_cut.dcm: truncated\n"
                             "expect-message d_notes.dcm: not a DICOM file\n"
                             "expect-no-message a_first.dcm:\n"
                             "expect-no-message e_last.dcm:\n");
    ASSERT_TRUE(ranCleanly(run));
}

TEST(HostMessages, CommandLinePathsThatAreMissingOrEmptyAreListed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir().mkpath(dir.filePath("empty-folder"));
    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                             "messages\n"
                             "expect-message empty-folder: no DICOM images in this folder\n"
                             "expect-message missing-scan.dcm: no such file or folder\n",
                             {dir.filePath("empty-folder"), dir.filePath("missing-scan.dcm")});
    ASSERT_TRUE(ranCleanly(run));
}

TEST(HostMessages, UnevenSliceGapIsNamedWhenTheSeriesIsMadeIntoAVolume) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("uneven");
    QDir().mkpath(folder);
    const std::vector<TestImage> series = testSeries(6, {0, 5, 10, 17.5, 22.5, 27.5});
    for (size_t i = 0; i < series.size(); ++i)
        ASSERT_TRUE(writeTestImage(series[i], folder + QString("/%1.dcm").arg(i + 1)));
    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                             "open " + folder + "\n"
                             "cell 0\n"
                             "menu &Postprocessing\\Vexel 3D\\&Create\n"
                             "messages\n"
                             "expect-message No 3D volume from 6 images of series \"Test series\": slices are not evenly "
                             "spaced: gap of 7.5 mm after slice 3 where 5 mm was expected\n");
    ASSERT_TRUE(ranCleanly(run));
}

TEST(HostMessages, CorpusSeriesWithVariableSpacingIsRefusedWithItsGap) {
    if (!QFileInfo(CORPUS_DIR "/ct-head-tilt-varspacing").isDir()) GTEST_SKIP() << "corpus absent";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto run = runHost(QUARVIA_EXECUTABLE, kPlugins, dir.filePath("home"),
                             "open " CORPUS_DIR "/ct-head-tilt-varspacing\n"
                             "cell 1\n"
                             "menu &Postprocessing\\Vexel 3D\\&Create\n"
                             "browser-drag 0 1\n"
                             "messages\n"
                             "expect-message No 3D volume from 28 images: slices are not evenly spaced: "
                             "gap of 1.14 mm after slice 14 where 4.22 mm was expected\n");
    ASSERT_TRUE(ranCleanly(run));
}

}  // namespace
