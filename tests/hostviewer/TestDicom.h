// Small DICOM files written with the toolkit, value by value as a test needs them.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace hostviewer {

struct TestImage {
    std::string study = "1.2.826.0.1.3680043.9.7781.1";
    std::string series = "1.2.826.0.1.3680043.9.7781.1.1";
    std::string sop;  // empty: made from the series and the instance
    int instance = 1;
    int rows = 16;
    int columns = 16;
    std::vector<uint16_t> pixels;  // rows x columns; empty: a ramp over the columns
    std::string photometric = "MONOCHROME2";
    std::string modality = "CT";
    std::string patientName = "Test^Patient";
    std::string patientId = "ID0001";
    std::string studyDate = "20240131";
    std::string seriesDescription = "Test series";
    std::string pixelSpacing = "1\\1";  // rows \ columns; empty leaves it out
    std::string position = "0\\0\\0";
    std::string orientation = "1\\0\\0\\0\\1\\0";
    double windowCenter = 0;
    double windowWidth = 0;  // 0 leaves the window out
};

// Writes a DICOM file (preamble, meta header, explicit little endian).
bool writeTestImage(const TestImage& image, const QString& path);

// `count` images of one series `step` mm apart along z (positions listed in `z` when given).
std::vector<TestImage> testSeries(int count, const std::vector<double>& z = {});

}  // namespace hostviewer
