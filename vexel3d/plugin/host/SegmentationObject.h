#pragma once
// A kept mask as a DICOM Segmentation object (binary, one segment) over the
// series it was drawn on, and such an object read back onto the shown
// series. Frames map to slices by their image position, so a file from
// another program is taken as long as it lies on the same grid. Reading
// trusts no count or length from the file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace v3d {

struct SegSourceImage {
    std::string sopClassUid, sopInstanceUid;
    double position[3] = {0, 0, 0};  // ImagePositionPatient
};

struct SegSourceSeries {
    int columns = 0, rows = 0;  // of each source image
    double rowDir[3] = {1, 0, 0}, colDir[3] = {0, 1, 0};  // ImageOrientationPatient
    double spacingX = 1, spacingY = 1;  // mm between columns (along a row) and between rows
    double sliceThickness = 1;          // mm: the slice spacing, given to every frame
    std::string studyInstanceUid, seriesInstanceUid, frameOfReferenceUid;
    // Patient and study attributes as text, (group << 16 | element, value),
    // in the source's character set (give Specific Character Set with them
    // when it is not ASCII); only patient and study level ones are taken over.
    std::vector<std::pair<uint32_t, std::string>> copiedAttributes;
    std::vector<SegSourceImage> images;  // one per slice, in slice (z) order
};

struct SegCode {
    std::string value, scheme, meaning;
};

struct SegSegmentDescription {
    std::string label = "Segment";
    SegCode category{"85756007", "SCT", "Tissue"};
    SegCode type{"85756007", "SCT", "Tissue"};
    bool semiautomatic = false;  // drawn with help (flood fill) rather than by hand
    std::string algorithmName = "Vexel 3D flood fill";  // written only when semiautomatic
    std::string seriesDescription = "Segmentation";
    int seriesNumber = 901;
    int instanceNumber = 1;
    std::string manufacturer = "Orlinex";
    std::string modelName = "Quarvia Vexel 3D demo";
    std::string deviceSerialNumber = "0001";
    std::string softwareVersions = "0.1.0";
};

// The clip box the viewer keeps with its own exports: low x, high x, low y,
// high y, low z, high z, in voxel index units.
struct SegClipBox {
    float values[6] = {0, 0, 0, 0, 0, 0};
};

enum class SegObjectStatus {
    Ok,
    Unreadable,
    NotSegmentation,
    NotBinary,
    NoSegment,
    SeveralSegments,
    OtherFrameOfReference,
    OtherSeries,
    GridMismatch,
    EncodeFailed
};

// One line per status for the window edge; the detail text says more.
const char* segObjectStatusText(SegObjectStatus status);

// The private block that carries the clip box (odd group; creator text).
constexpr uint16_t kSegClipBoxGroup = 0x0029;
constexpr const char* kSegClipBoxCreator = "VEXEL3D CLIP BOX";

// The whole file (preamble, meta header, explicit VR little endian) for
// `mask` (one byte per voxel, non-zero kept, x fastest, sizeZ slices that
// must be the series' images). Empty UIDs are made up. `detail`, when given,
// says why a write failed.
SegObjectStatus writeSegmentationObject(const SegSourceSeries& source, const uint8_t* mask, int sizeZ,
                                        const SegSegmentDescription& description, const SegClipBox* clip,
                                        const std::string& sopInstanceUid, const std::string& seriesInstanceUid,
                                        std::vector<uint8_t>& fileBytes, std::string* detail = nullptr);

// The mask of the object's one segment over `shown` (columns * rows *
// images.size() bytes, 0 or 1; slices without a frame stay 0), and the clip
// box when the file carries a well-formed one. On refusal the mask is empty
// and `detail` says why.
SegObjectStatus readSegmentationObject(const std::string& path, const SegSourceSeries& shown,
                                       std::vector<uint8_t>& mask, std::optional<SegClipBox>& clip,
                                       std::string& detail);
SegObjectStatus readSegmentationObjectBytes(const uint8_t* bytes, size_t size, const SegSourceSeries& shown,
                                            std::vector<uint8_t>& mask, std::optional<SegClipBox>& clip,
                                            std::string& detail);

}  // namespace v3d
