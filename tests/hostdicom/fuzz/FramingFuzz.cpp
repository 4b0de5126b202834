// Fuzzes the collaboration framing: the input is a peer's byte stream, cut
// into pieces where the input says. Whatever the cuts, the frames read and
// the verdict must be those of the stream read in one piece, the work must
// stay linear, and every frame read must encode back to its own bytes.
#include "collab/FrameReader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using quarvia::CollabFrame;
using quarvia::FrameReader;

// A broken promise: say which, then stop as a crash does.
void fail(const char* what, int line) {
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}
#define check(condition) ((condition) ? (void)0 : fail(#condition, __LINE__))

bool same(const CollabFrame& a, const CollabFrame& b) {
    return a.kind == b.kind && a.pluginId == b.pluginId && a.cellIndex == b.cellIndex && a.payload == b.payload;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte says how many cuts follow (up to 8), each byte a piece
    // of 1 to 64 bytes, used in turn; the rest is the stream.
    size_t at0 = 0;
    std::vector<size_t> cuts;
    const size_t pieces = size > 0 ? data[at0++] % 9 : 0;
    while (cuts.size() < pieces && at0 < size) cuts.push_back(1 + data[at0++] % 64);
    const QByteArray stream(reinterpret_cast<const char*>(data + at0), qsizetype(size - at0));

    FrameReader whole;
    std::vector<CollabFrame> expected;
    const bool sound = whole.feed(stream, expected);
    check(whole.bytesMoved() <= stream.size());

    FrameReader cut;
    std::vector<CollabFrame> frames;
    bool cutSound = true;
    qsizetype at = 0;
    for (size_t i = 0; at < stream.size() && cutSound; ++i) {
        const qsizetype length = cuts.empty() ? stream.size() : qsizetype(cuts[i % cuts.size()]);
        cutSound = cut.feed(stream.mid(at, length), frames);
        at += length;
    }
    check(cut.bytesMoved() <= stream.size());
    if (sound) {
        check(cutSound && frames.size() == expected.size() && cut.pending() == whole.pending());
    } else {
        // A bad stream is found bad however it arrives, after the same frames.
        check(!cutSound && frames.size() == expected.size());
    }
    for (size_t i = 0; i < std::min(frames.size(), expected.size()); ++i) check(same(frames[i], expected[i]));

    // Each frame read encodes back to bytes that read as the same frame.
    qsizetype used = 0;
    for (const CollabFrame& frame : expected) {
        const QByteArray encoded = quarvia::encodeFrame(frame);
        FrameReader again;
        std::vector<CollabFrame> one;
        check(again.feed(encoded, one) && one.size() == 1 && same(one[0], frame) && again.pending() == 0);
        used += encoded.size();
    }
    if (sound) check(used + whole.pending() <= stream.size());
    return 0;
}
