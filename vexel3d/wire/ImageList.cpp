#include "wire/ImageList.h"

#include <algorithm>
#include <cstdint>

namespace v3d {

namespace {

constexpr uint8_t kMarker = 0x01;
constexpr uint8_t kEndOfId = 0x01;
constexpr size_t kMaxRun = 125;
constexpr size_t kMinMatch = 4;
constexpr uint8_t kOffsetMore = 255;  // each worth 253
constexpr size_t kOffsetStep = 253;
constexpr uint8_t kCopyFlag = 0x80;
constexpr uint8_t kBias = 2;

void emitLiterals(std::string& out, std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t n = std::min(bytes.size(), kMaxRun);
        out += static_cast<char>(n + kBias);
        out.append(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
}

void emitCopy(std::string& out, size_t length, size_t offset) {
    out += static_cast<char>(kCopyFlag | (length + kBias));
    for (; offset >= kOffsetStep; offset -= kOffsetStep) out += static_cast<char>(kOffsetMore);
    out += static_cast<char>(offset + kBias);
}

}  // namespace

std::string packImageList(const std::vector<std::string>& ids) {
    std::string out(1, static_cast<char>(kMarker));
    std::string_view previous;
    for (const std::string& id : ids) {
        const std::string_view s(id);
        size_t emitted = 0;
        size_t pos = 0;
        while (pos + kMinMatch <= s.size()) {
            size_t bestLength = 0, bestOffset = 0;
            for (size_t offset = 0; offset < previous.size(); ++offset) {
                size_t n = 0;
                while (n < kMaxRun && offset + n < previous.size() && pos + n < s.size() && previous[offset + n] == s[pos + n])
                    ++n;
                if (n > bestLength) bestLength = n, bestOffset = offset;  // lowest offset wins a tie
            }
            if (bestLength < kMinMatch) {
                ++pos;
                continue;
            }
            emitLiterals(out, s.substr(emitted, pos - emitted));
            emitCopy(out, bestLength, bestOffset);
            pos += bestLength;
            emitted = pos;
        }
        emitLiterals(out, s.substr(emitted));
        out += static_cast<char>(kEndOfId);
        previous = s;
    }
    return out;
}

UnpackedImageList unpackImageList(std::string_view bytes) {
    UnpackedImageList result;
    if (bytes.empty()) return result;
    if (static_cast<uint8_t>(bytes[0]) != kMarker) {
        result.status = ImageListStatus::Malformed;
        return result;
    }
    std::string previous;
    std::string current;
    size_t pos = 1;
    while (pos < bytes.size()) {
        const uint8_t b = static_cast<uint8_t>(bytes[pos++]);
        if (b == 0) return result;
        if (b == kEndOfId) {
            result.ids.push_back(current);
            previous = std::move(current);
            current.clear();
            continue;
        }
        if (b < kCopyFlag) {
            const size_t n = b - kBias;
            if (n > bytes.size() - pos) {
                result.status = ImageListStatus::Truncated;
                return result;
            }
            current.append(bytes.substr(pos, n));
            pos += n;
            continue;
        }
        const uint8_t lengthByte = b & 0x7F;
        if (lengthByte < kBias) {
            result.status = ImageListStatus::Malformed;
            return result;
        }
        const size_t length = lengthByte - kBias;
        size_t offset = 0;
        for (;;) {
            if (pos >= bytes.size()) {
                result.status = ImageListStatus::Truncated;
                return result;
            }
            const uint8_t c = static_cast<uint8_t>(bytes[pos++]);
            if (c == kOffsetMore) {
                offset += kOffsetStep;
                // No identifier is that long: the offset could only grow past it.
                if (offset > previous.size()) {
                    result.status = ImageListStatus::Malformed;
                    return result;
                }
                continue;
            }
            if (c < kBias) {
                result.status = ImageListStatus::Malformed;
                return result;
            }
            offset += c - kBias;
            break;
        }
        if (offset > previous.size() || length > previous.size() - offset) {
            result.status = ImageListStatus::Malformed;
            return result;
        }
        current.append(previous, offset, length);
    }
    // Bytes ended without the zero: what was completed stands.
    if (!current.empty()) result.status = ImageListStatus::Truncated;
    return result;
}

}  // namespace v3d
