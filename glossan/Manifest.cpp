#include "Manifest.h"

#include <algorithm>
#include <cstdint>

namespace glossan {

Manifest parseManifest(const std::string& text) {
    Manifest manifest;
    manifest.lineFeeds = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            manifest.names.push_back(text.substr(start));
            break;
        }
        manifest.names.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return manifest;
}

int overallPosition(int k, int lineFeeds) { return static_cast<int>(int64_t(100) * k / (int64_t(lineFeeds) + 1)); }

bool isSafeFileName(const std::string& name) {
    if (name.empty() || name.front() == '/') return false;
    if (name.find("..") != std::string::npos || name.find('\\') != std::string::npos) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

}  // namespace glossan
