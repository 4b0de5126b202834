// Small DICOM images made in memory, for series whose geometry a test (or
// a fuzzer) chooses value by value.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class DcmFileFormat;

namespace quarvia {
class StudyDatabase;
}

namespace hosttest {

struct SliceRecipe {
    std::string study = "1.2.826.0.1.3680043.9.7777.1";
    std::string series = "1.2.826.0.1.3680043.9.7777.1.1";
    std::string sop;  // empty: made from the series and the instance number
    int seriesNumber = 1;
    int instance = 1;
    int rows = 8;
    int columns = 8;
    int bitsAllocated = 16;
    int bitsStored = 12;
    int samples = 1;
    bool isSigned = false;
    // Attribute texts as a file holds them ("0\\0\\5"); nullopt leaves the
    // attribute out.
    std::optional<std::string> position = "0\\0\\0";
    std::optional<std::string> orientation = "1\\0\\0\\0\\1\\0";
    std::optional<std::string> pixelSpacing = "0.5\\0.5";
    std::optional<std::string> sliceThickness;
    std::optional<std::string> frameOfReference;
    std::optional<std::string> slope;
    std::optional<std::string> intercept;
    int pixelSeed = 0;  // pixel values follow from it
    std::optional<size_t> pixelValues;  // default: rows x columns x samples
};

std::unique_ptr<DcmFileFormat> buildSlice(const SliceRecipe& recipe);

// `count` slices of one series, each `step` (x, y, z in mm) after the last.
std::vector<SliceRecipe> sliceStack(int count, double stepX, double stepY, double stepZ);

// Adds the images to a database as if opened; answers the ids of those it took.
std::vector<std::string> addSlices(quarvia::StudyDatabase& database, const std::vector<SliceRecipe>& slices);

}  // namespace hosttest
