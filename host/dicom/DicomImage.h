#pragma once

#include "SliceGeometry.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class DcmFileFormat;
class DcmDataset;
class DcmItem;

namespace quarvia {

// What the user reads about an image (browser, corner texts).
struct ImageTexts {
    QString patientName;  // components separated by blanks
    QString patientId;
    QString studyDate;    // as stored: YYYYMMDD
    QString studyDescription;
    QString seriesDescription;
    QString modality;
};

// One loaded DICOM image: its dataset (pixel data decoded to a native
// little-endian form) and the attributes the host works with.
class DicomImage {
public:
    ~DicomImage();

    // Reads and decodes a file. Null with a reason for anything that is not
    // a single-frame image the host can show.
    static std::unique_ptr<DicomImage> load(const QString& path, QString& error);
    // Takes over a dataset made in memory (new files).
    static std::unique_ptr<DicomImage> adopt(std::unique_ptr<DcmFileFormat> file, const QString& path, QString& error);

    const QString& path() const { return m_path; }
    const std::string& sopUid() const { return m_sopUid; }
    const std::string& seriesUid() const { return m_seriesUid; }
    const std::string& studyUid() const { return m_studyUid; }
    // Empty when the file names no frame of reference.
    const std::string& frameUid() const { return m_frameUid; }
    int seriesNumber() const { return m_seriesNumber; }
    int instanceNumber() const { return m_instanceNumber; }
    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    int samplesPerPixel() const { return m_samples; }
    int bitsAllocated() const { return m_bitsAllocated; }
    bool isSigned() const { return m_signed; }
    double slope() const { return m_slope; }
    double intercept() const { return m_intercept; }
    bool hasWindow() const { return m_hasWindow; }
    // Grey images whose low values are meant to be white.
    bool monochrome1() const { return m_monochrome1; }
    const ImageTexts& texts() const { return m_texts; }
    double windowCenter() const { return m_windowCenter; }
    double windowWidth() const { return m_windowWidth; }

    // Geometry; hasGeometry() is false when position or orientation is
    // absent or unusable, and geometryState() says which.
    bool hasGeometry() const { return m_geometry == GeometryState::Present; }
    GeometryState geometryState() const { return m_geometry; }
    // Angle between row and column as the file gives them, in degrees.
    double orientationAngle() const { return m_orientationAngle; }
    const Vec3d& position() const { return m_position; }
    const Vec3d& rowDir() const { return m_rowDir; }
    const Vec3d& colDir() const { return m_colDir; }
    double spacingX() const { return m_spacingX; }  // along a row (between columns)
    double spacingY() const { return m_spacingY; }  // between rows
    // Without a usable pixel spacing the image is shown with 1 mm pixels.
    SpacingState spacingState() const { return m_spacingState; }
    double sliceThickness() const { return m_thickness; }

    // Raw stored value of grey pixel i (0 <= i < rows x columns); 8 or 16
    // bits, sign-extended from BitsStored when signed. Colour images answer
    // their first sample.
    int32_t raw(size_t i) const;
    // Smallest and largest raw value of the image.
    std::pair<int32_t, int32_t> rawRange() const;
    // Encoded size over decoded size: 1 for uncompressed or lossless files.
    double compressionRate() const { return m_compressionRate; }
    bool lossless() const { return m_lossless; }
    const uint8_t* pixelBytes() const { return m_bytes; }

    DcmDataset* dataset() const;

private:
    DicomImage() = default;
    bool readAttributes(QString& error);
    void readSpacing(DcmItem& dataset);

    std::unique_ptr<DcmFileFormat> m_file;
    QString m_path;
    std::string m_sopUid, m_seriesUid, m_studyUid, m_frameUid;
    int m_seriesNumber = 0, m_instanceNumber = 0;
    int m_rows = 0, m_columns = 0, m_samples = 1, m_bitsAllocated = 16, m_bitsStored = 16;
    bool m_signed = false;
    double m_slope = 1.0, m_intercept = 0.0;
    bool m_hasWindow = false;
    bool m_monochrome1 = false;
    ImageTexts m_texts;
    double m_windowCenter = 0.0, m_windowWidth = 0.0;
    GeometryState m_geometry = GeometryState::Absent;
    double m_orientationAngle = 90.0;
    SpacingState m_spacingState = SpacingState::Missing;
    Vec3d m_position{}, m_rowDir{1, 0, 0}, m_colDir{0, 1, 0};
    double m_spacingX = 1.0, m_spacingY = 1.0, m_thickness = 0.0;
    double m_compressionRate = 1.0;
    bool m_lossless = true;
    const uint8_t* m_bytes = nullptr;  // into the dataset's pixel data
    const uint16_t* m_words = nullptr;
};

}  // namespace quarvia
