// The 3D window's segmentation as a DICOM Segmentation object: saved into
// the study through the host, and read back onto the shown series.
#include "plugin/frame/CBackground.h"

#include "plugin/frame/CPerspective.h"
#include "plugin/dialogs/CSegmentDialog.h"
#include "plugin/host/HostStrings.h"
#include "plugin/host/HostSymbols.h"
#include "plugin/frame/PluginIdentity.h"
#include "segment/KeptMaskCodec.h"
#include "segment/SegmentMask.h"
#include "view/ViewSegmentation.h"
#include "volume/CVolume.h"

#include <QFileDialog>

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <algorithm>

namespace v3d {

namespace {

using Tag = DicomTag;
constexpr Tag kSopClassUid = kSopClassUidTag;
constexpr Tag kImagePosition = kImagePositionTag;
constexpr Tag kStudyUid = kStudyUidTag;
constexpr Tag kFrameOfReferenceUid = kFrameOfReferenceUidTag;
// Patient and study attributes the new object takes from its source.
constexpr Tag kCopied[] = {
    kPatientNameTag, kPatientIdTag, kPatientBirthDateTag, kPatientSexTag,        kStudyDateTag,
    kStudyTimeTag,   kStudyIdTag,   kAccessionNumberTag,  kReferringPhysicianTag, kStudyDescriptionTag,
};

std::string textOf(QVDatasetHandle data, Tag tag) {
    return takeHostString(QVGetDicomStringArray(data, tag.group, tag.element));
}

// "x\y\z" as three numbers.
bool readPosition(std::string text, double (&out)[3]) {
    std::replace(text.begin(), text.end(), '\\', ' ');
    FieldReader reader(text);
    return reader.readDouble(out[0]) && reader.readDouble(out[1]) && reader.readDouble(out[2]) && reader.atEnd();
}

const char* maskImportText(MaskImportStatus status) {
    switch (status) {
    case MaskImportStatus::Ok: return "";
    case MaskImportStatus::NoVolume: return "No series is shown in this window.";
    case MaskImportStatus::WrongSize: return "The segmentation does not cover this window's volume.";
    case MaskImportStatus::TooDetailed:
        return "The segmentation is too detailed to keep in this window's history (and so to share or save): "
               "its mask does not pack into 512 KB.";
    }
    return "";
}

}  // namespace

bool CBackground::sourceSeriesOfShown(SegSourceSeries& source, std::string& why) const {
    const QVVolumeRecord* record = series.hostVolume;
    if (!series.m_bHasSeries || !record || !volume || !series.m_bAllLoaded)
        return (why = "The series is not fully loaded in this window."), false;
    if (static_cast<int>(series.imageIds.size()) != volume->sizeZ || record->columns != volume->sizeX ||
        record->rows != volume->sizeY)
        return (why = "This window's volume does not match its images."), false;
    source = SegSourceSeries();
    source.columns = record->columns;
    source.rows = record->rows;
    std::copy(record->rowDir, record->rowDir + 3, source.rowDir);
    std::copy(record->colDir, record->colDir + 3, source.colDir);
    source.spacingX = record->spacingX;
    source.spacingY = record->spacingY;
    source.sliceThickness = record->spacingZ;
    for (const std::string& id : series.imageIds) {
        QVDatasetHandle data = QVGetDicomDataSet(id.c_str());
        SegSourceImage image;
        image.sopClassUid = textOf(data, kSopClassUid);
        image.sopInstanceUid = takeHostString(QVImageSOPInstanceUID(id.c_str()));
        if (!data || !readPosition(textOf(data, kImagePosition), image.position))
            return (why = "Image " + id + " has no readable position."), false;
        if (source.images.empty()) {
            source.studyInstanceUid = textOf(data, kStudyUid);
            source.seriesInstanceUid = takeHostString(QVGetSeriesUID(id.c_str()));
            source.frameOfReferenceUid = textOf(data, kFrameOfReferenceUid);
            for (Tag tag : kCopied) {
                const std::string value = textOf(data, tag);
                if (!value.empty()) source.copiedAttributes.emplace_back(uint32_t(tag.group) << 16 | tag.element, value);
            }
        }
        source.images.push_back(image);
    }
    return true;
}

bool CBackground::saveSegmentationAsDicom(const SegSegmentDescription& description, std::string& objectUid,
                                          std::string& why) {
    const auto addObject = lookupHostFunction<QVAddDicomObjectToViewerFn>("QVAddDicomObjectToViewer");
    if (!addObject) return (why = "This viewer cannot add segmentations to a study."), false;
    SegSourceSeries source;
    if (!sourceSeriesOfShown(source, why)) return false;
    const CVolume& v = *volume;
    const std::vector<uint8_t> mask = keptBytesOfVolume(v);
    const ClipBox box = clipBoxOf(v);
    const SegClipBox clip{{box.lowX, box.highX, box.lowY, box.highY, box.lowZ, box.highZ}};
    std::vector<uint8_t> file;
    std::string detail;
    const SegObjectStatus status =
        writeSegmentationObject(source, mask.data(), v.sizeZ, description, &clip, "", "", file, &detail);
    if (status != SegObjectStatus::Ok) {
        why = std::string(segObjectStatusText(status)) + (detail.empty() ? "" : ": " + detail);
        return false;
    }
    char* error = nullptr;
    objectUid = takeHostString(addObject(kPluginId, file.data(), static_cast<int64_t>(file.size()), &error));
    const std::string hostError = takeHostString(error);
    if (objectUid.empty()) return (why = "The segmentation was not saved: " + hostError), false;
    return true;
}

bool CBackground::isSegmentationFile(const std::string& path) {
    DcmFileFormat file;
    // The attributes only: the frames can be large.
    constexpr Uint32 kMaxReadLength = 4096;
    if (file.loadFile(OFFilename(path.c_str()), EXS_Unknown, EGL_noChange, kMaxReadLength).bad()) return false;
    OFString sopClass;
    file.getDataset()->findAndGetOFString(DCM_SOPClassUID, sopClass);
    return sopClass == UID_SegmentationStorage;
}

bool CBackground::openSegmentationFile(const std::string& path, std::string& why) {
    SegSourceSeries source;
    if (!sourceSeriesOfShown(source, why)) return false;
    std::vector<uint8_t> mask;
    std::optional<SegClipBox> clip;
    std::string detail;
    const SegObjectStatus status = readSegmentationObject(path, source, mask, clip, detail);
    if (status != SegObjectStatus::Ok) {
        why = std::string(segObjectStatusText(status)) + (detail.empty() ? "" : ": " + detail);
        return false;
    }
    ClipBox box;
    if (clip) {
        const float* f = clip->values;
        box = ClipBox{f[0], f[1], f[2], f[3], f[4], f[5]};
    }
    const MaskImportStatus imported = importKeptMask(*m_view, mask.data(), mask.size(), clip ? &box : nullptr);
    if (imported != MaskImportStatus::Ok) return (why = maskImportText(imported)), false;
    m_view->requestRender(true);
    sendStateToPeers(CHANGE_SEGMENTATION, true);
    return true;
}

void CBackground::saveSegmentationCommand() {
    CSegmentDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    std::string uid, why;
    if (!saveSegmentationAsDicom(dialog.description(), uid, why))
        QVMessageBox(why.c_str(), "Error", QV_MB_OK | QV_MB_ICONSTOP);
}

void CBackground::openSegmentationCommand() {
    const QString path = QFileDialog::getOpenFileName(this, "Open segmentation from DICOM", QString(),
                                                      "DICOM files (*.dcm *.DCM);;All files (*)");
    if (path.isEmpty()) return;
    std::string why;
    if (!openSegmentationFile(path.toStdString(), why)) QVMessageBox(why.c_str(), "Error", QV_MB_OK | QV_MB_ICONSTOP);
}

}  // namespace v3d
