#include "DicomImage.h"

#include "StreamScan.h"

#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dctk.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace quarvia {

namespace {
void registerDecoders() {
    static std::once_flag once;
    std::call_once(once, [] {
        DJDecoderRegistration::registerCodecs();
        DJLSDecoderRegistration::registerCodecs();
        DcmRLEDecoderRegistration::registerCodecs();
    });
}

// The 128-byte preamble and "DICM" of a DICOM file.
bool hasDicomPreamble(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(128)) return false;
    return file.read(4) == "DICM";
}

std::string stringOf(DcmItem& item, const DcmTagKey& key) {
    OFString value;
    if (item.findAndGetOFString(key, value).bad()) return std::string();
    return std::string(value.c_str());
}

bool doubles(DcmItem& item, const DcmTagKey& key, double* out, int count) {
    for (int i = 0; i < count; ++i)
        if (item.findAndGetFloat64(key, out[i], static_cast<unsigned long>(i)).bad()) return false;
    return true;
}
}  // namespace

DicomImage::~DicomImage() = default;

DcmDataset* DicomImage::dataset() const { return m_file ? m_file->getDataset() : nullptr; }

std::unique_ptr<DicomImage> DicomImage::load(const QString& path, QString& error) {
    registerDecoders();
    // The toolkit follows nested sequences by recursion and trusts lengths:
    // the file is walked first, and a damaged or hostile one never reaches it.
    StreamReport report;
    if (scanDicomFile(path, report) && report.state != StreamState::Sound) {
        error = hasDicomPreamble(path) ? path + ": " + describe(report) : QString("%1: not a DICOM file").arg(path);
        return nullptr;
    }
    auto file = std::make_unique<DcmFileFormat>();
    const OFCondition status = file->loadFile(OFFilename(path.toLocal8Bit().constData()));
    if (status.bad()) {
        // In the user's words: a file that starts as DICOM but stops early is
        // truncated; anything else is not a DICOM file at all.
        error = hasDicomPreamble(path) ? QString("%1: truncated (the file ends early: %2)").arg(path, status.text())
                                       : QString("%1: not a DICOM file").arg(path);
        return nullptr;
    }
    return adopt(std::move(file), path, error);
}

std::unique_ptr<DicomImage> DicomImage::adopt(std::unique_ptr<DcmFileFormat> file, const QString& path, QString& error) {
    registerDecoders();
    std::unique_ptr<DicomImage> image(new DicomImage);
    image->m_file = std::move(file);
    image->m_path = path;
    DcmDataset* data = image->dataset();
    const DcmXfer original(data->getOriginalXfer());
    if (original.isEncapsulated()) {
        image->m_lossless = !original.isLossy();
        const double encoded = static_cast<double>(QFileInfo(path).size());
        if (data->chooseRepresentation(EXS_LittleEndianExplicit, nullptr).bad() ||
            !data->canWriteXfer(EXS_LittleEndianExplicit)) {
            error = QString("%1: cannot decode the pixel data (%2)").arg(path, original.getXferName());
            return nullptr;
        }
        if (!image->readAttributes(error)) return nullptr;
        const double decoded = double(image->m_rows) * image->m_columns * image->m_samples * (image->m_bitsAllocated / 8);
        image->m_compressionRate = image->m_lossless || decoded <= 0 ? 1.0 : std::min(1.0, encoded / decoded);
        return image;
    }
    if (!image->readAttributes(error)) return nullptr;
    return image;
}

bool DicomImage::readAttributes(QString& error) {
    DcmDataset& d = *dataset();
    auto fail = [&](const QString& why) {
        error = m_path + ": " + why;
        return false;
    };
    m_sopUid = stringOf(d, DCM_SOPInstanceUID);
    m_seriesUid = stringOf(d, DCM_SeriesInstanceUID);
    m_studyUid = stringOf(d, DCM_StudyInstanceUID);
    m_frameUid = stringOf(d, DCM_FrameOfReferenceUID);
    if (m_sopUid.empty()) return fail("no SOP instance UID");
    if (m_seriesUid.empty()) m_seriesUid = m_sopUid + ".series";
    if (m_studyUid.empty()) m_studyUid = m_seriesUid + ".study";
    m_texts.patientName = QString::fromStdString(stringOf(d, DCM_PatientName)).replace('^', ' ').trimmed();
    m_texts.patientId = QString::fromStdString(stringOf(d, DCM_PatientID));
    m_texts.studyDate = QString::fromStdString(stringOf(d, DCM_StudyDate));
    m_texts.studyDescription = QString::fromStdString(stringOf(d, DCM_StudyDescription));
    m_texts.seriesDescription = QString::fromStdString(stringOf(d, DCM_SeriesDescription));
    m_texts.modality = QString::fromStdString(stringOf(d, DCM_Modality));
    m_monochrome1 = stringOf(d, DCM_PhotometricInterpretation) == "MONOCHROME1";
    Sint32 n = 0;
    if (d.findAndGetSint32(DCM_SeriesNumber, n).good()) m_seriesNumber = n;
    if (d.findAndGetSint32(DCM_InstanceNumber, n).good()) m_instanceNumber = n;

    Uint16 rows = 0, columns = 0, samples = 1, allocated = 0, stored = 0, representation = 0;
    d.findAndGetUint16(DCM_Rows, rows);
    d.findAndGetUint16(DCM_Columns, columns);
    d.findAndGetUint16(DCM_SamplesPerPixel, samples);
    d.findAndGetUint16(DCM_BitsAllocated, allocated);
    d.findAndGetUint16(DCM_BitsStored, stored);
    d.findAndGetUint16(DCM_PixelRepresentation, representation);
    if (rows == 0 || columns == 0) return fail("not an image (no rows or columns)");
    if (allocated != 8 && allocated != 16) return fail(QString("%1 bits allocated are not supported").arg(allocated));
    if (samples != 1 && samples != 3) return fail(QString("%1 samples per pixel are not supported").arg(samples));
    Sint32 frames = 1;
    if (d.findAndGetSint32(DCM_NumberOfFrames, frames).good() && frames > 1) return fail("multi-frame images are not supported");
    m_rows = rows;
    m_columns = columns;
    m_samples = samples;
    m_bitsAllocated = allocated;
    m_bitsStored = stored > 0 && stored <= allocated ? stored : allocated;
    m_signed = representation == 1;

    const size_t count = size_t(rows) * columns * samples;
    unsigned long elements = 0;
    if (allocated == 16) {
        const Uint16* words = nullptr;
        if (d.findAndGetUint16Array(DCM_PixelData, words, &elements).bad() || !words) return fail("no pixel data");
        m_words = words;
        m_bytes = reinterpret_cast<const uint8_t*>(words);
    } else {
        const Uint8* bytes = nullptr;
        if (d.findAndGetUint8Array(DCM_PixelData, bytes, &elements).bad() || !bytes) return fail("no pixel data");
        m_bytes = bytes;
    }
    if (elements < count) return fail("truncated (the pixel data is shorter than rows x columns)");

    double value = 0;
    if (d.findAndGetFloat64(DCM_RescaleSlope, value).good() && value != 0.0 && std::isfinite(value)) m_slope = value;
    if (d.findAndGetFloat64(DCM_RescaleIntercept, value).good() && std::isfinite(value)) m_intercept = value;
    double center = 0, width = 0;
    if (d.findAndGetFloat64(DCM_WindowCenter, center).good() && d.findAndGetFloat64(DCM_WindowWidth, width).good() &&
        std::isfinite(center) && std::isfinite(width) && width > 0) {
        m_hasWindow = true;
        m_windowCenter = center;
        m_windowWidth = width;
    }
    readSpacing(d);
    double thickness = 0;
    if (d.findAndGetFloat64(DCM_SliceThickness, thickness).good() && std::isfinite(thickness) && thickness > 0)
        m_thickness = thickness;
    // Position and orientation are kept only when both are there and sound.
    double orientation[6];
    Vec3d position{};
    if (doubles(d, DCM_ImagePositionPatient, position.data(), 3) && doubles(d, DCM_ImageOrientationPatient, orientation, 6)) {
        const CheckedGeometry g = checkGeometry(orientation, position);
        m_geometry = g.state;
        m_orientationAngle = g.angleDegrees;
        if (g.state == GeometryState::Present) {
            m_position = position;
            m_rowDir = g.row;
            m_colDir = g.column;
        }
    }
    return true;
}

void DicomImage::readSpacing(DcmItem& d) {
    DcmElement* element = nullptr;
    if (d.findAndGetElement(DCM_PixelSpacing, element).bad() || !element || element->getVM() == 0) {
        m_spacingState = SpacingState::Missing;
        return;
    }
    double spacing[2];
    if (element->getVM() < 2) {
        m_spacingState = SpacingState::SingleValue;
        return;
    }
    const bool positive = doubles(d, DCM_PixelSpacing, spacing, 2) && std::isfinite(spacing[0]) &&
                          std::isfinite(spacing[1]) && spacing[0] > 0 && spacing[1] > 0;
    if (!positive) {
        m_spacingState = SpacingState::NotPositive;
        return;
    }
    m_spacingY = spacing[0];  // the first value is between rows
    m_spacingX = spacing[1];
    m_spacingState = SpacingState::Given;
}

int32_t DicomImage::raw(size_t i) const {
    const size_t at = i * static_cast<size_t>(m_samples);
    uint32_t v = m_bitsAllocated == 16 ? m_words[at] : m_bytes[at];
    const uint32_t mask = m_bitsStored >= 32 ? 0xFFFFFFFFu : ((1u << m_bitsStored) - 1u);
    v &= mask;
    if (m_signed && (v & (1u << (m_bitsStored - 1)))) return static_cast<int32_t>(v) - static_cast<int32_t>(1u << m_bitsStored);
    return static_cast<int32_t>(v);
}

std::pair<int32_t, int32_t> DicomImage::rawRange() const {
    const size_t count = size_t(m_rows) * m_columns;
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (size_t i = 0; i < count; ++i) {
        const int32_t v = raw(i);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return {lo, hi};
}

}  // namespace quarvia
