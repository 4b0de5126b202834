// Untrusted bytes as a file or a PACS would bring them: the element walk
// that guards the toolkit, and the multipart reader of WADO-RS answers.
#include "dicom/StreamScan.h"
#include "pacs/MultipartReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const quarvia::StreamReport report = quarvia::scanDicomStream(data, size, 64);
    if (report.offset > size && report.state != quarvia::StreamState::TooDeep) __builtin_trap();
    // The same bytes as a multipart body in pieces of a few sizes.
    for (size_t piece : {size_t(1), size_t(7), size_t(4096)}) {
        size_t parts = 0;
        quarvia::MultipartReader reader("b1", [&parts](const QByteArray&) { return ++parts < 1000; }, 1 << 16);
        for (size_t at = 0; at < size; at += piece)
            if (!reader.feed(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at))) break;
    }
    return 0;
}
