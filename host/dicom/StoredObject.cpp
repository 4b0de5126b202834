#include "StoredObject.h"

#include "StreamScan.h"

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcuid.h>

namespace quarvia {

namespace {

// Values longer than this (the frames) are left unread: only the attributes count.
constexpr Uint32 kMaxReadLength = 4096;

std::string stringOf(DcmDataset& data, const DcmTagKey& tag) {
    OFString value;
    data.findAndGetOFStringArray(tag, value);
    return std::string(value.c_str());
}

bool objectOf(DcmFileFormat& file, StoredObject& object, QString& error) {
    DcmDataset& data = *file.getDataset();
    object.sopClassUid = stringOf(data, DCM_SOPClassUID);
    object.sopUid = stringOf(data, DCM_SOPInstanceUID);
    object.seriesUid = stringOf(data, DCM_SeriesInstanceUID);
    object.studyUid = stringOf(data, DCM_StudyInstanceUID);
    object.modality = QString::fromStdString(stringOf(data, DCM_Modality));
    object.seriesDescription = QString::fromStdString(stringOf(data, DCM_SeriesDescription));
    if (object.sopClassUid != UID_SegmentationStorage) return (error = "not a segmentation"), false;
    if (object.sopUid.empty() || object.seriesUid.empty() || object.studyUid.empty())
        return (error = "a segmentation without its study, series or instance UID"), false;
    return true;
}

}  // namespace

bool readStoredObject(const QString& path, StoredObject& object, QString& error) {
    StreamReport report;
    if (scanDicomFile(path, report) && report.state != StreamState::Sound) return (error = describe(report)), false;
    DcmFileFormat file;
    const OFCondition status = file.loadFile(OFFilename(path.toLocal8Bit().constData()), EXS_Unknown, EGL_noChange,
                                             kMaxReadLength);
    if (status.bad()) return (error = status.text()), false;
    object = StoredObject();
    object.path = path;
    return objectOf(file, object, error);
}

bool parseStoredObject(const QByteArray& bytes, StoredObject& object, QString& error) {
    const StreamReport report = scanDicomStream(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    if (report.state != StreamState::Sound) return (error = describe(report)), false;
    DcmInputBufferStream in;
    in.setBuffer(bytes.constData(), static_cast<offile_off_t>(bytes.size()));
    in.setEos();
    DcmFileFormat file;
    file.transferInit();
    const OFCondition status = file.read(in, EXS_Unknown, EGL_noChange, kMaxReadLength);
    file.transferEnd();
    if (status.bad()) return (error = QString("not a complete DICOM file (%1)").arg(status.text())), false;
    object = StoredObject();
    return objectOf(file, object, error);
}

}  // namespace quarvia
