#include "NewDicomFile.h"

#include "FileWrite.h"

#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcwcache.h>
#include <dcmtk/dcmdata/dctk.h>

#include <QDir>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

namespace quarvia {

namespace {
std::string newUid() {
    char buffer[100];
    return dcmGenerateUniqueIdentifier(buffer, SITE_INSTANCE_UID_ROOT);
}

// Patient and study of the source travel with the capture.
const DcmTagKey kCopied[] = {DCM_SpecificCharacterSet, DCM_PatientName, DCM_PatientID, DCM_PatientBirthDate,
                             DCM_PatientSex, DCM_PatientAge, DCM_StudyInstanceUID, DCM_StudyDate, DCM_StudyTime,
                             DCM_StudyID, DCM_AccessionNumber, DCM_ReferringPhysicianName, DCM_StudyDescription};

// Attributes that describe the pixel buffer: a plug-in that changed them
// would make the file lie about its pixels.
bool describesPixels(const DcmTagKey& key) {
    return key == DCM_PixelData || key == DCM_Rows || key == DCM_Columns || key == DCM_SamplesPerPixel ||
           key == DCM_BitsAllocated || key == DCM_PhotometricInterpretation || key == DCM_PlanarConfiguration ||
           key == DCM_SOPClassUID || key == DCM_SOPInstanceUID;
}

DcmEVR dictionaryVr(const DcmTagKey& key) { return DcmTag(key).getEVR(); }
bool unknownVr(DcmEVR vr) { return vr == EVR_UNKNOWN || vr == EVR_UN || vr == EVR_UNKNOWN2B; }

std::string joined(const double* values, int count) {
    std::string text;
    char buffer[40];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "%.10g", values[i]);
        text += (i ? "\\" : "") + std::string(buffer);
    }
    return text;
}
}  // namespace

NewDicomFile::~NewDicomFile() = default;

std::unique_ptr<NewDicomFile> NewDicomFile::create(const std::string& identity, const DicomImage& source, const void* pixels,
                                                   int pixelType, int width, int height, const char* sopUid) {
    // A given UID also names the file: only a well-formed UID will do.
    if (sopUid && *sopUid && (std::strlen(sopUid) > 64 || std::strspn(sopUid, "0123456789.") != std::strlen(sopUid)))
        return nullptr;
    if (!pixels || (pixelType != 1 && pixelType != 2) || width <= 0 || height <= 0 || width > 65535 || height > 65535)
        return nullptr;
    std::unique_ptr<NewDicomFile> file(new NewDicomFile);
    file->m_file = std::make_unique<DcmFileFormat>();
    DcmDataset& d = *file->m_file->getDataset();
    DcmDataset& from = *source.dataset();
    for (const DcmTagKey& key : kCopied) {
        DcmElement* element = nullptr;
        if (from.findAndGetElement(key, element, OFFalse, OFTrue /* copy */).good() && element) d.insert(element, OFTrue);
        else if (key != DCM_SpecificCharacterSet && key != DCM_PatientAge) d.putAndInsertString(key, "");
    }
    static std::atomic<int> instance{1};
    d.putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
    d.putAndInsertString(DCM_SOPInstanceUID, sopUid && *sopUid ? sopUid : newUid().c_str());
    d.putAndInsertString(DCM_SeriesInstanceUID, newUid().c_str());
    d.putAndInsertString(DCM_SeriesNumber, "999");
    d.putAndInsertString(DCM_InstanceNumber, std::to_string(instance++).c_str());
    d.putAndInsertString(DCM_Modality, "OT");
    d.putAndInsertString(DCM_ConversionType, "WSD");
    d.putAndInsertString(DCM_PatientOrientation, "");
    d.putAndInsertString(DCM_Laterality, "");
    d.putAndInsertString(DCM_SecondaryCaptureDeviceManufacturerModelName, identity.c_str());
    OFString date, time;
    DcmDate::getCurrentDate(date);
    DcmTime::getCurrentTime(time);
    d.putAndInsertString(DCM_ContentDate, date.c_str());
    d.putAndInsertString(DCM_ContentTime, time.c_str());
    d.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(height));
    d.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(width));
    const unsigned long count = static_cast<unsigned long>(width) * static_cast<unsigned long>(height);
    if (pixelType == 2) {
        d.putAndInsertUint16(DCM_SamplesPerPixel, 3);
        d.putAndInsertString(DCM_PhotometricInterpretation, "RGB");
        d.putAndInsertUint16(DCM_PlanarConfiguration, 0);
        d.putAndInsertUint16(DCM_BitsAllocated, 8);
        d.putAndInsertUint16(DCM_BitsStored, 8);
        d.putAndInsertUint16(DCM_HighBit, 7);
        d.putAndInsertUint8Array(DCM_PixelData, static_cast<const Uint8*>(pixels), count * 3);
    } else {
        d.putAndInsertUint16(DCM_SamplesPerPixel, 1);
        d.putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
        d.putAndInsertUint16(DCM_BitsAllocated, 16);
        d.putAndInsertUint16(DCM_BitsStored, 16);
        d.putAndInsertUint16(DCM_HighBit, 15);
        d.putAndInsertUint16Array(DCM_PixelData, static_cast<const Uint16*>(pixels), count);
    }
    d.putAndInsertUint16(DCM_PixelRepresentation, 0);
    return file;
}

bool NewDicomFile::editable(uint16_t group, uint16_t element) const {
    return group != 0x0002 && group != 0x0000 && !describesPixels(DcmTagKey(group, element));
}

void NewDicomFile::ensurePrivateCreator(uint16_t group, uint16_t element) {
    if (!(group & 1) || element < 0x1000) return;
    const DcmTagKey creator(group, static_cast<Uint16>(element >> 8));
    DcmDataset& d = *m_file->getDataset();
    if (!d.tagExists(creator)) d.putAndInsertString(DcmTag(creator, EVR_LO), "QUARVIA PLUGIN DATA");
}

bool NewDicomFile::setFloat64(uint16_t group, uint16_t element, const double* values, int count) {
    if (!values || count <= 0 || !editable(group, element)) return false;
    const DcmTagKey key(group, element);
    DcmDataset& d = *m_file->getDataset();
    const DcmEVR vr = dictionaryVr(key);
    ensurePrivateCreator(group, element);
    if (unknownVr(vr) || vr == EVR_FD)
        return d.putAndInsertFloat64Array(DcmTag(key, EVR_FD), values, static_cast<unsigned long>(count)).good();
    // Text VRs (DS above all) and the other numbers take the decimal text.
    return d.putAndInsertString(key, joined(values, count).c_str()).good();
}

bool NewDicomFile::setUint16(uint16_t group, uint16_t element, const uint16_t* values, int count) {
    if (!values || count <= 0 || !editable(group, element)) return false;
    const DcmTagKey key(group, element);
    DcmDataset& d = *m_file->getDataset();
    const DcmEVR vr = dictionaryVr(key);
    ensurePrivateCreator(group, element);
    if (unknownVr(vr) || vr == EVR_US)
        return d.putAndInsertUint16Array(DcmTag(key, EVR_US), values, static_cast<unsigned long>(count)).good();
    std::vector<double> asDoubles(values, values + count);
    return d.putAndInsertString(key, joined(asDoubles.data(), count).c_str()).good();
}

bool NewDicomFile::setString(uint16_t group, uint16_t element, const char* value) {
    if (!value || !editable(group, element)) return false;
    const DcmTagKey key(group, element);
    ensurePrivateCreator(group, element);
    const DcmTag tag = unknownVr(dictionaryVr(key)) ? DcmTag(key, EVR_LO) : DcmTag(key);
    return m_file->getDataset()->putAndInsertString(tag, value).good();
}

bool NewDicomFile::setUint8(uint16_t group, uint16_t element, const uint8_t* values, int count) {
    if (!values || count <= 0 || !editable(group, element)) return false;
    const DcmTagKey key(group, element);
    const DcmEVR vr = dictionaryVr(key);
    ensurePrivateCreator(group, element);
    DcmDataset& d = *m_file->getDataset();
    if (unknownVr(vr) || vr == EVR_OB)
        return d.putAndInsertUint8Array(DcmTag(key, EVR_OB), values, static_cast<unsigned long>(count)).good();
    const std::string text(reinterpret_cast<const char*>(values), static_cast<size_t>(count));
    return d.putAndInsertString(key, text.c_str()).good();
}

bool NewDicomFile::remove(uint16_t group, uint16_t element) {
    if (!editable(group, element)) return false;
    DcmDataset& d = *m_file->getDataset();
    const DcmTagKey key(group, element);
    return !d.tagExists(key) || d.findAndDeleteElement(key).good();
}

bool NewDicomFile::setSeries(const char* seriesUid, int seriesNumber) {
    DcmDataset& d = *m_file->getDataset();
    const bool given = seriesUid && *seriesUid;
    if (d.putAndInsertString(DCM_SeriesInstanceUID, given ? seriesUid : newUid().c_str()).bad()) return false;
    return d.putAndInsertString(DCM_SeriesNumber, std::to_string(given ? std::max(0, seriesNumber) : 999).c_str()).good();
}

void NewDicomFile::makeConsistent() {
    DcmDataset& d = *m_file->getDataset();
    Uint16 allocated = 16, stored = 16;
    d.findAndGetUint16(DCM_BitsAllocated, allocated);
    d.findAndGetUint16(DCM_BitsStored, stored);
    // Bits stored must leave at least one bit and fit the allocation.
    stored = std::min<Uint16>(std::max<Uint16>(stored, 1), allocated);
    d.putAndInsertUint16(DCM_BitsStored, stored);
    d.putAndInsertUint16(DCM_HighBit, static_cast<Uint16>(stored - 1));
    // The pixels were handed over as unsigned values.
    d.putAndInsertUint16(DCM_PixelRepresentation, 0);
    // A zero spacing is no spacing: the size of a pixel is unknown.
    Float64 spacing = 0;
    if (d.tagExists(DCM_PixelSpacing) &&
        (d.findAndGetFloat64(DCM_PixelSpacing, spacing, 0).bad() || spacing <= 0 ||
         d.findAndGetFloat64(DCM_PixelSpacing, spacing, 1).bad() || spacing <= 0))
        d.findAndDeleteElement(DCM_PixelSpacing);
    // A rescale needs its type; the plug-in cannot know it, so unspecified.
    if ((d.tagExists(DCM_RescaleSlope) || d.tagExists(DCM_RescaleIntercept)) && !d.tagExists(DCM_RescaleType)) {
        if (!d.tagExists(DCM_RescaleSlope)) d.putAndInsertString(DCM_RescaleSlope, "1");
        if (!d.tagExists(DCM_RescaleIntercept)) d.putAndInsertString(DCM_RescaleIntercept, "0");
        d.putAndInsertString(DCM_RescaleType, "US");
    }
    // An empty UID names nothing: leave the attribute out instead.
    OFString frame;
    if (d.tagExists(DCM_FrameOfReferenceUID) && (d.findAndGetOFString(DCM_FrameOfReferenceUID, frame).bad() || frame.empty()))
        d.findAndDeleteElement(DCM_FrameOfReferenceUID);
}

std::unique_ptr<DicomImage> NewDicomFile::write(const QString& folder, QString& error) {
    makeConsistent();
    OFString sop;
    m_file->getDataset()->findAndGetOFString(DCM_SOPInstanceUID, sop);
    if (!QDir().mkpath(folder)) {
        error = "cannot create " + folder;
        return nullptr;
    }
    const QString path = QDir(folder).filePath(QString::fromLatin1(sop.c_str()) + ".dcm");
    QByteArray bytes;
    const OFCondition encoded = encode(bytes);
    if (encoded.bad()) {
        error = QString("cannot encode %1: %2").arg(path, encoded.text());
        return nullptr;
    }
    const FileWriteResult written = writeFileWhole(path, bytes);
    if (!written.ok()) {
        error = fileWriteMessage(written, path);
        return nullptr;
    }
    return DicomImage::load(path, error);
}

OFCondition NewDicomFile::encode(QByteArray& bytes) {
    // The file's bytes as saving it would write them, gathered in memory so
    // that they reach the disk through one whole-or-nothing write.
    std::vector<char> block(1 << 20);
    DcmOutputBufferStream stream(block.data(), static_cast<offile_off_t>(block.size()));
    DcmWriteCache cache;
    m_file->transferInit();
    OFCondition status = EC_StreamNotifyClient;
    while (status == EC_StreamNotifyClient) {
        status = m_file->write(stream, EXS_LittleEndianExplicit, EET_UndefinedLength, &cache, EGL_recalcGL);
        if (status == EC_Normal) stream.flush();
        void* data = nullptr;
        offile_off_t length = 0;
        stream.flushBuffer(data, length);
        bytes.append(static_cast<const char*>(data), static_cast<qsizetype>(length));
    }
    m_file->transferEnd();
    return status;
}

}  // namespace quarvia
