#include "view/PresetTable.h"

#include "view/ViewServices.h"
#include "view/ViewTypes.h"
#include "volume/CVolume.h"
#include "wire/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace v3d {

namespace {
Preset make(const char* name, int iso, float hue, float saturation, float diffuse, float shine) {
    Preset p;
    p.setName(name);
    p.iso = iso;
    p.hue = hue;
    p.saturation = saturation;
    p.diffuse = diffuse;
    p.shine = shine;
    return p;
}

std::string key(const char* stem, int i) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%d", stem, i);
    return buffer;
}

// Floats travel as six-decimal text; the conversions ignore the process locale so
// that a profile reads the same under every language setting.
// A stored number outside [low, high] is brought into it; one that is not
// a finite number reads as the fallback.
float readFloat(ProfileStore& profile, const std::string& k, float low, float high, float fallback) {
    const std::string text = profile.readString(k.c_str(), "0.0");
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    if (*begin == '+') ++begin;
    float value = 0.0f;
    const auto result = std::from_chars(begin, text.c_str() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value)) return fallback;
    return std::clamp(value, low, high);
}

void writeFloat(ProfileStore& profile, const std::string& k, float value) {
    profile.writeString(k.c_str(), sixDecimals(value).c_str());
}
}  // namespace

void Preset::setName(const std::string& text) {
    size_t n = text.size() < sizeof name - 1 ? text.size() : sizeof name - 1;
    // Never inside a UTF-8 character: back to the start of the one cut.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(name, text.data(), n);
    name[n] = '\0';
}

const std::array<Preset, 4>& PresetTable::factoryPresets() {
    static const std::array<Preset, 4> presets = {
        make("Skin CT   (-300HU)", -300, 220.0f, 0.5f, 0.4f, 30.0f),
        make("Bone CT   ( 300HU)", 300, 205.0f, 0.3f, 0.8f, 10.0f),
        make("Vessel CT ( 180HU)", 180, 253.0f, 0.6f, 0.1f, 1.0f),
        make("Heart CT  (-210HU)", -210, 228.0f, 0.7f, 0.9f, 45.0f),
    };
    return presets;
}

bool PresetTable::addFactoryPresets() {
    if (m_iNumOfPresets >= kMaxPresets - 4) return false;
    // Only the ones missing: pressing the button twice must not fill the
    // table with copies (and then refuse with "not enough slots").
    for (const Preset& p : factoryPresets()) {
        bool held = false;
        for (int i = 0; i < m_iNumOfPresets && !held; ++i) held = sameValues(m_presets[static_cast<size_t>(i)], p);
        if (!held) m_presets[static_cast<size_t>(m_iNumOfPresets++)] = p;
    }
    return true;
}

bool PresetTable::sameValues(const Preset& a, const Preset& b) {
    return std::strcmp(a.name, b.name) == 0 && a.iso == b.iso && a.hue == b.hue && a.saturation == b.saturation &&
           a.diffuse == b.diffuse && a.shine == b.shine;
}

bool PresetTable::add(const Preset& preset) {
    if (m_iNumOfPresets >= kMaxPresets) return false;
    m_presets[static_cast<size_t>(m_iNumOfPresets++)] = preset;
    return true;
}

bool PresetTable::deletePreset(int index) {
    if (index < 0 || index >= m_iNumOfPresets) return false;
    for (int i = index; i + 1 < m_iNumOfPresets; ++i) m_presets[static_cast<size_t>(i)] = m_presets[static_cast<size_t>(i + 1)];
    --m_iNumOfPresets;
    m_presets[static_cast<size_t>(m_iNumOfPresets)] = Preset();
    return true;
}

const Preset* PresetTable::at(int index) const {
    return index >= 0 && index < m_iNumOfPresets ? &m_presets[static_cast<size_t>(index)] : nullptr;
}

void PresetTable::load(ProfileStore& profile) {
    int count = profile.readInt("m_iNumOfPresets", 0);
    // A stored count the table cannot hold is cut to what fits.
    if (count < 0) count = 0;
    if (count > kMaxPresets) count = kMaxPresets;
    m_iNumOfPresets = count;
    for (int i = 0; i < count; ++i) {
        Preset& p = m_presets[static_cast<size_t>(i)];
        const std::string nameKey = key("pname", i);
        p.setName(profile.readString(nameKey.c_str(), nameKey.c_str()));
        // Presets become J_camera lines: values a peer would refuse must
        // not come out of a profile.
        const Preset& skin = factoryPresets()[0];
        p.iso = std::clamp(profile.readInt(key("piso", i).c_str(), 0), -CVolume::kMaxHU, CVolume::kMaxHU);
        p.shine = readFloat(profile, key("pshine", i), kMinShine, kMaxShine, skin.shine);
        p.hue = readFloat(profile, key("phue", i), 0.0f, kMaxHue, skin.hue);
        p.saturation = readFloat(profile, key("psat", i), kMinSaturation, kMaxSaturation, skin.saturation);
        p.diffuse = readFloat(profile, key("pdiff", i), 0.0f, kMaxDiffuse, skin.diffuse);
    }
}

void PresetTable::save(ProfileStore& profile) const {
    profile.writeInt("m_iNumOfPresets", m_iNumOfPresets);
    for (int i = 0; i < m_iNumOfPresets; ++i) {
        const Preset& p = m_presets[static_cast<size_t>(i)];
        profile.writeString(key("pname", i).c_str(), p.name);
        profile.writeInt(key("piso", i).c_str(), p.iso);
        writeFloat(profile, key("pshine", i), p.shine);
        writeFloat(profile, key("phue", i), p.hue);
        writeFloat(profile, key("psat", i), p.saturation);
        writeFloat(profile, key("pdiff", i), p.diffuse);
    }
}

}  // namespace v3d
