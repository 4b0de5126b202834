#pragma once
// The bounds of what travels between peers and is saved: what a writer
// never exceeds and what a reader refuses beyond. Named here once; the
// message size is the host interface's own.

#include "QVHostApi.h"

#include <cstddef>

namespace v3d {

// Cut planes a view holds, and a state text or a flood record carries.
constexpr int kMaxCutPlanes = 16;
// Points of an outline: more than any drawn on the image.
constexpr int kMaxOutlinePoints = 1024;
// Stored values run from 0 to this; a flood's bounds are limited to it.
constexpr int kMaxStoredValue = 16383;
// No grid the host builds is longer than this along an axis.
constexpr int kMaxGridSize = 4096;
// A mask set whole travels as packed kept runs of at most this many
// letters, in records of at most kMaskLettersPerRecord: every state text
// carries the whole history.
constexpr size_t kMaxMaskLetters = 512 * 1024;
constexpr size_t kMaskLettersPerRecord = 4096;
// Largest word of a capture line (identifiers are far shorter).
constexpr size_t kMaxCaptureWord = 120;
// A peer's text is read whole up to this many bytes, a longer one refused
// whole. Every message carries the whole segmentation history, and a few
// outlines outgrow a 16 KiB buffer: cutting it there would leave the peers
// apart for the rest of the session.
constexpr size_t kMaxPeerTextBytes = QV_MAX_COLLABORATION_MESSAGE_BYTES;
// A saved-state blob larger than this is not one of ours.
constexpr size_t kMaxStateBlob = 4u << 20;

}  // namespace v3d
