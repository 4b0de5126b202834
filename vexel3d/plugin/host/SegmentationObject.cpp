#include "plugin/host/SegmentationObject.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcwcache.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmfg/fgderimg.h>
#include <dcmtk/dcmfg/fgfracon.h>
#include <dcmtk/dcmfg/fginterface.h>
#include <dcmtk/dcmfg/fgpixmsr.h>
#include <dcmtk/dcmfg/fgplanor.h>
#include <dcmtk/dcmfg/fgplanpo.h>
#include <dcmtk/dcmfg/fgseg.h>
#include <dcmtk/dcmiod/iodreferences.h>
#include <dcmtk/dcmseg/segdoc.h>
#include <dcmtk/dcmseg/segment.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>

namespace v3d {

namespace {

// No grid this viewer shows has more slices than one frame number can count.
constexpr size_t kMaxFrames = 65535;

std::string newUid() {
    char buffer[100];
    return dcmGenerateUniqueIdentifier(buffer, SITE_INSTANCE_UID_ROOT);
}

// Decimal string text: at most 16 characters, as precise as that allows.
std::string decimal(double value) {
    char buffer[40];
    for (int precision = 12; precision >= 6; --precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (std::strlen(buffer) <= 16) break;
    }
    return buffer;
}

std::string upTo(const std::string& text, size_t length) { return text.substr(0, length); }

bool finite(const double* values, int count) {
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) return false;
    return true;
}

// Only patient and study attributes travel with the segmentation: the rest
// of the object describes itself.
bool patientOrStudyAttribute(uint32_t tag) {
    const uint16_t group = static_cast<uint16_t>(tag >> 16);
    const uint16_t element = static_cast<uint16_t>(tag & 0xFFFF);
    if (group == 0x0010) return element != 0;
    switch (tag) {
    case 0x00080005:  // Specific Character Set
    case 0x00080020:  // Study Date
    case 0x00080030:  // Study Time
    case 0x00080050:  // Accession Number
    case 0x00080090:  // Referring Physician's Name
    case 0x00081030:  // Study Description
    case 0x00081048:  // Physician(s) of Record
    case 0x00081060:  // Name of Physician(s) Reading Study
    case 0x00200010:  // Study ID
        return true;
    default:
        return false;
    }
}

std::string copiedValue(const SegSourceSeries& source, uint32_t tag) {
    for (const auto& [key, value] : source.copiedAttributes)
        if (key == tag) return value;
    return {};
}

SegObjectStatus failed(std::string* detail, SegObjectStatus status, const std::string& text) {
    if (detail) *detail = text;
    return status;
}

SegObjectStatus failed(std::string* detail, const char* step, const OFCondition& condition) {
    return failed(detail, SegObjectStatus::EncodeFailed, std::string(step) + ": " + condition.text());
}

// The bytes that saving the file would write, gathered in memory.
OFCondition encode(DcmFileFormat& file, std::vector<uint8_t>& bytes) {
    std::vector<char> block(1 << 20);
    DcmOutputBufferStream stream(block.data(), static_cast<offile_off_t>(block.size()));
    DcmWriteCache cache;
    file.transferInit();
    OFCondition status = EC_StreamNotifyClient;
    while (status == EC_StreamNotifyClient) {
        status = file.write(stream, EXS_LittleEndianExplicit, EET_ExplicitLength, &cache, EGL_recalcGL);
        if (status == EC_Normal) stream.flush();
        void* data = nullptr;
        offile_off_t length = 0;
        stream.flushBuffer(data, length);
        const uint8_t* from = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), from, from + length);
    }
    file.transferEnd();
    return status;
}

}  // namespace

const char* segObjectStatusText(SegObjectStatus status) {
    switch (status) {
    case SegObjectStatus::Ok: return "the segmentation was read";
    case SegObjectStatus::Unreadable: return "the file cannot be read as a DICOM segmentation";
    case SegObjectStatus::NotSegmentation: return "the file is not a DICOM segmentation";
    case SegObjectStatus::NotBinary: return "only binary segmentations can be shown";
    case SegObjectStatus::NoSegment: return "the segmentation holds no segment";
    case SegObjectStatus::SeveralSegments: return "the segmentation holds several segments; only one can be shown";
    case SegObjectStatus::OtherFrameOfReference: return "the segmentation lies in another frame of reference";
    case SegObjectStatus::OtherSeries: return "the segmentation references another series";
    case SegObjectStatus::GridMismatch: return "the segmentation does not lie on the shown images";
    case SegObjectStatus::EncodeFailed: return "the segmentation could not be written";
    }
    return "unknown segmentation status";
}

SegObjectStatus writeSegmentationObject(const SegSourceSeries& source, const uint8_t* mask, int sizeZ,
                                        const SegSegmentDescription& description, const SegClipBox* clip,
                                        const std::string& sopInstanceUid, const std::string& seriesInstanceUid,
                                        std::vector<uint8_t>& fileBytes, std::string* detail) {
    fileBytes.clear();
    if (detail) detail->clear();
    const SegObjectStatus grid = SegObjectStatus::GridMismatch;
    if (!mask) return failed(detail, grid, "no mask given");
    if (source.columns < 1 || source.rows < 1 || source.columns > 65535 || source.rows > 65535)
        return failed(detail, grid, "the images have no valid size");
    if (sizeZ < 1 || static_cast<size_t>(sizeZ) != source.images.size() || source.images.size() > kMaxFrames)
        return failed(detail, grid, "the mask's slices are not the series' images");
    if (!finite(source.rowDir, 3) || !finite(source.colDir, 3) || !(source.spacingX > 0) || !(source.spacingY > 0) ||
        !(source.sliceThickness > 0) || !std::isfinite(source.spacingX) || !std::isfinite(source.spacingY) ||
        !std::isfinite(source.sliceThickness))
        return failed(detail, grid, "the series has no valid geometry");
    for (const SegSourceImage& image : source.images)
        if (!finite(image.position, 3) || image.sopInstanceUid.empty() || image.sopClassUid.empty())
            return failed(detail, grid, "an image has no position or no UIDs");
    if (source.studyInstanceUid.empty() || source.seriesInstanceUid.empty())
        return failed(detail, grid, "the series has no study or series UID");
    if (clip && !std::all_of(clip->values, clip->values + 6, [](float v) { return std::isfinite(v); }))
        return failed(detail, SegObjectStatus::EncodeFailed, "the clip box is not a box");

    auto orDefault = [](const std::string& text, const char* fallback) { return text.empty() ? std::string(fallback) : text; };
    const IODGeneralEquipmentModule::EquipmentInfo equipment(
        upTo(orDefault(description.manufacturer, "Orlinex"), 64).c_str(),
        upTo(orDefault(description.modelName, "Quarvia Vexel 3D demo"), 64).c_str(),
        upTo(orDefault(description.deviceSerialNumber, "0001"), 64).c_str(),
        upTo(orDefault(description.softwareVersions, "0"), 64).c_str());
    const std::string label = upTo(orDefault(description.label, "Segment"), 64);
    ContentIdentificationMacro content;
    OFCondition c = content.setInstanceNumber(std::to_string(std::max(1, description.instanceNumber)).c_str());
    if (c.good()) c = content.setContentLabel("SEGMENTATION");
    if (c.good()) c = content.setContentDescription(label.c_str());
    if (c.bad()) return failed(detail, "content identification", c);

    DcmSegmentation* createdSegmentation = nullptr;
    c = DcmSegmentation::createBinarySegmentation(createdSegmentation, static_cast<Uint16>(source.rows),
                                                  static_cast<Uint16>(source.columns), equipment, content);
    std::unique_ptr<DcmSegmentation> seg(createdSegmentation);
    if (c.bad() || !seg) return failed(detail, "creating the segmentation", c);

    const std::string sop = sopInstanceUid.empty() ? newUid() : sopInstanceUid;
    const std::string series = seriesInstanceUid.empty() ? newUid() : seriesInstanceUid;
    c = seg->getSOPCommon().setSOPInstanceUID(sop.c_str());
    if (c.good()) c = seg->getSeries().setSeriesInstanceUID(series.c_str());
    if (c.good()) c = seg->getSeries().setSeriesNumber(std::to_string(std::max(0, description.seriesNumber)).c_str());
    if (c.good()) c = seg->getSeries().setSeriesDescription(upTo(description.seriesDescription, 64).c_str());
    if (c.good()) c = seg->getStudy().setStudyInstanceUID(source.studyInstanceUid.c_str());
    if (c.good() && !source.frameOfReferenceUid.empty())
        c = seg->getFrameOfReference().setFrameOfReferenceUID(source.frameOfReferenceUid.c_str());
    if (c.bad()) return failed(detail, "identifying the segmentation", c);

    // The segment.
    const CodeSequenceMacro category(description.category.value.c_str(), description.category.scheme.c_str(),
                                     upTo(description.category.meaning, 64).c_str());
    const CodeSequenceMacro type(description.type.value.c_str(), description.type.scheme.c_str(),
                                 upTo(description.type.meaning, 64).c_str());
    DcmSegment* createdSegment = nullptr;
    c = DcmSegment::create(createdSegment, label.c_str(), category, type,
                           description.semiautomatic ? DcmSegTypes::SAT_SEMIAUTOMATIC : DcmSegTypes::SAT_MANUAL,
                           description.semiautomatic ? upTo(description.algorithmName, 64).c_str() : "");
    std::unique_ptr<DcmSegment> segment(createdSegment);
    if (c.bad() || !segment) return failed(detail, "describing the segment", c);
    Uint16 segmentNumber = 0;
    c = seg->addSegment(segment.get(), segmentNumber);
    if (c.bad()) return failed(detail, "adding the segment", c);
    segment.release();  // the segmentation owns it now

    // What all frames share: the plane orientation and the pixel size.
    std::unique_ptr<FGPlaneOrientationPatient> orientation(FGPlaneOrientationPatient::createMinimal(
        decimal(source.rowDir[0]).c_str(), decimal(source.rowDir[1]).c_str(), decimal(source.rowDir[2]).c_str(),
        decimal(source.colDir[0]).c_str(), decimal(source.colDir[1]).c_str(), decimal(source.colDir[2]).c_str()));
    if (!orientation) return failed(detail, SegObjectStatus::EncodeFailed, "the plane orientation is not valid");
    c = seg->addForAllFrames(*orientation);
    FGPixelMeasures measures;
    // Pixel Spacing is row spacing first, then column spacing.
    if (c.good()) c = measures.setPixelSpacing((decimal(source.spacingY) + "\\" + decimal(source.spacingX)).c_str());
    if (c.good()) c = measures.setSliceThickness(decimal(source.sliceThickness).c_str());
    if (c.good()) c = seg->addForAllFrames(measures);
    if (c.bad()) return failed(detail, "shared frame description", c);

    // Frames are ordered by segment, then by position along the stack.
    const std::string dimensionUid = newUid();
    IODMultiframeDimensionModule& dimensions = seg->getDimensions();
    c = dimensions.addDimensionIndex(DCM_ReferencedSegmentNumber, dimensionUid.c_str(),
                                     DCM_SegmentIdentificationSequence, "ReferencedSegmentNumber");
    if (c.good())
        c = dimensions.addDimensionIndex(DCM_ImagePositionPatient, dimensionUid.c_str(), DCM_PlanePositionSequence,
                                         "ImagePositionPatient");
    if (c.bad()) return failed(detail, "dimension organization", c);

    // One frame per slice, empty ones too, so that frames map 1:1 to images.
    const CodeSequenceMacro derivationCode("113076", "DCM", "Segmentation");
    const CodeSequenceMacro purpose("121322", "DCM", "Source image for image processing operation");
    const size_t plane = static_cast<size_t>(source.columns) * static_cast<size_t>(source.rows);
    std::vector<Uint8> slice(plane);
    FGFrameContent frameContent;
    for (int z = 0; z < sizeZ; ++z) {
        const SegSourceImage& image = source.images[static_cast<size_t>(z)];
        std::unique_ptr<FGPlanePosPatient> position(FGPlanePosPatient::createMinimal(
            decimal(image.position[0]).c_str(), decimal(image.position[1]).c_str(), decimal(image.position[2]).c_str()));
        OFVector<ImageSOPInstanceReferenceMacro> sourceImages(1);
        c = sourceImages[0].setReferencedSOPClassUID(image.sopClassUid.c_str());
        if (c.good()) c = sourceImages[0].setReferencedSOPInstanceUID(image.sopInstanceUid.c_str());
        if (c.bad()) return failed(detail, "source image reference", c);
        std::unique_ptr<FGDerivationImage> derivation(
            FGDerivationImage::createMinimal(sourceImages, "", derivationCode, purpose));
        if (!position || !derivation)
            return failed(detail, SegObjectStatus::EncodeFailed, "slice " + std::to_string(z + 1) + " cannot be described");
        c = frameContent.setDimensionIndexValues(segmentNumber, 0);
        if (c.good()) c = frameContent.setDimensionIndexValues(static_cast<Uint32>(z + 1), 1);
        if (c.bad()) return failed(detail, "dimension index values", c);
        std::memcpy(slice.data(), mask + plane * static_cast<size_t>(z), plane);
        OFVector<FGBase*> groups;
        groups.push_back(position.get());
        groups.push_back(&frameContent);
        groups.push_back(derivation.get());
        c = seg->addFrame(slice.data(), segmentNumber, groups);
        if (c.bad()) return failed(detail, ("slice " + std::to_string(z + 1)).c_str(), c);
    }

    // The series and its images, for readers that look for the source there.
    IODReferences references;
    const std::string patientId = copiedValue(source, 0x00100020);
    for (const SegSourceImage& image : source.images) {
        auto reference = std::make_unique<IODImageReference>(patientId.c_str(), source.studyInstanceUid.c_str(),
                                                             source.seriesInstanceUid.c_str(),
                                                             image.sopInstanceUid.c_str(), image.sopClassUid.c_str());
        reference->m_Level = IODReference::LEVEL_SERIES;
        if (!references.add(reference.get()))
            return failed(detail, SegObjectStatus::EncodeFailed, "image " + image.sopInstanceUid + " cannot be referenced");
        reference.release();  // the reference set owns it now
    }
    if (seg->getCommonInstanceReference().addReferences(references, source.studyInstanceUid.c_str()) !=
        source.images.size())
        return failed(detail, SegObjectStatus::EncodeFailed, "the source series cannot be referenced");

    // The dimension values are set above from the frame order itself.
    seg->setCheckDimensionsOnWrite(OFFalse);
    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    c = seg->writeDataset(dataset);
    if (c.bad()) return failed(detail, "writing the segmentation", c);
    if (plane % 8 != 0) {
        // DCMTK 3.6.7 misplaces the bits of frames that do not end on a byte
        // boundary: the frames follow each other bit for bit, so pack again.
        const size_t voxels = plane * static_cast<size_t>(sizeZ);
        std::vector<Uint8> packed((voxels + 7) / 8, 0);
        for (size_t i = 0; i < voxels; ++i)
            if (mask[i]) packed[i >> 3] = static_cast<Uint8>(packed[i >> 3] | (1u << (i & 7)));
        c = dataset.putAndInsertUint8Array(DCM_PixelData, packed.data(), static_cast<unsigned long>(packed.size()));
        if (c.bad()) return failed(detail, "pixel data", c);
    }
    for (const auto& [tag, value] : source.copiedAttributes) {
        if (!patientOrStudyAttribute(tag)) continue;
        const DcmTag key(static_cast<Uint16>(tag >> 16), static_cast<Uint16>(tag & 0xFFFF));
        if (!key.getVR().isaString() || key.getEVR() == EVR_UI) continue;
        c = dataset.putAndInsertString(key, value.c_str());
        if (c.bad()) return failed(detail, "copying patient and study", c);
    }
    if (clip) {
        std::string values;
        for (int i = 0; i < 6; ++i) values += (i ? "\\" : "") + decimal(clip->values[i]);
        c = dataset.putAndInsertString(DcmTag(kSegClipBoxGroup, 0x0010, EVR_LO), kSegClipBoxCreator);
        if (c.good()) c = dataset.putAndInsertString(DcmTag(kSegClipBoxGroup, 0x1000, EVR_DS), values.c_str());
        if (c.bad()) return failed(detail, "clip box", c);
    }
    c = encode(file, fileBytes);
    if (c.bad()) {
        fileBytes.clear();
        return failed(detail, "encoding the file", c);
    }
    return SegObjectStatus::Ok;
}

namespace {

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string format3(const double* v) {
    char buffer[120];
    std::snprintf(buffer, sizeof buffer, "(%.3f, %.3f, %.3f)", v[0], v[1], v[2]);
    return buffer;
}

// The clip box from the private block, when the file has a well-formed one.
std::optional<SegClipBox> privateClipBox(DcmDataset& dataset, const SegSourceSeries& shown) {
    Uint16 block = 0;
    for (Uint16 element = 0x0010; element <= 0x00FF && !block; ++element) {
        OFString creator;
        if (dataset.findAndGetOFString(DcmTagKey(kSegClipBoxGroup, element), creator).good() &&
            trimmed(creator.c_str()) == kSegClipBoxCreator)
            block = element;
    }
    if (!block) return std::nullopt;
    DcmElement* element = nullptr;
    if (dataset.findAndGetElement(DcmTagKey(kSegClipBoxGroup, static_cast<Uint16>(block << 8)), element).bad() ||
        !element || element->getLength() > 256)
        return std::nullopt;
    std::string text;
    if (element->isaString()) {
        OFString value;
        if (element->getOFStringArray(value).bad()) return std::nullopt;
        text = value.c_str();
    } else {
        // Read without a dictionary entry (implicit VR): the raw text.
        Uint8* bytes = nullptr;
        if (element->getUint8Array(bytes).bad() || !bytes) return std::nullopt;
        text.assign(reinterpret_cast<const char*>(bytes), element->getLength());
    }
    const double size = std::max({shown.columns, shown.rows, static_cast<int>(shown.images.size())});
    const double limit = 4 * size + 300;
    SegClipBox box;
    size_t start = 0;
    for (int i = 0; i < 6; ++i) {
        const size_t end = text.find('\\', start);
        if ((i < 5) == (end == std::string::npos)) return std::nullopt;
        const std::string part = trimmed(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        const std::string number(part.c_str());  // stops at a padding NUL
        char* stop = nullptr;
        const double value = number.empty() ? NAN : std::strtod(number.c_str(), &stop);
        if (!std::isfinite(value) || *stop != '\0' || std::fabs(value) > limit) return std::nullopt;
        box.values[i] = static_cast<float>(value);
        start = end + 1;
    }
    return box;
}

// The bits of Pixel Data as bytes; nullptr if there are fewer than `bytesNeeded`.
const uint8_t* pixelBits(DcmDataset& dataset, size_t bytesNeeded, std::string& detail) {
    DcmElement* pixels = nullptr;
    if (dataset.findAndGetElement(DCM_PixelData, pixels).bad() || !pixels) {
        detail = "the file has no pixel data";
        return nullptr;
    }
    const size_t length = pixels->getLength();
    if (length < bytesNeeded) {
        detail = "the pixel data holds " + std::to_string(length) + " bytes, the frames need " +
                 std::to_string(bytesNeeded);
        return nullptr;
    }
    Uint8* bytes = nullptr;
    if (pixels->getUint8Array(bytes).good() && bytes) return bytes;
    // Written as OW: the words in memory are little endian on this platform,
    // so their bytes are the bit stream in file order.
    Uint16* words = nullptr;
    if (gLocalByteOrder == EBO_LittleEndian && pixels->getUint16Array(words).good() && words)
        return reinterpret_cast<const uint8_t*>(words);
    detail = "the pixel data cannot be read";
    return nullptr;
}

SegObjectStatus refuse(std::string& detail, SegObjectStatus status, const std::string& text) {
    detail = text;
    return status;
}

template <class T>
T* frameGroup(FGInterface& groups, size_t frame, DcmFGTypes::E_FGType type) {
    return dynamic_cast<T*>(groups.get(static_cast<Uint32>(frame), type));
}

SegObjectStatus readDataset(DcmDataset& dataset, const SegSourceSeries& shown, std::vector<uint8_t>& mask,
                            std::optional<SegClipBox>& clip, std::string& detail) {
    using S = SegObjectStatus;
    if (shown.columns < 1 || shown.rows < 1 || shown.images.empty() || shown.images.size() > kMaxFrames)
        return refuse(detail, S::GridMismatch, "no series is shown");

    OFString text;
    dataset.findAndGetOFString(DCM_SOPClassUID, text);
    if (text != UID_SegmentationStorage)
        return refuse(detail, S::NotSegmentation,
                      std::string("the file holds a ") + dcmFindNameOfUID(text.c_str(), "unknown kind of") + " object");
    text.clear();
    dataset.findAndGetOFString(DCM_SegmentationType, text);
    if (text == "FRACTIONAL")
        return refuse(detail, S::NotBinary, "the segmentation is fractional (probability or occupancy), not binary");
    if (text != "BINARY")
        return refuse(detail, S::NotBinary, "the segmentation type is '" + std::string(text.c_str()) + "', not binary");
    Uint16 bitsAllocated = 0;
    if (dataset.findAndGetUint16(DCM_BitsAllocated, bitsAllocated).bad() || bitsAllocated != 1)
        return refuse(detail, S::NotBinary, "the binary segmentation does not have one bit per pixel");

    DcmSequenceOfItems* segments = nullptr;
    const unsigned long segmentCount =
        dataset.findAndGetSequence(DCM_SegmentSequence, segments).good() && segments ? segments->card() : 0;
    if (segmentCount == 0) return refuse(detail, S::NoSegment, "the segmentation describes no segment");
    if (segmentCount > 1)
        return refuse(detail, S::SeveralSegments,
                      "the segmentation holds " + std::to_string(segmentCount) + " segments; only one can be shown");
    Uint16 segmentNumber = 0;
    if (!segments->getItem(0) || segments->getItem(0)->findAndGetUint16(DCM_SegmentNumber, segmentNumber).bad())
        return refuse(detail, S::NoSegment, "the segmentation's segment has no number");

    text.clear();
    dataset.findAndGetOFString(DCM_FrameOfReferenceUID, text);
    if (std::string(text.c_str()) != shown.frameOfReferenceUid)
        return refuse(detail, S::OtherFrameOfReference,
                      "the segmentation's frame of reference is '" + std::string(text.c_str()) +
                          "', the shown series' is '" + shown.frameOfReferenceUid + "'");

    DcmSequenceOfItems* seriesReferences = nullptr;
    if (dataset.findAndGetSequence(DCM_ReferencedSeriesSequence, seriesReferences).good() && seriesReferences) {
        for (unsigned long i = 0; i < seriesReferences->card(); ++i) {
            OFString uid;
            DcmItem* item = seriesReferences->getItem(i);
            if (item) item->findAndGetOFString(DCM_SeriesInstanceUID, uid);
            if (std::string(uid.c_str()) != shown.seriesInstanceUid)
                return refuse(detail, S::OtherSeries,
                              "the segmentation references series '" + std::string(uid.c_str()) +
                                  "', not the shown series");
        }
    }
    DcmSequenceOfItems* otherStudies = nullptr;
    if (dataset.findAndGetSequence(DCM_StudiesContainingOtherReferencedInstancesSequence, otherStudies).good() &&
        otherStudies && otherStudies->card() > 0)
        return refuse(detail, S::OtherSeries, "the segmentation references images of another study");

    Uint16 rows = 0, columns = 0;
    dataset.findAndGetUint16(DCM_Rows, rows);
    dataset.findAndGetUint16(DCM_Columns, columns);
    if (rows != shown.rows || columns != shown.columns)
        return refuse(detail, S::GridMismatch,
                      "the segmentation's frames are " + std::to_string(columns) + " x " + std::to_string(rows) +
                          " pixels, the shown images " + std::to_string(shown.columns) + " x " +
                          std::to_string(shown.rows));
    Sint32 frameCount = 0;
    if (dataset.findAndGetSint32(DCM_NumberOfFrames, frameCount).bad() || frameCount < 1)
        return refuse(detail, S::Unreadable, "the segmentation has no frames");
    if (static_cast<size_t>(frameCount) > shown.images.size())
        return refuse(detail, S::GridMismatch,
                      "the segmentation has " + std::to_string(frameCount) + " frames for " +
                          std::to_string(shown.images.size()) + " shown slices");
    const size_t frames = static_cast<size_t>(frameCount);
    const size_t plane = static_cast<size_t>(columns) * rows;

    if (DcmXfer(dataset.getOriginalXfer()).isEncapsulated() &&
        dataset.chooseRepresentation(EXS_LittleEndianExplicit, nullptr).bad())
        return refuse(detail, S::Unreadable, "the segmentation's compressed pixel data cannot be decoded");
    // The length is checked before any frame is looked at.
    const uint8_t* bits = pixelBits(dataset, (frames * plane + 7) / 8, detail);
    if (!bits) return S::Unreadable;

    // The frame descriptions only: DCMTK 3.6.7 loses a whole DcmSegmentation
    // when loadDataset() fails on a malformed file.
    FGInterface groups;
    const OFCondition c = groups.read(dataset);
    if (c.bad())
        return refuse(detail, S::Unreadable, std::string("the segmentation's frames cannot be read: ") + c.text());
    if (groups.getNumberOfFrames() != frames)
        return refuse(detail, S::Unreadable,
                      "the segmentation announces " + std::to_string(frames) + " frames and describes " +
                          std::to_string(groups.getNumberOfFrames()));

    std::unordered_set<std::string> shownInstances;
    for (const SegSourceImage& image : shown.images) shownInstances.insert(image.sopInstanceUid);
    const double spacing = shown.sliceThickness > 0 && std::isfinite(shown.sliceThickness) ? shown.sliceThickness : 1.0;
    const double tolerance = std::max(0.01 * spacing, 0.01);
    const double orientationTolerance = 1e-4;
    const double expected[6] = {shown.rowDir[0], shown.rowDir[1], shown.rowDir[2],
                                shown.colDir[0], shown.colDir[1], shown.colDir[2]};
    std::vector<size_t> sliceOfFrame(frames);
    std::vector<size_t> frameOfSlice(shown.images.size(), frames);
    for (size_t f = 0; f < frames; ++f) {
        const std::string name = "frame " + std::to_string(f + 1);
        auto* segmentation = frameGroup<FGSegmentation>(groups, f, DcmFGTypes::EFG_SEGMENTATION);
        Uint16 frameSegment = 0;
        if (!segmentation || segmentation->getReferencedSegmentNumber(frameSegment).bad() ||
            frameSegment != segmentNumber)
            return refuse(detail, S::Unreadable, name + " belongs to no segment the file describes");

        auto* orientation = frameGroup<FGPlaneOrientationPatient>(groups, f, DcmFGTypes::EFG_PLANEORIENTPATIENT);
        Float64 o[6] = {0, 0, 0, 0, 0, 0};
        if (!orientation || orientation->getImageOrientationPatient(o[0], o[1], o[2], o[3], o[4], o[5]).bad())
            return refuse(detail, S::GridMismatch, name + " has no plane orientation");
        for (int i = 0; i < 6; ++i)
            if (!(std::fabs(o[i] - expected[i]) <= orientationTolerance))
                return refuse(detail, S::GridMismatch, name + " is oriented differently from the shown images");

        if (auto* measures = frameGroup<FGPixelMeasures>(groups, f, DcmFGTypes::EFG_PIXELMEASURES)) {
            Float64 rowSpacing = 0, columnSpacing = 0;
            if (measures->getPixelSpacing(rowSpacing, 0).good() && measures->getPixelSpacing(columnSpacing, 1).good() &&
                (!(std::fabs(rowSpacing - shown.spacingY) <= std::max(0.01 * shown.spacingY, 1e-3)) ||
                 !(std::fabs(columnSpacing - shown.spacingX) <= std::max(0.01 * shown.spacingX, 1e-3))))
                return refuse(detail, S::GridMismatch, name + " has other pixel spacing than the shown images");
        }

        auto* position = frameGroup<FGPlanePosPatient>(groups, f, DcmFGTypes::EFG_PLANEPOSPATIENT);
        Float64 p[3] = {0, 0, 0};
        if (!position || position->getImagePositionPatient(p[0], p[1], p[2]).bad() || !finite(p, 3))
            return refuse(detail, S::GridMismatch, name + " has no image position");
        size_t nearest = shown.images.size();
        double nearestDistance = tolerance;
        for (size_t z = 0; z < shown.images.size(); ++z) {
            const double* q = shown.images[z].position;
            const double distance = std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                                              (p[2] - q[2]) * (p[2] - q[2]));
            if (distance <= nearestDistance) {
                nearest = z;
                nearestDistance = distance;
            }
        }
        if (nearest == shown.images.size())
            return refuse(detail, S::GridMismatch, name + " at " + format3(p) + " lies on no shown slice");
        if (frameOfSlice[nearest] != frames)
            return refuse(detail, S::GridMismatch,
                          "frames " + std::to_string(frameOfSlice[nearest] + 1) + " and " + std::to_string(f + 1) +
                              " both lie on slice " + std::to_string(nearest + 1));
        frameOfSlice[nearest] = f;
        sliceOfFrame[f] = nearest;

        if (auto* derivation = frameGroup<FGDerivationImage>(groups, f, DcmFGTypes::EFG_DERIVATIONIMAGE)) {
            for (DerivationImageItem* item : derivation->getDerivationImageItems()) {
                if (!item) continue;
                for (SourceImageItem* sourceImage : item->getSourceImageItems()) {
                    OFString uid;
                    if (!sourceImage) continue;
                    sourceImage->getImageSOPInstanceReference().getReferencedSOPInstanceUID(uid);
                    if (!shownInstances.count(uid.c_str()))
                        return refuse(detail, S::OtherSeries,
                                      name + " derives from image '" + std::string(uid.c_str()) +
                                          "', which is not in the shown series");
                }
            }
        }
    }

    mask.assign(plane * shown.images.size(), 0);
    for (size_t f = 0; f < frames; ++f) {
        uint8_t* to = mask.data() + plane * sliceOfFrame[f];
        const size_t first = f * plane;
        for (size_t i = 0; i < plane; ++i) {
            const size_t bit = first + i;
            to[i] = static_cast<uint8_t>((bits[bit >> 3] >> (bit & 7)) & 1);
        }
    }
    clip = privateClipBox(dataset, shown);
    detail.clear();
    return S::Ok;
}

SegObjectStatus readFile(DcmFileFormat& file, const OFCondition& loaded, const SegSourceSeries& shown,
                         std::vector<uint8_t>& mask, std::optional<SegClipBox>& clip, std::string& detail) {
    if (loaded.bad() || !file.getDataset())
        return refuse(detail, SegObjectStatus::Unreadable, std::string("the file cannot be read as DICOM: ") + loaded.text());
    const SegObjectStatus status = readDataset(*file.getDataset(), shown, mask, clip, detail);
    if (status != SegObjectStatus::Ok) {
        mask.clear();
        clip.reset();
    }
    return status;
}

}  // namespace

SegObjectStatus readSegmentationObject(const std::string& path, const SegSourceSeries& shown,
                                       std::vector<uint8_t>& mask, std::optional<SegClipBox>& clip,
                                       std::string& detail) {
    mask.clear();
    clip.reset();
    detail.clear();
    DcmFileFormat file;
    const OFCondition loaded =
        file.loadFile(OFFilename(path.c_str()), EXS_Unknown, EGL_noChange, DCM_MaxReadLength, ERM_autoDetect);
    return readFile(file, loaded, shown, mask, clip, detail);
}

SegObjectStatus readSegmentationObjectBytes(const uint8_t* bytes, size_t size, const SegSourceSeries& shown,
                                            std::vector<uint8_t>& mask, std::optional<SegClipBox>& clip,
                                            std::string& detail) {
    mask.clear();
    clip.reset();
    detail.clear();
    if (!bytes || size == 0) return refuse(detail, SegObjectStatus::Unreadable, "the file is empty");
    DcmInputBufferStream stream;
    stream.setBuffer(bytes, static_cast<offile_off_t>(size));
    stream.setEos();
    DcmFileFormat file;
    file.transferInit();
    const OFCondition loaded = file.read(stream, EXS_Unknown, EGL_noChange, DCM_MaxReadLength);
    file.transferEnd();
    return readFile(file, loaded, shown, mask, clip, detail);
}

}  // namespace v3d
