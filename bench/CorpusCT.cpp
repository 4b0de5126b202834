#include "CorpusCT.h"

#include <dcmtk/dcmdata/dctk.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

struct Slice {
    double z = 0.0;
    std::vector<uint16_t> values;
};

bool readSlice(const std::string& path, int& rows, int& columns, double spacing[2], Slice& slice) {
    DcmFileFormat file;
    if (file.loadFile(path.c_str()).bad()) return false;
    DcmDataset* data = file.getDataset();
    Uint16 r = 0, c = 0;
    Float64 intercept = 0.0, slope = 1.0, dx = 0.0, dy = 0.0;
    const Uint16* pixels = nullptr;
    if (data->findAndGetUint16(DCM_Rows, r).bad() || data->findAndGetUint16(DCM_Columns, c).bad() ||
        data->findAndGetFloat64(DCM_ImagePositionPatient, slice.z, 2).bad() ||
        data->findAndGetFloat64(DCM_PixelSpacing, dy, 0).bad() || data->findAndGetFloat64(DCM_PixelSpacing, dx, 1).bad() ||
        data->findAndGetUint16Array(DCM_PixelData, pixels).bad() || !pixels)
        return false;
    data->findAndGetFloat64(DCM_RescaleIntercept, intercept);
    data->findAndGetFloat64(DCM_RescaleSlope, slope);
    rows = r;
    columns = c;
    spacing[0] = dx;
    spacing[1] = dy;
    slice.values.resize(size_t(r) * c);
    // Stored value = HU + 1024, the scale the views classify with.
    for (size_t i = 0; i < slice.values.size(); ++i) {
        const double hu = pixels[i] * slope + intercept;
        slice.values[i] = uint16_t(std::clamp(std::lround(hu + 1024.0), 0L, 4095L));
    }
    return true;
}

}  // namespace

bool readCorpusCT(const std::string& folder, CTBlock& block) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_directory(folder, error)) return false;
    std::vector<std::string> paths;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".dcm") paths.push_back(entry.path().string());
    if (paths.size() < 2) return false;
    std::vector<Slice> slices(paths.size());
    int rows = 0, columns = 0;
    double spacing[2] = {0, 0};
    for (size_t i = 0; i < paths.size(); ++i) {
        int r = 0, c = 0;
        if (!readSlice(paths[i], r, c, spacing, slices[i])) return false;
        if (i > 0 && (r != rows || c != columns)) return false;
        rows = r;
        columns = c;
    }
    std::sort(slices.begin(), slices.end(), [](const Slice& a, const Slice& b) { return a.z < b.z; });
    const double step = slices[1].z - slices[0].z;
    if (!(step > 0.0)) return false;
    for (size_t i = 2; i < slices.size(); ++i)
        if (std::fabs(slices[i].z - slices[i - 1].z - step) > 0.01 * step) return false;
    block.sizeX = columns;
    block.sizeY = rows;
    block.sizeZ = int(slices.size());
    block.spacingX = float(spacing[0]);
    block.spacingY = float(spacing[1]);
    block.spacingZ = float(step);
    block.values.clear();
    block.values.reserve(size_t(rows) * columns * slices.size());
    for (const Slice& s : slices) block.values.insert(block.values.end(), s.values.begin(), s.values.end());
    return true;
}
