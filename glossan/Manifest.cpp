#include "Manifest.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace glossan {

namespace {

constexpr size_t kSha256HexDigits = 64;

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A size the download can report: plain decimal digits up to 2^31 - 1.
bool parseSize(const std::string& text, int64_t& size) {
    if (text.empty() || text.size() > 10) return false;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > std::numeric_limits<int32_t>::max()) return false;
    size = value;
    return true;
}

bool parseSha256(const std::string& text, std::string& digest) {
    if (text.size() != kSha256HexDigits || !std::all_of(text.begin(), text.end(), isHexDigit)) return false;
    digest = text;
    std::transform(digest.begin(), digest.end(), digest.begin(), [](char c) { return char(c | 0x20); });
    return true;
}

// "name<TAB>key=value<TAB>..." into an entry; false for a bad known field.
bool parseEntry(const std::string& line, ManifestEntry& entry) {
    size_t tab = line.find('\t');
    entry.name = line.substr(0, tab);
    bool sizeSeen = false, digestSeen = false;
    while (tab != std::string::npos) {
        const size_t start = tab + 1;
        tab = line.find('\t', start);
        const std::string field = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        const size_t equals = field.find('=');
        const std::string key = field.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : field.substr(equals + 1);
        if (key == "size") {
            if (sizeSeen || !parseSize(value, entry.check.size)) return false;
            sizeSeen = true;
        } else if (key == "sha256") {
            if (digestSeen || !parseSha256(value, entry.check.sha256)) return false;
            digestSeen = true;
        }
    }
    return true;
}

}  // namespace

Manifest parseManifest(const std::string& text) {
    Manifest manifest;
    manifest.lineFeeds = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    size_t start = 0;
    while (start < text.size()) {
        if (manifest.entries.size() == Manifest::kMaxEntries) {
            manifest.status = ManifestStatus::TooManyEntries;
            manifest.entries.clear();
            return manifest;
        }
        size_t end = text.find_first_of("\r\n", start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        ManifestEntry entry;
        if (!parseEntry(line, entry)) {
            manifest.status = ManifestStatus::BadField;
            manifest.entries.clear();
            return manifest;
        }
        manifest.entries.push_back(std::move(entry));
        if (end == std::string::npos) break;
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
