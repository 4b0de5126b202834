// phantom: writes a synthetic CT head series as DICOM files.
//
//   phantom --out DIR [--size CxRxS] [--spacing MM] [--step MM]
//           [--pixel u16|s16|u8] [--transfer explicit|implicit|rle]
#include "HeadPhantom.h"

#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dctk.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string out;
    int columns = 256, rows = 256, slices = 120;
    double spacing = 0.9, step = 1.0;
    std::string pixel = "u16";
    std::string transfer = "explicit";
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--out") o.out = value;
        else if (key == "--size") {
            if (std::sscanf(value.c_str(), "%dx%dx%d", &o.columns, &o.rows, &o.slices) != 3) return false;
        } else if (key == "--spacing") o.spacing = std::atof(value.c_str());
        else if (key == "--step") o.step = std::atof(value.c_str());
        else if (key == "--pixel") o.pixel = value;
        else if (key == "--transfer") o.transfer = value;
        else return false;
    }
    const bool sane = o.columns > 0 && o.rows > 0 && o.slices > 0 && o.columns <= 4096 && o.rows <= 4096 &&
                      o.spacing > 0 && o.step > 0 && (o.pixel == "u16" || o.pixel == "s16" || o.pixel == "u8");
    return !o.out.empty() && sane && (argc % 2 == 1);
}

std::string uid() {
    char buffer[100];
    return dcmGenerateUniqueIdentifier(buffer, SITE_INSTANCE_UID_ROOT);
}

std::string numbers(std::initializer_list<double> values) {
    std::string text;
    char buffer[32];
    for (double v : values) {
        std::snprintf(buffer, sizeof buffer, "%.6g", v);
        text += (text.empty() ? "" : "\\") + std::string(buffer);
    }
    return text;
}

// Deterministic noise of a few HU, as a scanner would show.
double noise(unsigned& state) {
    state = state * 1664525u + 1013904223u;
    return (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 12.0;
}

struct SeriesIds {
    std::string study = uid(), series = uid(), frame = uid();
};

bool writeSlice(const Options& o, const SeriesIds& ids, int k, unsigned& seed) {
    DcmFileFormat file;
    DcmDataset& d = *file.getDataset();
    const double x0 = -(o.columns - 1) * o.spacing / 2, y0 = -(o.rows - 1) * o.spacing / 2;
    const double z = -(o.slices - 1) * o.step / 2 + k * o.step;
    const bool u8 = o.pixel == "u8", s16 = o.pixel == "s16";
    const double slope = u8 ? 8.0 : 1.0, intercept = s16 ? 0.0 : -1024.0;
    d.putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
    d.putAndInsertString(DCM_SOPInstanceUID, uid().c_str());
    d.putAndInsertString(DCM_StudyInstanceUID, ids.study.c_str());
    d.putAndInsertString(DCM_SeriesInstanceUID, ids.series.c_str());
    d.putAndInsertString(DCM_FrameOfReferenceUID, ids.frame.c_str());
    d.putAndInsertString(DCM_ImageType, "ORIGINAL\\PRIMARY\\AXIAL");
    d.putAndInsertString(DCM_Modality, "CT");
    d.putAndInsertString(DCM_Manufacturer, "Quarvia phantom");
    d.putAndInsertString(DCM_PatientName, "PHANTOM^HEAD");
    d.putAndInsertString(DCM_PatientID, "PHANTOM-001");
    d.putAndInsertString(DCM_PatientBirthDate, "");
    d.putAndInsertString(DCM_PatientSex, "O");
    d.putAndInsertString(DCM_StudyDate, "20240101");
    d.putAndInsertString(DCM_StudyTime, "120000");
    d.putAndInsertString(DCM_StudyID, "1");
    d.putAndInsertString(DCM_AccessionNumber, "");
    d.putAndInsertString(DCM_ReferringPhysicianName, "");
    d.putAndInsertString(DCM_StudyDescription, "Head phantom");
    d.putAndInsertString(DCM_SeriesDescription, "Synthetic head CT");
    d.putAndInsertString(DCM_SeriesNumber, "1");
    d.putAndInsertString(DCM_InstanceNumber, std::to_string(k + 1).c_str());
    d.putAndInsertString(DCM_PatientPosition, "HFS");
    d.putAndInsertString(DCM_KVP, "120");
    d.putAndInsertString(DCM_PositionReferenceIndicator, "");
    d.putAndInsertString(DCM_ImagePositionPatient, numbers({x0, y0, z}).c_str());
    d.putAndInsertString(DCM_ImageOrientationPatient, "1\\0\\0\\0\\1\\0");
    d.putAndInsertString(DCM_PixelSpacing, numbers({o.spacing, o.spacing}).c_str());
    d.putAndInsertString(DCM_SliceThickness, numbers({o.step}).c_str());
    d.putAndInsertString(DCM_SpacingBetweenSlices, numbers({o.step}).c_str());
    d.putAndInsertString(DCM_SliceLocation, numbers({z}).c_str());
    d.putAndInsertUint16(DCM_SamplesPerPixel, 1);
    d.putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
    d.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(o.rows));
    d.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(o.columns));
    d.putAndInsertUint16(DCM_BitsAllocated, u8 ? 8 : 16);
    d.putAndInsertUint16(DCM_BitsStored, u8 ? 8 : (s16 ? 16 : 12));
    d.putAndInsertUint16(DCM_HighBit, u8 ? 7 : (s16 ? 15 : 11));
    d.putAndInsertUint16(DCM_PixelRepresentation, s16 ? 1 : 0);
    d.putAndInsertString(DCM_RescaleIntercept, numbers({intercept}).c_str());
    d.putAndInsertString(DCM_RescaleSlope, numbers({slope}).c_str());
    d.putAndInsertString(DCM_RescaleType, "HU");
    d.putAndInsertString(DCM_WindowCenter, "40");
    d.putAndInsertString(DCM_WindowWidth, "400");

    const HeadPhantom phantom(o.spacing, o.spacing, o.step);
    const size_t count = size_t(o.columns) * o.rows;
    std::vector<Uint16> words(u8 ? 0 : count);
    std::vector<Uint8> bytes(u8 ? count : 0);
    for (int r = 0; r < o.rows; ++r)
        for (int c = 0; c < o.columns; ++c) {
            double hu = phantom.hu(x0 + c * o.spacing, y0 + r * o.spacing, z);
            if (hu > -900) hu += noise(seed);
            const double stored = std::round((hu - intercept) / slope);
            const size_t i = size_t(r) * o.columns + c;
            if (u8) bytes[i] = static_cast<Uint8>(std::clamp(stored, 0.0, 255.0));
            else if (s16) words[i] = static_cast<Uint16>(static_cast<Sint16>(std::clamp(stored, -32768.0, 32767.0)));
            else words[i] = static_cast<Uint16>(std::clamp(stored, 0.0, 4095.0));
        }
    if (u8) d.putAndInsertUint8Array(DCM_PixelData, bytes.data(), count);
    else d.putAndInsertUint16Array(DCM_PixelData, words.data(), count);

    E_TransferSyntax xfer = EXS_LittleEndianExplicit;
    if (o.transfer == "implicit") xfer = EXS_LittleEndianImplicit;
    if (o.transfer == "rle") {
        xfer = EXS_RLELossless;
        if (d.chooseRepresentation(xfer, nullptr).bad()) return false;
    }
    char name[32];
    std::snprintf(name, sizeof name, "/%04d.dcm", k + 1);
    const std::string path = o.out + name;
    const OFCondition status = file.saveFile(path.c_str(), xfer);
    if (status.bad()) std::fprintf(stderr, "phantom: cannot write %s: %s\n", path.c_str(), status.text());
    return status.good();
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: phantom --out DIR [--size CxRxS] [--spacing MM] [--step MM] [--pixel u16|s16|u8]"
                     " [--transfer explicit|implicit|rle]\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(o.out, error);
    DcmRLEEncoderRegistration::registerCodecs();
    const SeriesIds ids;
    unsigned seed = 12345u;
    for (int k = 0; k < o.slices; ++k)
        if (!writeSlice(o, ids, k, seed)) return 1;
    std::printf("phantom: %d slices of %dx%d written to %s\n", o.slices, o.columns, o.rows, o.out.c_str());
    return 0;
}
