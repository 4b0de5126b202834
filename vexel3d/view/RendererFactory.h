#pragma once

#include "view/ViewCore.h"

namespace v3d {

// The view's renderers: mode 0 shaded surface, 1 maximum intensity, 2 opaque.
std::unique_ptr<CRaycaster> makeStandardRenderer(int mode, ViewCore& view);

}  // namespace v3d
