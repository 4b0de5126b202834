#include "segment/KeptMaskCodec.h"

#include "segment/SegmentMask.h"

#include <zlib.h>

#include <array>

namespace v3d {

namespace {

// Base 64 with '-' for 'J'.
constexpr char kLetters[] = "ABCDEFGHI-KLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNoLetter = -1;
// A mask with more changes than this is noise, not anatomy: a few times
// what the record's length limit lets through.
constexpr size_t kMaxKeptRuns = size_t(1) << 24;
constexpr size_t kInflateChunk = 64 * 1024;

std::array<int, 256> letterValues() {
    std::array<int, 256> values;
    values.fill(kNoLetter);
    for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kLetters[i])] = i;
    return values;
}

void appendVarint(std::string& out, uint32_t value) {
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7f) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

std::string lettersOf(const unsigned char* bytes, size_t count) {
    std::string text;
    text.reserve((count + 2) / 3 * 4);
    for (size_t i = 0; i < count; i += 3) {
        const size_t n = std::min<size_t>(3, count - i);
        uint32_t group = uint32_t(bytes[i]) << 16;
        if (n > 1) group |= uint32_t(bytes[i + 1]) << 8;
        if (n > 2) group |= bytes[i + 2];
        // n bytes need n + 1 letters; nothing pads the last group.
        for (size_t k = 0; k <= n; ++k) text += kLetters[(group >> (18 - 6 * k)) & 63];
    }
    return text;
}

bool bytesOf(std::string_view text, std::vector<unsigned char>& out) {
    static const std::array<int, 256> values = letterValues();
    if (text.size() % 4 == 1) return false;
    out.clear();
    out.reserve(text.size() / 4 * 3 + 2);
    for (size_t i = 0; i < text.size(); i += 4) {
        const size_t n = std::min<size_t>(4, text.size() - i);
        uint32_t group = 0;
        for (size_t k = 0; k < 4; ++k) {
            int v = 0;
            if (k < n) {
                v = values[static_cast<unsigned char>(text[i + k])];
                if (v == kNoLetter) return false;
            }
            group |= uint32_t(v) << (18 - 6 * k);
        }
        for (size_t k = 0; k + 1 < n; ++k) out.push_back(static_cast<unsigned char>(group >> (16 - 8 * k)));
    }
    return true;
}

// Collects runs from a stream of variable-length integers.
class RunCollector {
public:
    RunCollector(uint64_t voxelCount, std::vector<uint32_t>& runs) : m_voxels(voxelCount), m_runs(runs) {}

    bool take(const unsigned char* bytes, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (m_shift > 28) return false;
            m_value |= uint64_t(bytes[i] & 0x7f) << m_shift;
            if (bytes[i] & 0x80) {
                m_shift += 7;
                continue;
            }
            if (m_value > UINT32_MAX || (m_value == 0 && !m_runs.empty())) return false;
            m_covered += m_value;
            if (m_covered > m_voxels || m_runs.size() >= kMaxKeptRuns) return false;
            m_runs.push_back(static_cast<uint32_t>(m_value));
            m_value = 0;
            m_shift = 0;
        }
        return true;
    }
    bool complete() const { return m_shift == 0 && m_covered == m_voxels && !m_runs.empty(); }

private:
    uint64_t m_voxels;
    std::vector<uint32_t>& m_runs;
    uint64_t m_covered = 0;
    uint64_t m_value = 0;
    int m_shift = 0;
};

}  // namespace

std::vector<uint8_t> keptBytesOfVolume(const CVolume& volume) {
    const size_t count = size_t(volume.sizeX) * size_t(volume.sizeY) * size_t(volume.sizeZ);
    std::vector<uint8_t> kept(count);
    // The slices lie one after the other in one block.
    const uint8_t* mask = count ? volume.maskSlices.front() : nullptr;
    for (size_t i = 0; i < count; ++i) kept[i] = (mask[i] & kKeptBit) ? 1 : 0;
    return kept;
}

std::vector<uint32_t> keptRunsOfBytes(const uint8_t* kept, size_t count) {
    if (count == 0) return {};
    std::vector<uint32_t> runs;
    bool keptRun = false;
    uint32_t run = 0;
    for (size_t i = 0; i < count; ++i) {
        if ((kept[i] != 0) != keptRun) {
            runs.push_back(run);
            keptRun = !keptRun;
            run = 0;
        }
        ++run;
    }
    runs.push_back(run);
    return runs;
}

std::string packKeptRuns(const std::vector<uint32_t>& runs) {
    std::string varints;
    varints.reserve(runs.size() * 2);
    for (uint32_t run : runs) appendVarint(varints, run);
    uLongf packedSize = compressBound(static_cast<uLong>(varints.size()));
    std::vector<unsigned char> packed(packedSize);
    const int rc = compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(varints.data()),
                             static_cast<uLong>(varints.size()), Z_BEST_COMPRESSION);
    // compressBound leaves room for any input.
    if (rc != Z_OK) return {};
    return lettersOf(packed.data(), packedSize);
}

MaskCodecStatus unpackKeptRuns(std::string_view text, uint64_t voxelCount, std::vector<uint32_t>& runs) {
    runs.clear();
    std::vector<unsigned char> packed;
    if (!bytesOf(text, packed)) return MaskCodecStatus::BadLetter;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return MaskCodecStatus::BadDeflate;
    stream.next_in = packed.data();
    stream.avail_in = static_cast<uInt>(packed.size());
    std::vector<unsigned char> chunk(kInflateChunk);
    RunCollector collector(voxelCount, runs);
    int rc = Z_OK;
    bool runsOk = true;
    while (rc == Z_OK && runsOk) {
        stream.next_out = chunk.data();
        stream.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&stream, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) break;
        runsOk = collector.take(chunk.data(), chunk.size() - stream.avail_out);
        // Z_OK without progress: the input ended before the stream did.
        if (rc == Z_OK && stream.avail_in == 0 && stream.avail_out != 0) rc = Z_BUF_ERROR;
    }
    const bool ended = rc == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!runsOk || (ended && !collector.complete())) return runs.clear(), MaskCodecStatus::BadRuns;
    if (!ended) return runs.clear(), MaskCodecStatus::BadDeflate;
    return MaskCodecStatus::Ok;
}

}  // namespace v3d
