#pragma once
// What the view's overlays draw, as plain values: texts in boxes, lines,
// filled rectangles and the notice icon, in drawing order. The window side
// draws a list of them; nothing here knows a window system.

#include <cmath>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace v3d {

struct OverlayColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

inline bool operator==(const OverlayColour& a, const OverlayColour& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}
inline bool operator!=(const OverlayColour& a, const OverlayColour& b) { return !(a == b); }

// The overlay palette.
namespace overlay_colour {
constexpr OverlayColour kText{0, 255, 255};        // texts, front faces, gauge highlights
constexpr OverlayColour kWaiting{255, 32, 0};      // "Waiting for all images to load."
constexpr OverlayColour kGesture{255, 0, 0};       // cut line, ticks, press star, outline
constexpr OverlayColour kPlaneMarker{0, 16, 192};  // rotated plane's reference point
constexpr OverlayColour kDim{0, 96, 128};          // back faces, the other gauge parts
constexpr OverlayColour kDownload{0, 0, 128};      // remaining download
constexpr OverlayColour kCompletion{0, 0, 96};     // remaining completion beyond the download
}  // namespace overlay_colour

enum OverlayAlign : unsigned {
    ALIGN_LEFT = 1,
    ALIGN_RIGHT = 2,
    ALIGN_HCENTRE = 4,
    ALIGN_TOP = 8,
    ALIGN_BOTTOM = 16,
    ALIGN_VCENTRE = 32,
};

struct OverlayBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A text laid out in a box; several lines unless singleLine.
struct OverlayText {
    std::string text;
    OverlayBox box;
    unsigned align = ALIGN_LEFT | ALIGN_TOP;
    bool singleLine = false;
    OverlayColour colour = overlay_colour::kText;
};

struct OverlayLine {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int penWidth = 1;
    OverlayColour colour;

    double length() const { return std::hypot(x2 - x1, y2 - y1); }
};

struct OverlayFill {
    OverlayBox box;
    OverlayColour colour;
};

// A 16 x 16 plug-in bitmap with its top-left corner at (x, y).
struct OverlayIcon {
    int x = 0;
    int y = 0;
    int bitmapId = 0;
};

using OverlayItem = std::variant<OverlayText, OverlayLine, OverlayFill, OverlayIcon>;
using OverlayList = std::vector<OverlayItem>;

}  // namespace v3d
