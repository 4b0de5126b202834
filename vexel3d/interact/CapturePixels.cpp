#include "interact/CapturePixels.h"

#include "render/RenderWorkspace.h"
#include "view/ViewCore.h"

#include <algorithm>
#include <cstring>

namespace v3d {

CapturedPixels takeCapturePixels(ViewCore& view, int width, int height) {
    width = std::clamp(width, 1, ViewCore::kImageSize);
    height = std::clamp(height, 1, ViewCore::kImageSize);
    CapturedPixels out;
    const bool surface = view.m_iRenderMode == RENDER_SSD;
    out.type = surface ? PIXELS_RGB8 : PIXELS_GREY16;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (surface)
        out.rgb.resize(count * 3);
    else
        out.grey.resize(count);
    const RenderWorkspace& ws = *view.m_workspace;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = view.m_imageBits.data() + static_cast<size_t>(y) * ViewCore::kRowBytes;
        for (int x = 0; x < width; ++x) {
            uint8_t* bgr = row + x * 3;
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
            if (surface) {
                out.rgb[i * 3] = bgr[2];
                out.rgb[i * 3 + 1] = bgr[1];
                out.rgb[i * 3 + 2] = bgr[0];
            } else {
                const int32_t v = ws.value[RenderWorkspace::index(x, y)];
                const auto g = static_cast<uint16_t>(std::clamp<int32_t>(v, 0, 0xFFFF));
                out.grey[i] = g;
                out.largest = std::max(out.largest, g);
            }
            std::memset(bgr, 0, 3);
        }
    }
    return out;
}

uint16_t bitsStoredFor(uint32_t value) {
    uint16_t n = 1;
    while (n < 32 && (uint64_t{1} << n) <= value) ++n;
    return n;
}

}  // namespace v3d
