// libFuzzer target: manifest text, the file names in it and response
// header lines are bytes from the network. None may crash the parser, and
// what it answers must hold to its own rules; a broken rule traps.
#include "BodyLength.h"
#include "Manifest.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace glossan;

namespace {

void require(bool condition) {
    if (!condition) __builtin_trap();
}

void checkManifest(const std::string& text) {
    const Manifest manifest = parseManifest(text);
    require(manifest.lineFeeds == std::count(text.begin(), text.end(), '\n'));
    // Every name is a line of the text: no terminator inside, and together
    // they are never longer than the text.
    size_t total = 0;
    for (const std::string& name : manifest.names) {
        require(name.find_first_of("\r\n") == std::string::npos);
        total += name.size();
    }
    require(total <= text.size());
    require(manifest.names.size() <= text.size());
    require(text.empty() == manifest.names.empty());
    for (size_t k = 1; k <= manifest.names.size(); ++k) {
        const int position = overallPosition(static_cast<int>(k), manifest.lineFeeds);
        require(position >= 0);
    }
    for (const std::string& name : manifest.names) {
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
