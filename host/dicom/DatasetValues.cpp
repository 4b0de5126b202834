#include "DatasetValues.h"

#include <dcmtk/dcmdata/dctk.h>

#include <cstring>

namespace quarvia {

namespace {
DcmElement* find(DcmItem& item, uint16_t group, uint16_t element) {
    DcmElement* found = nullptr;
    if (item.findAndGetElement(DcmTagKey(group, element), found).bad()) return nullptr;
    return found;
}
bool isBinaryBlock(DcmEVR vr) {
    return vr == EVR_OB || vr == EVR_OW || vr == EVR_UN || vr == EVR_ox || vr == EVR_px || vr == EVR_UNKNOWN;
}
}  // namespace

bool datasetText(DcmDataset* dataset, uint16_t group, uint16_t element, std::string& text) {
    if (!dataset) return false;
    DcmElement* e = find(*dataset, group, element);
    if (!e) return false;
    if (isBinaryBlock(e->ident())) {
        // Private text stored as bytes: up to the first zero.
        std::vector<uint8_t> bytes;
        if (!datasetBytes(dataset, group, element, bytes)) return false;
        text.assign(bytes.begin(), bytes.end());
        text.resize(std::strlen(text.c_str()));
        return true;
    }
    OFString value;
    if (e->getOFStringArray(value).bad()) return false;
    text = value.c_str();
    return true;
}

bool datasetBytes(DcmDataset* dataset, uint16_t group, uint16_t element, std::vector<uint8_t>& bytes) {
    if (!dataset) return false;
    DcmElement* e = find(*dataset, group, element);
    if (!e) return false;
    const Uint32 length = e->getLength();
    Uint8* u8 = nullptr;
    if (e->ident() != EVR_OW && e->getUint8Array(u8).good()) {
        bytes.assign(u8, u8 + (u8 ? length : 0));
        return true;
    }
    Uint16* u16 = nullptr;
    if (e->getUint16Array(u16).good()) {
        bytes.clear();
        for (Uint32 i = 0; u16 && i < length / 2; ++i) {
            bytes.push_back(static_cast<uint8_t>(u16[i] & 0xFF));
            bytes.push_back(static_cast<uint8_t>(u16[i] >> 8));
        }
        return true;
    }
    OFString value;
    if (e->getOFStringArray(value).bad()) return false;
    bytes.assign(value.begin(), value.end());
    return true;
}

std::string datasetString(DcmDataset* dataset, uint16_t group, uint16_t element) {
    std::string text;
    return datasetText(dataset, group, element, text) ? text : std::string();
}

}  // namespace quarvia
