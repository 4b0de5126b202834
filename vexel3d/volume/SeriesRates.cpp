#include "volume/SeriesRates.h"

#include "volume/SeriesHostPort.h"

#include <algorithm>

namespace v3d {

uint64_t requiredMemory(int bytesPerValue, int columns, int rows, int images) {
    const uint64_t data = static_cast<uint64_t>(std::max(bytesPerValue, 0)) * static_cast<uint64_t>(std::max(columns, 0)) *
                          static_cast<uint64_t>(std::max(rows, 0)) * static_cast<uint64_t>(std::max(images, 0));
    return 17 * (data / 8) + 62914560ull;
}

double averageCompletion(const std::vector<std::string>& ids, SeriesHostPort& host) {
    if (ids.empty()) return 1.0;
    double sum = 0.0;
    for (const auto& id : ids) sum += host.completion(id);
    return sum / static_cast<double>(ids.size());
}

double averageDownloadRate(const std::vector<std::string>& ids, SeriesHostPort& host) {
    if (ids.empty()) return 1.0;
    double sum = 0.0;
    for (const auto& id : ids) sum += host.downloadRate(id);
    return sum / static_cast<double>(ids.size());
}

bool allImagesLossless(const std::vector<std::string>& ids, SeriesHostPort& host) {
    for (const auto& id : ids)
        if (!host.isLossless(id)) return false;
    return true;
}

bool qualityCheck(const std::vector<std::string>& ids, SeriesHostPort& host) {
    const bool withDownloadRate = host.hasDownloadRate();
    for (const auto& id : ids) {
        double r = host.compressionRate(id);
        if (!withDownloadRate) {
            if (r <= 0.01) return false;
            r = 0.01 / r;
        }
        if (r < 0.02) return false;
    }
    return true;
}

bool refreshDue(double completion, double completedAtLastUpdate) {
    return completion >= std::min(completedAtLastUpdate + 0.1, 1.0);
}

}  // namespace v3d
