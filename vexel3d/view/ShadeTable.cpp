#include "view/ShadeTable.h"

#include <cmath>

namespace v3d {

namespace {
float channel(float m1, float m2, float h) {
    while (h > 360.0f) h -= 360.0f;
    while (h < 0.0f) h += 360.0f;
    if (h < 60.0f) return m1 + (m2 - m1) * h / 60.0f;
    if (h < 180.0f) return m2;
    if (h < 240.0f) return m1 + (m2 - m1) * (240.0f - h) / 60.0f;
    return m1;
}
}  // namespace

Rgb hslToRgb(float hue, float saturation, float lightness) {
    if (saturation == 0.0f) return {lightness, lightness, lightness};
    const float m2 = lightness <= 0.5f ? lightness * (1.0f + saturation) : lightness + saturation - lightness * saturation;
    const float m1 = 2.0f * lightness - m2;
    return {channel(m1, m2, hue - 120.0f), channel(m1, m2, hue), channel(m1, m2, hue + 120.0f)};
}

void buildShadeTable(float hue, float saturation, float diffuse, float shine, uint8_t table[3][256]) {
    for (int i = 0; i < 256; ++i) {
        const float u = static_cast<float>(i) / 255.0f;
        const float a = std::acos(u);
        const float diffuseTerm = std::cos(a);
        const float h = std::cos(2.0f * a);
        const float highlight = h <= 0.0f ? 0.0f : std::pow(h, shine) * (shine + 2.0f) * diffuse / 6.283185f;
        float lightness = diffuseTerm + highlight;
        if (lightness > 1.0f) lightness = 1.0f;
        const Rgb c = hslToRgb(hue, saturation, lightness);
        table[0][i] = static_cast<uint8_t>(c.red * 255.0f);
        table[1][i] = static_cast<uint8_t>(c.green * 255.0f);
        table[2][i] = static_cast<uint8_t>(c.blue * 255.0f);
    }
}

}  // namespace v3d
