#pragma once
// The six letter faces of the orientation cube (A, R, L, P, F, H): wire
// models on the faces of the cube from -1 to +1.

#include "render/WireModel.h"

#include <array>

namespace v3d {

std::array<WireModel, 6> makeOrientationGlyphs();

}  // namespace v3d
