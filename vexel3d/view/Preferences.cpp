#include "view/Preferences.h"

#include "view/ViewServices.h"
#include "view/ViewTools.h"

namespace v3d {

namespace {

struct PreferenceRow {
    const char* key;
    bool Preferences::*flag;
    int Preferences::*number;
    float Preferences::*percent;
};

constexpr PreferenceRow flag(const char* key, bool Preferences::*member) { return {key, member, nullptr, nullptr}; }
constexpr PreferenceRow number(const char* key, int Preferences::*member) { return {key, nullptr, member, nullptr}; }
constexpr PreferenceRow percent(const char* key, float Preferences::*member) { return {key, nullptr, nullptr, member}; }

// In the order the profile has always been written in.
constexpr PreferenceRow kRows[] = {
    flag("m_bNoTumble", &Preferences::noTumble),
    flag("m_bPerspCamera", &Preferences::perspective),
    flag("m_bShadowsPersp", &Preferences::shadowsPersp),
    flag("m_bShadowsPar", &Preferences::shadowsPar),
    flag("m_bFloodBound", &Preferences::floodBound),
    flag("m_bOPQonSSD", &Preferences::opqOnSsd),
    flag("m_bWireframe", &Preferences::wireframe),
    number("m_iSegLow", &Preferences::segLow),
    number("m_iSegHigh", &Preferences::segHigh),
    number("m_iSegRad", &Preferences::segRad),
    number("m_iInvertMouse", &Preferences::invertMouse),
    percent("m_fMouseSpeedX", &Preferences::mouseSpeedX),
    percent("m_fMouseSpeedY", &Preferences::mouseSpeedY),
};

}  // namespace

Preferences loadPreferences(ProfileStore& profile) {
    const Preferences defaults;
    Preferences p;
    for (const PreferenceRow& row : kRows) {
        if (row.flag) p.*row.flag = profile.readBool(row.key, defaults.*row.flag);
        if (row.number) p.*row.number = profile.readInt(row.key, defaults.*row.number);
        // Speeds are kept as whole percent; the stored integer reads as unsigned.
        if (row.percent)
            p.*row.percent = static_cast<float>(
                static_cast<unsigned>(profile.readInt(row.key, static_cast<int>(defaults.*row.percent))));
    }
    // The segmentation values' ranges depend on each other.
    clampSegmentationValues(p.segLow, p.segHigh, p.segRad);
    return p;
}

void savePreferences(ProfileStore& profile, const Preferences& p) {
    for (const PreferenceRow& row : kRows) {
        if (row.flag) profile.writeBool(row.key, p.*row.flag);
        if (row.number) profile.writeInt(row.key, p.*row.number);
        if (row.percent) profile.writeInt(row.key, static_cast<int>(p.*row.percent));
    }
}

}  // namespace v3d
