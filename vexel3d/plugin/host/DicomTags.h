#pragma once
// The DICOM attributes the plug-in reads from the host's images and writes
// into the images and objects it makes, by name.

#include <cstdint>

namespace v3d {

struct DicomTag {
    uint16_t group;
    uint16_t element;
};

constexpr DicomTag kSopClassUidTag{0x0008, 0x0016};
constexpr DicomTag kStudyDateTag{0x0008, 0x0020};
constexpr DicomTag kStudyTimeTag{0x0008, 0x0030};
constexpr DicomTag kAccessionNumberTag{0x0008, 0x0050};
constexpr DicomTag kModalityTag{0x0008, 0x0060};
constexpr DicomTag kReferringPhysicianTag{0x0008, 0x0090};
constexpr DicomTag kStudyDescriptionTag{0x0008, 0x1030};
constexpr DicomTag kSeriesDescriptionTag{0x0008, 0x103E};
constexpr DicomTag kPatientNameTag{0x0010, 0x0010};
constexpr DicomTag kPatientIdTag{0x0010, 0x0020};
constexpr DicomTag kPatientBirthDateTag{0x0010, 0x0030};
constexpr DicomTag kPatientSexTag{0x0010, 0x0040};
constexpr DicomTag kSoftwareVersionsTag{0x0018, 0x1018};
constexpr DicomTag kStudyUidTag{0x0020, 0x000D};
constexpr DicomTag kStudyIdTag{0x0020, 0x0010};
constexpr DicomTag kSeriesNumberTag{0x0020, 0x0011};
constexpr DicomTag kImagePositionTag{0x0020, 0x0032};
constexpr DicomTag kImageOrientationTag{0x0020, 0x0037};
constexpr DicomTag kFrameOfReferenceUidTag{0x0020, 0x0052};
constexpr DicomTag kPixelSpacingTag{0x0028, 0x0030};
constexpr DicomTag kBitsStoredTag{0x0028, 0x0101};
constexpr DicomTag kPixelRepresentationTag{0x0028, 0x0103};
constexpr DicomTag kWindowCenterTag{0x0028, 0x1050};
constexpr DicomTag kWindowWidthTag{0x0028, 0x1051};
constexpr DicomTag kRescaleInterceptTag{0x0028, 0x1052};
constexpr DicomTag kRescaleSlopeTag{0x0028, 0x1053};
// The private element a capture carries the window's saved state in.
constexpr DicomTag kSavedStateTag{0xF215, 0xBA94};

}  // namespace v3d
