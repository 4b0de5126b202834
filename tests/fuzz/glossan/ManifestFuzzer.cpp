// libFuzzer target: manifest text, the file names in it and response
// header lines are bytes from the network. None may crash the parser, and
// what it answers must hold to its own rules; a broken rule traps.
#include "BodyLength.h"
#include "Manifest.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <climits>
#include <string>

using namespace glossan;

namespace {

void require(bool condition) {
    if (!condition) __builtin_trap();
}

void checkManifest(const std::string& text) {
    const Manifest manifest = parseManifest(text);
    require(manifest.lineFeeds == std::count(text.begin(), text.end(), '\n'));
    // A refused list names nothing; an accepted one has at most the cap of
    // entries, each name a line of the text (no terminator or tab inside),
    // together never longer than the text, and sizes the download can report.
    if (manifest.status != ManifestStatus::Ok) require(manifest.entries.empty());
    require(manifest.entries.size() <= Manifest::kMaxEntries);
    size_t total = 0;
    for (const ManifestEntry& entry : manifest.entries) {
        require(entry.name.find_first_of("\r\n\t") == std::string::npos);
        require(entry.check.size >= -1 && entry.check.size <= INT32_MAX);
        require(entry.check.sha256.empty() || entry.check.sha256.size() == 64);
        total += entry.name.size();
    }
    require(total <= text.size());
    require(manifest.entries.size() <= text.size());
    if (manifest.status == ManifestStatus::Ok) require(text.empty() == manifest.entries.empty());
    for (size_t k = 1; k <= manifest.entries.size(); ++k) {
        const int position = overallPosition(static_cast<int>(k), manifest.lineFeeds);
        require(position >= 0);
    }
    for (const ManifestEntry& entry : manifest.entries) {
        const std::string& name = entry.name;
        if (!isSafeFileName(name)) continue;
        // A name taken as safe cannot leave the download folder.
        require(!name.empty() && name.front() != '/');
        require(name.find("..") == std::string::npos && name.find('\\') == std::string::npos);
        require(std::none_of(name.begin(), name.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte == 0x7f;
        }));
    }
}

// The same bytes as header lines, each ended by its line feed as the
// transfer hands them over.
void checkHeaders(const std::string& text) {
    BodyLength length;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        length.addHeaderLine(text.data() + start, end - start);
        start = end;
    }
    const int64_t announced = length.announced();
    require(announced >= -1);
    require(announced <= (int64_t(1) << 53));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkManifest(text);
    checkHeaders(text);
    return 0;
}
