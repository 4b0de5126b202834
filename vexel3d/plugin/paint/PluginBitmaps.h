#pragma once

#include "QVHostApi.h"

namespace v3d {

// Bitmap 5009: the host toolbar button, 18 x 18, monochrome (a cube).
const QVMonoBitmap& toolbarButtonBitmap();

}  // namespace v3d
