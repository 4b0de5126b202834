#pragma once
// The colour of a lit surface for each of 256 shading levels, from hue,
// saturation, diffuse weight and shininess.

#include <cstdint>

namespace v3d {

struct Rgb {
    float red;
    float green;
    float blue;
};

// Hue in degrees, saturation and lightness 0..1.
Rgb hslToRgb(float hue, float saturation, float lightness);

// table[0] red, table[1] green, table[2] blue.
void buildShadeTable(float hue, float saturation, float diffuse, float shine, uint8_t table[3][256]);

}  // namespace v3d
