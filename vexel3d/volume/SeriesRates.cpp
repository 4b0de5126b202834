#include "volume/SeriesRates.h"

#include <algorithm>

uint64_t requiredMemory(int bytesPerValue, int columns, int rows, int images) {
    const uint64_t data = static_cast<uint64_t>(std::max(bytesPerValue, 0)) * static_cast<uint64_t>(std::max(columns, 0)) *
                          static_cast<uint64_t>(std::max(rows, 0)) * static_cast<uint64_t>(std::max(images, 0));
    return 17 * (data / 8) + 62914560ull;
}

double averageCompletion(const std::vector<std::string>& ids) {
    if (ids.empty()) return 1.0;
    double sum = 0.0;
    for (const auto& id : ids) sum += QVGetCompletionRate(id.c_str());
    return sum / static_cast<double>(ids.size());
}

double averageDownloadRate(const std::vector<std::string>& ids, QVGetDownloadRateFn downloadRate) {
    if (ids.empty()) return 1.0;
    double sum = 0.0;
    for (const auto& id : ids) sum += downloadRate ? downloadRate(id.c_str()) : QVGetCompletionRate(id.c_str());
    return sum / static_cast<double>(ids.size());
}

bool allImagesLossless(const std::vector<std::string>& ids, QVIsLosslessFn isLossless) {
    if (!isLossless) return true;
    for (const auto& id : ids)
        if (isLossless(id.c_str()) == 0) return false;
    return true;
}

bool qualityCheck(const std::vector<std::string>& ids, QVGetDownloadRateFn downloadRate) {
    for (const auto& id : ids) {
        double r = QVGetCompressionRate(id.c_str());
        if (!downloadRate) {
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
