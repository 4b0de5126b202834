// Compressed images as PACS send them, made from real files with the
// toolkit's own encoders: lossless syntaxes give the very pixels back, JPEG
// baseline nearly, and a syntax the host cannot decode is named.
#include "DicomHostFixture.h"

#include "dicom/DicomImage.h"
#include "dicom/StudyDatabase.h"

#include <gmock/gmock.h>

#include <QFile>
#include <QProcess>

#include <cmath>

namespace hosttest {
namespace {

using ::testing::HasSubstr;

class Compressed : public DicomHost {
protected:
    // Encodes `source` with a toolkit encoder; null when the tool is missing.
    std::unique_ptr<quarvia::DicomImage> encoded(const QString& source, const QString& tool, const QStringList& options,
                                                 const QString& name) {
        const QString out = dir.filePath(name);
        QProcess p;
        p.start(tool, options + QStringList{source, out});
        if (!p.waitForFinished(30000) || p.exitCode() != 0) return nullptr;
        QString error;
        auto image = quarvia::DicomImage::load(out, error);
        EXPECT_TRUE(image) << error.toStdString();
        return image;
    }
    // In real units: a lossy encoder may store other values with another rescale.
    static double meanDifference(const quarvia::DicomImage& a, const quarvia::DicomImage& b) {
        double sum = 0;
        const size_t n = size_t(a.rows()) * size_t(a.columns());
        for (size_t i = 0; i < n; ++i)
            sum += std::fabs(a.raw(i) * a.slope() + a.intercept() - (b.raw(i) * b.slope() + b.intercept()));
        return sum / double(n);
    }
};

TEST_F(Compressed, LosslessSyntaxesGiveThePixelsBackAndBaselineNearly) {
    const QString twelveBit = phantom("ct", {"--size", "64x64x1"}) + "/0001.dcm";
    const QString eightBit = phantom("u8", {"--size", "64x64x1", "--pixel", "u8"}) + "/0001.dcm";
    QString error;
    const auto original = quarvia::DicomImage::load(twelveBit, error);
    const auto original8 = quarvia::DicomImage::load(eightBit, error);
    ASSERT_TRUE(original && original8);
    struct Case {
        const char* tool;
        QStringList options;
        const char* name;
    };
    const Case lossless[] = {{"dcmcjpeg", {"+e1"}, "jpeg-lossless.dcm"},
                             {"dcmcjpls", {"+el"}, "jpeg-ls.dcm"},
                             {"dcmcrle", {}, "rle.dcm"}};
    for (const Case& c : lossless) {
        const auto image = encoded(twelveBit, c.tool, c.options, c.name);
        ASSERT_TRUE(image) << c.tool << " failed (dcmtk is installed by tools/setup-deps)";
        EXPECT_TRUE(image->lossless()) << c.name;
        EXPECT_EQ(meanDifference(*image, *original), 0.0) << c.name;
    }
    const auto baseline = encoded(eightBit, "dcmcjpeg", {"+eb"}, "jpeg-baseline.dcm");
    ASSERT_TRUE(baseline);
    EXPECT_FALSE(baseline->lossless());
    // Within half a percent of the 2040 HU the 8-bit phantom spans.
    EXPECT_LT(meanDifference(*baseline, *original8), 10.0);
}

TEST_F(Compressed, AnUndecodableSyntaxIsNamed) {
    const QString source = phantom("ct", {"--size", "32x32x1"}) + "/0001.dcm";
    QProcess p;
    p.start("dcmcjpls", {"+el", source, dir.filePath("ls.dcm")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) GTEST_SKIP() << "dcmcjpls is not installed";
    // The same bytes declared JPEG 2000 (the two UIDs are as long as each other).
    QFile file(dir.filePath("ls.dcm"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    ASSERT_TRUE(bytes.contains("1.2.840.10008.1.2.4.80"));
    bytes.replace("1.2.840.10008.1.2.4.80", "1.2.840.10008.1.2.4.90");
    QFile j2k(dir.filePath("j2k/0001.dcm"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("j2k")) && j2k.open(QIODevice::WriteOnly));
    j2k.write(bytes);
    j2k.close();
    const QStringList problems = host->openPaths({dir.filePath("j2k")});
    ASSERT_EQ(problems.size(), 1);
    EXPECT_THAT(problems[0].toStdString(), HasSubstr("JPEG 2000"));
}

}  // namespace
}  // namespace hosttest
