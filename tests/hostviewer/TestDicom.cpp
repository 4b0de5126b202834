#include "TestDicom.h"

#include <dcmtk/dcmdata/dctk.h>

namespace hostviewer {

bool writeTestImage(const TestImage& image, const QString& path) {
    DcmFileFormat file;
    DcmDataset& d = *file.getDataset();
    const std::string sop = image.sop.empty() ? image.series + "." + std::to_string(image.instance) : image.sop;
    d.putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
    d.putAndInsertString(DCM_SOPInstanceUID, sop.c_str());
    d.putAndInsertString(DCM_StudyInstanceUID, image.study.c_str());
    d.putAndInsertString(DCM_SeriesInstanceUID, image.series.c_str());
    d.putAndInsertString(DCM_Modality, image.modality.c_str());
    d.putAndInsertString(DCM_PatientName, image.patientName.c_str());
    d.putAndInsertString(DCM_PatientID, image.patientId.c_str());
    d.putAndInsertString(DCM_StudyDate, image.studyDate.c_str());
    d.putAndInsertString(DCM_SeriesDescription, image.seriesDescription.c_str());
    d.putAndInsertString(DCM_SeriesNumber, "1");
    d.putAndInsertString(DCM_InstanceNumber, std::to_string(image.instance).c_str());
    if (!image.position.empty()) d.putAndInsertString(DCM_ImagePositionPatient, image.position.c_str());
    if (!image.orientation.empty()) d.putAndInsertString(DCM_ImageOrientationPatient, image.orientation.c_str());
    if (!image.pixelSpacing.empty()) d.putAndInsertString(DCM_PixelSpacing, image.pixelSpacing.c_str());
    if (image.windowWidth > 0) {
        d.putAndInsertString(DCM_WindowCenter, std::to_string(image.windowCenter).c_str());
        d.putAndInsertString(DCM_WindowWidth, std::to_string(image.windowWidth).c_str());
    }
    d.putAndInsertUint16(DCM_SamplesPerPixel, 1);
    d.putAndInsertString(DCM_PhotometricInterpretation, image.photometric.c_str());
    d.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(image.rows));
    d.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(image.columns));
    d.putAndInsertUint16(DCM_BitsAllocated, 16);
    d.putAndInsertUint16(DCM_BitsStored, 12);
    d.putAndInsertUint16(DCM_HighBit, 11);
    d.putAndInsertUint16(DCM_PixelRepresentation, 0);
    std::vector<uint16_t> pixels = image.pixels;
    if (pixels.empty()) {
        pixels.resize(size_t(image.rows) * size_t(image.columns));
        for (int y = 0; y < image.rows; ++y)
            for (int x = 0; x < image.columns; ++x)
                pixels[size_t(y) * size_t(image.columns) + size_t(x)] = static_cast<uint16_t>(x * 4000 / std::max(1, image.columns - 1));
    }
    if (pixels.size() != size_t(image.rows) * size_t(image.columns)) return false;
    d.putAndInsertUint16Array(DCM_PixelData, pixels.data(), static_cast<unsigned long>(pixels.size()));
    return file.saveFile(path.toLocal8Bit().constData(), EXS_LittleEndianExplicit).good();
}

std::vector<TestImage> testSeries(int count, const std::vector<double>& z) {
    std::vector<TestImage> images(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        TestImage& image = images[size_t(i)];
        image.instance = i + 1;
        const double at = size_t(i) < z.size() ? z[size_t(i)] : i * 5.0;
        image.position = "0\\0\\" + std::to_string(at);
    }
    return images;
}

}  // namespace hostviewer
