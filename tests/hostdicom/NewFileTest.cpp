// New DICOM files as a 3D window writes its captures: valid files, in the
// database, with the source's patient and the plug-in's identity.
#include "DicomHostFixture.h"

#include "dicom/StudyDatabase.h"

#include <QDir>
#include <QProcess>

namespace hosttest {
namespace {

const char* const kIdentity = "Orlinex Quarvia Vexel 3D demo";


class NewFile : public DicomHost {
protected:
    void SetUp() override {
        DicomHost::SetUp();
        host->openPaths({phantom("ph", {"--size", "32x32x2", "--spacing", "6"})});
        source = groupIds()[0];
    }
    // The tags a capture sets, as the 3D window sets them.
    void setCaptureTags(QVNewFileHandle file, bool grey) {
        const double center = grey ? 40 : 128, width = grey ? 400 : 256;
        EXPECT_EQ(QVNewFileSetDatasetFloat64(file, 0x0028, 0x1050, &center, 1), 1);
        EXPECT_EQ(QVNewFileSetDatasetFloat64(file, 0x0028, 0x1051, &width, 1), 1);
        EXPECT_EQ(QVNewFileSetDatasetString(file, 0x0020, 0x0052, ""), 1);
        const uint16_t zero = 0;
        EXPECT_EQ(QVNewFileSetDatasetUint16(file, 0x0028, 0x0103, &zero, 1), 1);
        EXPECT_EQ(QVNewFileSetDatasetString(file, 0x0008, 0x103E, "<MIP> Synthetic head CT"), 1);
        const double orientation[6] = {1, 0, 0, 0, 0, -1}, position[3] = {0, 0, 0}, spacing[2] = {0, 0};
        EXPECT_EQ(QVNewFileSetDatasetFloat64(file, 0x0020, 0x0037, orientation, 6), 1);
        EXPECT_EQ(QVNewFileSetDatasetFloat64(file, 0x0020, 0x0032, position, 3), 1);
        EXPECT_EQ(QVNewFileSetDatasetFloat64(file, 0x0028, 0x0030, spacing, 2), 1);
        const char state[] = "J_camera 1 2 3\nJ_wwwc 400 40\n";
        EXPECT_EQ(QVNewFileSetDatasetUint8(file, 0xF215, 0xBA94, reinterpret_cast<const uint8_t*>(state), sizeof state), 1);
    }
    std::string source;
};

TEST_F(NewFile, GreyCaptureIsValidAndJoinsTheDatabase) {
    std::vector<uint16_t> pixels(64 * 48);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint16_t>(i % 1000);
    QVNewFileHandle file = QVCreateNewDicomFile(kIdentity, source.c_str(), pixels.data(), 1, 64, 48, nullptr);
    ASSERT_NE(file, nullptr);
    setCaptureTags(file, true);
    const uint16_t bits = 10;
    EXPECT_EQ(QVNewFileSetDatasetUint16(file, 0x0028, 0x0101, &bits, 1), 1);
    const double slope = 1, intercept = -1024;
    EXPECT_EQ(QVNewFileSetDatasetFloat64(file, 0x0028, 0x1053, &slope, 1), 1);
    EXPECT_EQ(QVNewFileSetDatasetFloat64(file, 0x0028, 0x1052, &intercept, 1), 1);
    EXPECT_EQ(QVNewFileNewSeriesUID(file, nullptr, 0), 1);
    const std::string id = take(QVNewFileAddToViewer(file));
    ASSERT_FALSE(id.empty());
    QVDatasetHandle data = QVGetDicomDataSet(id.c_str());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(take(QVGetDicomStringArray(data, 0x0018, 0x1018)), kIdentity);
    EXPECT_EQ(take(QVGetDicomStringArray(data, 0x0010, 0x0010)), "PHANTOM^HEAD");
    EXPECT_EQ(take(QVGetDicomStringArray(data, 0x0020, 0x000D)),
              take(QVGetDicomStringArray(QVGetDicomDataSet(source.c_str()), 0x0020, 0x000D)));
    EXPECT_NE(take(QVGetSeriesUID(id.c_str())), take(QVGetSeriesUID(source.c_str())));
    EXPECT_EQ(take(QVGetDicomStringArray(data, 0xF215, 0xBA94)), "J_camera 1 2 3\nJ_wwwc 400 40\n");
    EXPECT_EQ(QVImageGetRows(id.c_str()), 48);
    EXPECT_EQ(QVCanDeleteImage(kIdentity, id.c_str()), 1);
    EXPECT_EQ(QVCanDeleteImage(kIdentity, source.c_str()), 0);
    const QStringList written = QDir(options.outputFolder).entryList({"*.dcm"});
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(dciodvfyErrors(QDir(options.outputFolder).filePath(written[0])), "");
    EXPECT_EQ(QVDeleteImage(kIdentity, id.c_str()), 1);
    EXPECT_EQ(QVGetDicomDataSet(id.c_str()), nullptr);
}

TEST_F(NewFile, ColourCaptureKeepsTheGivenUidsAndSeries) {
    std::vector<uint8_t> pixels(20 * 10 * 3, 200);
    QVNewFileHandle file = QVCreateNewDicomFile(kIdentity, source.c_str(), pixels.data(), 2, 20, 10, "1.2.826.0.1.3680043.9.999.1");
    ASSERT_NE(file, nullptr);
    setCaptureTags(file, false);
    EXPECT_EQ(QVNewFileRemoveDatasetTag(file, 0x0028, 0x1053), 1);
    EXPECT_EQ(QVNewFileRemoveDatasetTag(file, 0x0028, 0x1052), 1);
    EXPECT_EQ(QVNewFileNewSeriesUID(file, "1.2.826.0.1.3680043.9.999.2", 42), 1);
    const std::string id = take(QVNewFileAddToViewer(file));
    ASSERT_EQ(id, "1.2.826.0.1.3680043.9.999.1");
    EXPECT_EQ(take(QVGetSeriesUID(id.c_str())), "1.2.826.0.1.3680043.9.999.2");
    EXPECT_EQ(take(QVGetDicomStringArray(QVGetDicomDataSet(id.c_str()), 0x0020, 0x0011)), "42");
    EXPECT_EQ(QVImageGetType(id.c_str()), 2);
    EXPECT_EQ(dciodvfyErrors(QDir(options.outputFolder).filePath(QString::fromStdString(id) + ".dcm")), "");
}

TEST_F(NewFile, BadArgumentsAndStaleHandlesAreRefused) {
    uint16_t pixel = 0;
    EXPECT_EQ(QVCreateNewDicomFile(kIdentity, "1.2.3.404", &pixel, 1, 1, 1, nullptr), nullptr);
    EXPECT_EQ(QVCreateNewDicomFile(kIdentity, source.c_str(), nullptr, 1, 1, 1, nullptr), nullptr);
    EXPECT_EQ(QVCreateNewDicomFile(kIdentity, source.c_str(), &pixel, 3, 1, 1, nullptr), nullptr);
    EXPECT_EQ(QVCreateNewDicomFile(kIdentity, source.c_str(), &pixel, 1, 0, 1, nullptr), nullptr);
    EXPECT_EQ(QVCreateNewDicomFile(kIdentity, source.c_str(), &pixel, 1, 1, 1, "../../etc/passwd"), nullptr);
    QVNewFileHandle file = QVCreateNewDicomFile(kIdentity, source.c_str(), &pixel, 1, 1, 1, nullptr);
    ASSERT_NE(file, nullptr);
    const uint16_t rows = 512;
    EXPECT_EQ(QVNewFileSetDatasetUint16(file, 0x0028, 0x0010, &rows, 1), 0);  // would lie about the pixels
    QVDestroyNewFile(file);
    EXPECT_EQ(QVNewFileSetDatasetString(file, 0x0008, 0x103E, "x"), 0);
    EXPECT_EQ(QVNewFileAddToViewer(file), nullptr);
    QVDestroyNewFile(file);
    QVDestroyNewFile(nullptr);
}

}  // namespace
}  // namespace hosttest
