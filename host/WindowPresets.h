#pragma once

#include <QString>

#include <array>

namespace quarvia {

// The window presets for CT a 2D panel offers (Hounsfield units).
struct WindowPreset {
    const char* name;
    double center;
    double width;
    char key;  // the key that chooses it in a panel
};

inline constexpr std::array<WindowPreset, 4> kCtPresets{{
    {"Lung", -600, 1500, '1'},
    {"Soft Tissue", 40, 400, '2'},
    {"Bone", 400, 1800, '3'},
    {"Brain", 40, 80, '4'},
}};

}  // namespace quarvia
