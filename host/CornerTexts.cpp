#include "CornerTexts.h"

#include "dicom/DicomImage.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace quarvia {

QString orientationLetters(const double d[3]) {
    static const char positive[3] = {'L', 'P', 'S'};
    static const char negative[3] = {'R', 'A', 'I'};
    std::vector<std::pair<double, char>> parts;
    for (int axis = 0; axis < 3; ++axis) {
        if (!std::isfinite(d[axis]) || std::fabs(d[axis]) < 0.3) continue;
        parts.emplace_back(std::fabs(d[axis]), d[axis] > 0 ? positive[axis] : negative[axis]);
    }
    std::stable_sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QString out;
    for (const auto& part : parts) out += QChar(part.second);
    return out;
}

std::array<QString, 4> edgeLetters(const DicomImage& image) {
    if (!image.hasGeometry()) return {};
    return edgeLetters(image.rowDir(), image.colDir());
}

std::array<QString, 4> edgeLetters(const std::array<double, 3>& r, const std::array<double, 3>& c) {
    const double right[3] = {r[0], r[1], r[2]}, left[3] = {-r[0], -r[1], -r[2]};
    const double bottom[3] = {c[0], c[1], c[2]}, top[3] = {-c[0], -c[1], -c[2]};
    return {orientationLetters(left), orientationLetters(right), orientationLetters(top), orientationLetters(bottom)};
}

QString readableDate(const QString& stored) {
    if (stored.size() == 8 && std::all_of(stored.begin(), stored.end(), [](QChar ch) { return ch.isDigit(); }))
        return stored.left(4) + "-" + stored.mid(4, 2) + "-" + stored.right(2);
    return stored;
}

}  // namespace quarvia
