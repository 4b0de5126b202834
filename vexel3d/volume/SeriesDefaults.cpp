#include "volume/SeriesDefaults.h"

#include "volume/CVolume.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace v3d {

namespace {

// The window spans these fractions of the voxels when the series has none.
constexpr double kLowFraction = 0.02;
constexpr double kHighFraction = 0.98;

// The first stored value at which the running count reaches fraction of all.
int percentile(const std::vector<uint32_t>& histogram, double total, double fraction) {
    double sum = 0;
    for (size_t v = 0; v < histogram.size(); ++v) {
        sum += histogram[v];
        if (sum >= fraction * total) return int(v);
    }
    return int(histogram.size()) - 1;
}

// Otsu's threshold: the stored value that best parts the histogram in two.
int otsuThreshold(const std::vector<uint32_t>& histogram, double total) {
    double sumAll = 0;
    for (size_t v = 0; v < histogram.size(); ++v) sumAll += double(v) * histogram[v];
    double below = 0, sumBelow = 0, best = -1;
    int threshold = 0;
    for (size_t v = 0; v + 1 < histogram.size(); ++v) {
        below += histogram[v];
        sumBelow += double(v) * histogram[v];
        const double above = total - below;
        if (below == 0 || above == 0) continue;
        const double meanBelow = sumBelow / below, meanAbove = (sumAll - sumBelow) / above;
        const double between = below * above * (meanBelow - meanAbove) * (meanBelow - meanAbove);
        if (between > best) {
            best = between;
            threshold = int(v) + 1;
        }
    }
    return threshold;
}

}  // namespace

bool valuesAreHU(const std::string& modality) { return modality.empty() || modality == "CT"; }

DisplayDefaults seriesOwnDefaults(const CVolume& volume, bool hasWindow, double windowCenter, double windowWidth) {
    DisplayDefaults d;
    double total = 0;
    for (uint32_t count : volume.histogram) total += count;
    if (total == 0) return d;
    d.isoHU = std::clamp(volume.storedToHU(otsuThreshold(volume.histogram, total)), -CVolume::kMaxHU, CVolume::kMaxHU);
    if (hasWindow && windowWidth >= 1 && std::isfinite(windowCenter) && std::isfinite(windowWidth)) {
        d.levelHU = int(std::lround(std::clamp(windowCenter, -double(CVolume::kMaxHU), double(CVolume::kMaxHU))));
        d.widthHU = int(std::lround(std::min(windowWidth, double(CVolume::kMaxWidthHU))));
    } else {
        const int low = volume.storedToHU(percentile(volume.histogram, total, kLowFraction));
        const int high = volume.storedToHU(percentile(volume.histogram, total, kHighFraction));
        d.levelHU = std::clamp((low + high) / 2, -CVolume::kMaxHU, CVolume::kMaxHU);
        d.widthHU = std::clamp(std::abs(high - low), 1, CVolume::kMaxWidthHU);
    }
    return d;
}

}  // namespace v3d
