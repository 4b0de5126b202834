// Volume assembly over the real series of the shared corpus, checked
// against what dcmdump reports for the files themselves.
#include "DicomHostFixture.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <cmath>

namespace hosttest {
namespace {

// The values of a tag as dcmdump prints them, split at backslashes.
QStringList dump(const QString& file, const char* tag) {
    QProcess process;
    process.start("dcmdump", {"+P", tag, file});
    if (!process.waitForFinished(30000)) return {};
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    // "(0028,0030) DS [a\\b]" for text, "(0028,0010) US 512" for numbers.
    const QRegularExpressionMatch m = QRegularExpression("\\) [A-Z][A-Z] (\\[([^\\]]*)\\]|(\\S+))").match(out);
    if (!m.hasMatch()) return {};
    return (m.captured(2).isEmpty() ? m.captured(3) : m.captured(2)).split('\\');
}
double dumpNumber(const QString& file, const char* tag, int index, double fallback) {
    const QStringList values = dump(file, tag);
    return index < values.size() ? values[index].toDouble() : fallback;
}

class Corpus : public DicomHost {
protected:
    void SetUp() override {
        DicomHost::SetUp();
        if (corpusFolder().isEmpty()) GTEST_SKIP() << "no corpus at " << CORPUS_DIR;
    }
    QStringList files(const QString& series, const QString& pattern = "*.dcm") {
        QStringList list;
        for (const QString& name : QDir(corpusFolder() + "/" + series).entryList({pattern}, QDir::Files, QDir::Name))
            list << corpusFolder() + "/" + series + "/" + name;
        return list;
    }
    // Opens a folder and assembles its only group.
    QVVolumeRecord* openSeries(const QString& series) {
        EXPECT_TRUE(host->openPaths({corpusFolder() + "/" + series}).isEmpty());
        return createVolume(groupIds());
    }
    // Sizes, spacings, directions, first voxel, rescale and slice order
    // against the files, which the corpus names in slice order.
    void expectGeometryOfFiles(const QVVolumeRecord& v, const QStringList& list) {
        ASSERT_GE(list.size(), 2);
        const QString first = list.front(), last = list.back();
        EXPECT_EQ(v.columns, dumpNumber(first, "0028,0011", 0, -1));
        EXPECT_EQ(v.rows, dumpNumber(first, "0028,0010", 0, -1));
        EXPECT_EQ(v.slices, list.size());
        EXPECT_NEAR(v.spacingY, dumpNumber(first, "0028,0030", 0, -1), 1e-9);
        EXPECT_NEAR(v.spacingX, dumpNumber(first, "0028,0030", 1, -1), 1e-9);
        double step[3];
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(v.origin[i], dumpNumber(first, "0020,0032", i, 1e9), 1e-6);
            EXPECT_NEAR(v.rowDir[i], dumpNumber(first, "0020,0037", i, 9), 1e-6);
            EXPECT_NEAR(v.colDir[i], dumpNumber(first, "0020,0037", i + 3, 9), 1e-6);
            step[i] = (dumpNumber(last, "0020,0032", i, 0) - v.origin[i]) / (list.size() - 1);
        }
        const double length = std::sqrt(step[0] * step[0] + step[1] * step[1] + step[2] * step[2]);
        EXPECT_NEAR(v.spacingZ, length, 1e-4);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(v.sliceDir[i], step[i] / length, 1e-6);
        EXPECT_DOUBLE_EQ(v.slope, dumpNumber(first, "0028,1053", 0, 1.0));
        EXPECT_DOUBLE_EQ(v.intercept, dumpNumber(first, "0028,1052", 0, 0.0));
        for (int i = 0; i < list.size(); ++i)
            EXPECT_EQ(QString(v.imageIds[i]), dump(list[i], "0008,0018").value(0)) << i;
    }
};

TEST_F(Corpus, ChestCtIsAccepted) {
    QVVolumeRecord* v = openSeries("ct-chest-5mm");
    ASSERT_NE(v, nullptr);
    expectGeometryOfFiles(*v, files("ct-chest-5mm"));
    EXPECT_NEAR(v->spacingZ, 5.0, 1e-6);
    EXPECT_EQ(v->rawBase, 0);
    EXPECT_EQ(v->valueRange, 4000);
    QVReleaseVolume(v);
}

TEST_F(Corpus, ThinSliceHeadPhantomIsAccepted) {
    QVVolumeRecord* v = openSeries("ct-phantom-head-1mm");
    ASSERT_NE(v, nullptr);
    expectGeometryOfFiles(*v, files("ct-phantom-head-1mm"));
    QVReleaseVolume(v);
}

TEST_F(Corpus, SagittalMrWithoutRescaleIsAccepted) {
    QVVolumeRecord* v = openSeries("mr-head-t1-sagittal");
    ASSERT_NE(v, nullptr);
    expectGeometryOfFiles(*v, files("mr-head-t1-sagittal"));
    EXPECT_NEAR(v->sliceDir[0], -1.0, 1e-9);
    EXPECT_NEAR(v->spacingZ, 4.8, 1e-6);
    QVReleaseVolume(v);
}

// Constant steps off the normal: accepted as a sheared volume whose slice
// direction is the step itself.
TEST_F(Corpus, TiltedPhantomWithConstantStepIsAcceptedSheared) {
    QVVolumeRecord* v = openSeries("ct-phantom-head-tilt");
    ASSERT_NE(v, nullptr);
    expectGeometryOfFiles(*v, files("ct-phantom-head-tilt"));
    EXPECT_NEAR(v->spacingZ, 2.5, 1e-4);
    QVReleaseVolume(v);
}

TEST_F(Corpus, CreateVolume_RejectsVariableSpacing) {
    EXPECT_EQ(openSeries("ct-head-tilt-varspacing"), nullptr);
    // Each part alone is equidistant; the signed values get their own base.
    std::vector<std::string> ids = groupIds();
    ASSERT_EQ(ids.size(), 28u);
    QVVolumeRecord* part = createVolume(std::vector<std::string>(ids.begin(), ids.begin() + 14));
    ASSERT_NE(part, nullptr);
    EXPECT_LE(part->rawBase, -1500);
    EXPECT_EQ(QVImageGetType(ids[0].c_str()), 1);
    QVReleaseVolume(part);
}

TEST_F(Corpus, TwoSeriesInOneFolderAreSplitBySeries) {
    host->openPaths({corpusFolder() + "/mixed-ct-chest-two-series"});
    const std::string study = take(QVGetStudyUID(0));
    ASSERT_EQ(QVGetGroupCount(study.c_str()), 2);
    std::vector<std::string> all;
    for (int g = 0; g < 2; ++g) {
        const std::vector<std::string> ids = groupIds(0, g);
        ASSERT_EQ(ids.size(), 8u);
        QVVolumeRecord* v = createVolume(ids);
        ASSERT_NE(v, nullptr);
        EXPECT_NEAR(v->spacingZ, 5.0, 1e-6);
        QVReleaseVolume(v);
        all.insert(all.end(), ids.begin(), ids.end());
    }
    EXPECT_EQ(createVolume(all), nullptr);
    QVVolumeRecord* s3 = createVolume(groupIds(0, 1));
    ASSERT_NE(s3, nullptr);
    expectGeometryOfFiles(*s3, QString(take(QVGetSeriesUID(s3->imageIds[0])).c_str()) ==
                                       dump(files("mixed-ct-chest-two-series", "*_s3.dcm")[0], "0020,000e").value(0)
                                   ? files("mixed-ct-chest-two-series", "*_s3.dcm")
                                   : files("mixed-ct-chest-two-series", "*_s2.dcm"));
    QVReleaseVolume(s3);
}

}  // namespace
}  // namespace hosttest
