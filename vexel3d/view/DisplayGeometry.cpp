#include "view/DisplayGeometry.h"

#include <algorithm>
#include <cstdlib>

namespace v3d {

void DisplayGeometry::resize(int clientWidth, int clientHeight) {
    halfClientWidth = (clientWidth - 7) / 2;
    halfClientHeight = (clientHeight - 7) / 2;
    const int m = std::min(halfClientWidth, halfClientHeight);
    if (halfClientWidth <= 0 || halfClientHeight <= 0) return;
    if (m < 20) {
        rect = {0, 0, halfClientWidth, halfClientHeight};
        return;
    }
    rect = {halfClientWidth - m, halfClientHeight - m, 2 * m, 2 * m};
}

ClientPoint DisplayGeometry::clientToImage(ClientPoint point, int imageWidth, int imageHeight) const {
    const int m = std::min(halfClientWidth, halfClientHeight);
    if (halfClientWidth <= 0 || halfClientHeight <= 0 || m < 20) return {0, 0};
    const float side = 2.0f * static_cast<float>(m);
    int x = static_cast<int>(static_cast<float>(point.x + m - halfClientWidth) / side * static_cast<float>(imageWidth));
    int y = static_cast<int>(static_cast<float>(point.y + m - halfClientHeight) / side * static_cast<float>(imageHeight));
    x = std::clamp(x, 0, imageWidth - 1);
    y = std::clamp(y, 0, imageHeight - 1);
    return {x, y};
}

bool DisplayGeometry::isInsideImage(ClientPoint point) const {
    const int m = std::min(halfClientWidth, halfClientHeight);
    if (halfClientWidth <= 0 || halfClientHeight <= 0 || m <= 19) return false;
    return std::abs(point.x - halfClientWidth) <= m && std::abs(point.y - halfClientHeight) <= m;
}

}  // namespace v3d
