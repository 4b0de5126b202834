#pragma once

#include "DicomImage.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class DcmFileFormat;
class OFCondition;

namespace quarvia {

// A secondary-capture image a plug-in builds from a source image: patient
// and study of the source, pixels of the plug-in, the plug-in's identity in
// (0018,1018).
class NewDicomFile {
public:
    ~NewDicomFile();
    // pixelType 1: 16-bit grey, 2: 8-bit RGB. Null for bad arguments.
    static std::unique_ptr<NewDicomFile> create(const std::string& identity, const DicomImage& source, const void* pixels,
                                                int pixelType, int width, int height, const char* sopUid);

    bool setFloat64(uint16_t group, uint16_t element, const double* values, int count);
    bool setUint16(uint16_t group, uint16_t element, const uint16_t* values, int count);
    bool setString(uint16_t group, uint16_t element, const char* value);
    bool setUint8(uint16_t group, uint16_t element, const uint8_t* values, int count);
    bool remove(uint16_t group, uint16_t element);
    // The given series (uid and number), or a new one when uid is null or empty.
    bool setSeries(const char* seriesUid, int seriesNumber);

    // Writes the file into `folder` and answers it as a loaded image; the
    // dataset is made consistent first.
    std::unique_ptr<DicomImage> write(const QString& folder, QString& error);

private:
    NewDicomFile() = default;
    bool editable(uint16_t group, uint16_t element) const;
    OFCondition encode(QByteArray& bytes);
    void ensurePrivateCreator(uint16_t group, uint16_t element);
    void makeConsistent();

    std::unique_ptr<DcmFileFormat> m_file;
};

}  // namespace quarvia
