#pragma once
// The pixels of a captured view: 8-bit RGB from the display image for the
// shaded-surface renderer, 16-bit grey from the workspace's values for the
// others. Every display pixel read is cleared to black.

#include <cstdint>
#include <vector>

namespace v3d {

class ViewCore;

// Pixel types of the host's new-file interface.
enum CapturePixelType : int {
    PIXELS_GREY16 = 1,
    PIXELS_RGB8 = 2,
};

struct CapturedPixels {
    CapturePixelType type = PIXELS_RGB8;
    std::vector<uint8_t> rgb;     // width x height x 3, row after row
    std::vector<uint16_t> grey;   // width x height, row after row
    uint16_t largest = 0;         // the largest grey value
};

// width and height within 1..512 (the display image).
CapturedPixels takeCapturePixels(ViewCore& view, int width, int height);

// Bits Stored of a grey image: the smallest n >= 1 with 2^n > value, so
// that the largest pixel survives a mask with the stored bits.
uint16_t bitsStoredFor(uint32_t value);

}  // namespace v3d
