#pragma once
// Named isovalue and shading combinations (at most 16), with the four
// factory presets for CT and their profile keys.

#include <array>
#include <cstdint>
#include <string>

namespace v3d {

class ProfileStore;

struct Preset {
    char name[128] = {};  // at most 127 used
    int32_t iso = 0;
    float hue = 0.0f;
    float saturation = 0.0f;
    float diffuse = 0.0f;
    float shine = 0.0f;

    void setName(const std::string& text);
};

class PresetTable {
public:
    static constexpr int kMaxPresets = 16;

    // The four CT presets in their fixed order.
    static const std::array<Preset, 4>& factoryPresets();

    // False (nothing added) when fewer than four slots are free.
    // The factory presets the table lacks; false (nothing added) without
    // four free slots.
    bool addFactoryPresets();
    static bool sameValues(const Preset& a, const Preset& b);
    // False when the table is full.
    bool add(const Preset& preset);
    // False for an index outside the table.
    bool deletePreset(int index);
    const Preset* at(int index) const;

    // Reads the count and every preset of the profile section; the count is
    // limited to the table size.
    void load(ProfileStore& profile);
    // Writes the count and every preset.
    void save(ProfileStore& profile) const;

    std::array<Preset, kMaxPresets> m_presets{};
    int m_iNumOfPresets = 0;
};

}  // namespace v3d
