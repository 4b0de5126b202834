#include "plugin/host/HostStudyPort.h"

#include "plugin/frame/PluginIdentity.h"
#include "plugin/host/DicomTags.h"
#include "plugin/host/HostStrings.h"

namespace v3d {

namespace {

void setFloats(QVNewFileHandle file, DicomTag tag, const double* values, int count) {
    QVNewFileSetDatasetFloat64(file, tag.group, tag.element, values, count);
}

void setShort(QVNewFileHandle file, DicomTag tag, uint16_t value) {
    QVNewFileSetDatasetUint16(file, tag.group, tag.element, &value, 1);
}

void setText(QVNewFileHandle file, DicomTag tag, const std::string& value) {
    QVNewFileSetDatasetString(file, tag.group, tag.element, value.c_str());
}

std::string textOf(QVDatasetHandle data, DicomTag tag) {
    return data ? takeHostString(QVGetDicomStringArray(data, tag.group, tag.element)) : std::string();
}

}  // namespace

CaptureFileStatus HostStudyPort::addCaptureFile(const CaptureFile& f, std::string& imageId) {
    const CapturedPixels& pixels = *f.pixels;
    const bool grey = pixels.type == PIXELS_GREY16;
    const void* data = grey ? static_cast<const void*>(pixels.grey.data()) : static_cast<const void*>(pixels.rgb.data());
    QVNewFileHandle file = QVCreateNewDicomFile(kPluginId, f.sourceImageId.c_str(), data, pixels.type, f.width, f.height,
                                                f.sopUid.empty() ? nullptr : f.sopUid.c_str());
    if (!file) return CaptureFileStatus::CreateFailed;
    if (grey) {
        setShort(file, kBitsStoredTag, f.bitsStored);
        setFloats(file, kRescaleSlopeTag, &f.slope, 1);
        setFloats(file, kRescaleInterceptTag, &f.intercept, 1);
    } else {
        QVNewFileRemoveDatasetTag(file, kRescaleSlopeTag.group, kRescaleSlopeTag.element);
        QVNewFileRemoveDatasetTag(file, kRescaleInterceptTag.group, kRescaleInterceptTag.element);
    }
    QVNewFileNewSeriesUID(file, f.seriesUid.empty() ? nullptr : f.seriesUid.c_str(),
                          f.seriesUid.empty() ? 0 : static_cast<int>(f.seriesNumber));
    setFloats(file, kWindowCenterTag, &f.windowCentre, 1);
    setFloats(file, kWindowWidthTag, &f.windowWidth, 1);
    setText(file, kFrameOfReferenceUidTag, "");
    setShort(file, kPixelRepresentationTag, 0);
    const std::string sourceDescription = textOf(QVGetDicomDataSet(f.sourceImageId.c_str()), kSeriesDescriptionTag);
    setText(file, kSeriesDescriptionTag, f.descriptionPrefix + sourceDescription);
    setFloats(file, kImageOrientationTag, f.orientation.data(), 6);
    const double position[3] = {0, 0, 0};
    setFloats(file, kImagePositionTag, position, 3);
    const double spacing[2] = {0, 0};
    setFloats(file, kPixelSpacingTag, spacing, 2);
    // With its terminating zero.
    QVNewFileSetDatasetUint8(file, kSavedStateTag.group, kSavedStateTag.element,
                             reinterpret_cast<const uint8_t*>(f.savedState.c_str()),
                             static_cast<int>(f.savedState.size() + 1));

    // The study holds one image per instance UID: the old one leaves just
    // before its replacement, made up whole, comes in.
    if (!f.replacedImageId.empty()) QVDeleteImage(kPluginId, f.replacedImageId.c_str());
    imageId = takeHostString(QVNewFileAddToViewer(file));
    if (imageId.empty()) {
        QVDestroyNewFile(file);
        return CaptureFileStatus::AddFailed;
    }
    return CaptureFileStatus::Added;
}

void HostStudyPort::showInOwnCell(const std::string& imageId) {
    QVPlaceHandle place = QVGetPlaceOfWindow(m_window);
    QVPutGroupToPlace(place, QVGetGroupOfImage(imageId.c_str()));
    QVPanelHandle panel = QVGetImagePanelOfPlace(place);
    const int views = panel ? QVGetViewCount(panel) : 0;
    for (int i = 0; i < views; ++i) {
        if (takeHostString(QVGetImageID(QVGetView(panel, i))) == imageId) {
            QVSetActiveView(panel, i);
            break;
        }
    }
    QVReleasePlace(place);
}

std::string HostStudyPort::seriesUid(const std::string& imageId) {
    return takeHostString(QVGetSeriesUID(imageId.c_str()));
}

std::optional<uint32_t> HostStudyPort::seriesNumber(const std::string& imageId) {
    return seriesNumberOfImage(imageId);
}

std::string HostStudyPort::sopInstanceUid(const std::string& imageId) {
    return takeHostString(QVImageSOPInstanceUID(imageId.c_str()));
}

bool HostStudyPort::canDelete(const std::string& imageId) { return QVCanDeleteImage(kPluginId, imageId.c_str()) != 0; }

GroupLocation HostStudyPort::groupOfImage(const std::string& imageId) {
    QVGroupHandle group = QVGetGroupOfImage(imageId.c_str());
    if (!group) return {};
    const int studies = QVGetStudyCount();
    for (int s = 0; s < studies; ++s) {
        const std::string study = takeHostString(QVGetStudyUID(s));
        const int groups = QVGetGroupCount(study.c_str());
        for (int g = 0; g < groups; ++g)
            if (QVGetGroup(study.c_str(), g) == group) return {s, g};
    }
    return {};
}

std::vector<std::string> HostStudyPort::imagesOfGroup(GroupLocation location) {
    std::vector<std::string> ids;
    const std::string study = takeHostString(QVGetStudyUID(location.study));
    QVGroupHandle group = study.empty() ? nullptr : QVGetGroup(study.c_str(), location.group);
    for (int i = 0; group; ++i) {
        char* id = QVGetGroupImageID(group, i);
        if (!id) break;
        ids.push_back(takeHostString(id));
    }
    return ids;
}

PanelImages HostStudyPort::imagesOfPanel(QVPanelHandle panel) {
    PanelImages images;
    images.views = QVGetViewCount(panel);
    for (int i = 0; i < images.views; ++i) {
        std::string id = takeHostString(QVGetImageID(QVGetView(panel, i)));
        if (!id.empty()) images.ids.push_back(std::move(id));
    }
    if (!images.ids.empty()) images.active = takeHostString(QVGetImageID(QVGetView(panel, QVGetActiveView(panel))));
    return images;
}

void HostStudyPort::windowLevelOfPanel(QVPanelHandle panel, WindowLevelRecord& record) {
    QVGetWindowLevel(QVGetView(panel, 0), &record);
}

std::optional<std::string> HostStudyPort::capturedState(const std::string& imageId) {
    QVDatasetHandle data = QVGetDicomDataSet(imageId.c_str());
    if (!data || !madeByPlugin(textOf(data, kSoftwareVersionsTag), kPluginId)) return std::nullopt;
    int32_t length = 0;
    uint8_t* blob = QVGetDicomUint8Array(data, kSavedStateTag.group, kSavedStateTag.element, &length);
    std::optional<std::string> state;
    if (blob && length > 0) state = stateTextOfBlob(blob, static_cast<size_t>(length));
    QVFree(blob);
    return state;
}

}  // namespace v3d
