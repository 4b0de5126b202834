#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace quarvia {

// What a walk over a DICOM stream's elements found before the toolkit
// builds it: the toolkit reads nested sequences by recursion, so a file
// nested thousands deep would overflow the stack of whoever reads it.
enum class StreamState { Sound, TooDeep, Truncated, Malformed };

struct StreamReport {
    StreamState state = StreamState::Sound;
    int depth = 0;            // deepest sequence nesting seen
    size_t offset = 0;        // where the walk stopped (bytes from the start)
    uint16_t group = 0, element = 0;  // the element there
    size_t missing = 0;       // Truncated: bytes the element needs beyond the end
};

// Real files nest a few levels (segmentations, structure sets about six);
// deeper than this is refused.
constexpr int kMaxSequenceDepth = 128;

// Walks a file's bytes (preamble and meta header optional) without trusting
// any length it reads. Deflated data sets are walked after inflating them,
// at most `kMaxInflatedBytes`.
StreamReport scanDicomStream(const uint8_t* data, size_t size, int maxDepth = kMaxSequenceDepth);
constexpr size_t kMaxInflatedBytes = size_t(1) << 30;

// Walks a file in place (mapped); false when it cannot be read at all.
bool scanDicomFile(const QString& path, StreamReport& report);

// The report in the user's words ("sequences nested 10000 deep ..."); empty when sound.
QString describe(const StreamReport& report);

}  // namespace quarvia
