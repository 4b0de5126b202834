#include "SliceBuilder.h"

#include "dicom/DicomImage.h"
#include "dicom/StudyDatabase.h"

#include <dcmtk/dcmdata/dctk.h>

#include <cstdio>

namespace hosttest {

namespace {
void putText(DcmDataset& d, const DcmTagKey& key, const std::optional<std::string>& text) {
    if (text) d.putAndInsertString(key, text->c_str());
}

std::string number(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}
}  // namespace

std::unique_ptr<DcmFileFormat> buildSlice(const SliceRecipe& s) {
    auto file = std::make_unique<DcmFileFormat>();
    DcmDataset& d = *file->getDataset();
    const std::string sop = s.sop.empty() ? s.series + "." + std::to_string(s.instance) : s.sop;
    d.putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
    d.putAndInsertString(DCM_SOPInstanceUID, sop.c_str());
    d.putAndInsertString(DCM_StudyInstanceUID, s.study.c_str());
    d.putAndInsertString(DCM_SeriesInstanceUID, s.series.c_str());
    d.putAndInsertString(DCM_Modality, "CT");
    d.putAndInsertString(DCM_SeriesNumber, std::to_string(s.seriesNumber).c_str());
    d.putAndInsertString(DCM_InstanceNumber, std::to_string(s.instance).c_str());
    d.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(s.rows));
    d.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(s.columns));
    d.putAndInsertUint16(DCM_SamplesPerPixel, static_cast<Uint16>(s.samples));
    d.putAndInsertString(DCM_PhotometricInterpretation, s.samples == 3 ? "RGB" : "MONOCHROME2");
    d.putAndInsertUint16(DCM_BitsAllocated, static_cast<Uint16>(s.bitsAllocated));
    d.putAndInsertUint16(DCM_BitsStored, static_cast<Uint16>(s.bitsStored));
    d.putAndInsertUint16(DCM_HighBit, static_cast<Uint16>(s.bitsStored > 0 ? s.bitsStored - 1 : 0));
    d.putAndInsertUint16(DCM_PixelRepresentation, s.isSigned ? 1 : 0);
    putText(d, DCM_ImagePositionPatient, s.position);
    putText(d, DCM_ImageOrientationPatient, s.orientation);
    putText(d, DCM_PixelSpacing, s.pixelSpacing);
    putText(d, DCM_SliceThickness, s.sliceThickness);
    putText(d, DCM_FrameOfReferenceUID, s.frameOfReference);
    putText(d, DCM_RescaleSlope, s.slope);
    putText(d, DCM_RescaleIntercept, s.intercept);
    const size_t count = s.pixelValues ? *s.pixelValues : size_t(s.rows) * size_t(s.columns) * size_t(s.samples > 0 ? s.samples : 1);
    unsigned state = static_cast<unsigned>(s.pixelSeed) * 2654435761u + 1u;
    if (s.bitsAllocated == 8) {
        std::vector<Uint8> bytes(count);
        for (Uint8& b : bytes) b = static_cast<Uint8>((state = state * 1664525u + 1013904223u) >> 24);
        d.putAndInsertUint8Array(DCM_PixelData, bytes.data(), static_cast<unsigned long>(bytes.size()));
    } else {
        std::vector<Uint16> words(count);
        for (Uint16& w : words) w = static_cast<Uint16>((state = state * 1664525u + 1013904223u) >> 20);
        d.putAndInsertUint16Array(DCM_PixelData, words.data(), static_cast<unsigned long>(words.size()));
    }
    return file;
}

std::vector<SliceRecipe> sliceStack(int count, double stepX, double stepY, double stepZ) {
    std::vector<SliceRecipe> slices;
    for (int k = 0; k < count; ++k) {
        SliceRecipe s;
        s.instance = k + 1;
        s.position = number(k * stepX) + "\\" + number(k * stepY) + "\\" + number(k * stepZ);
        s.pixelSeed = k;
        slices.push_back(s);
    }
    return slices;
}

std::vector<std::string> addSlices(quarvia::StudyDatabase& database, const std::vector<SliceRecipe>& slices) {
    std::vector<std::string> ids;
    for (const SliceRecipe& recipe : slices) {
        QString error;
        std::unique_ptr<quarvia::DicomImage> image = quarvia::DicomImage::adopt(buildSlice(recipe), QString(), error);
        if (!image) continue;
        const std::string id = image->sopUid();
        if (database.addImage(std::move(image)).isEmpty()) ids.push_back(id);
    }
    return ids;
}

}  // namespace hosttest
