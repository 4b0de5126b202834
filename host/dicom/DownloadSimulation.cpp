#include "DownloadSimulation.h"

#include <algorithm>

namespace quarvia {

void DownloadSimulation::enable(double secondsPerImage) {
    m_secondsPerImage = std::max(0.0, secondsPerImage);
    m_clock.start();
}

void DownloadSimulation::registerImage(const std::string& imageId) {
    if (!enabled() || m_order.count(imageId)) return;
    const int next = static_cast<int>(m_order.size());
    m_order[imageId] = next;
}

double DownloadSimulation::elapsed() const {
    if (m_pinned >= 0) return m_pinned;
    return m_clock.isValid() ? static_cast<double>(m_clock.elapsed()) / 1000.0 : 0.0;
}

double DownloadSimulation::downloadRate(const std::string& imageId) const {
    if (awaited(imageId)) return 0.0;
    const auto it = m_order.find(imageId);
    if (!enabled() || it == m_order.end()) return 1.0;
    const double start = it->second * m_secondsPerImage;
    return std::clamp((elapsed() - start) / m_secondsPerImage, 0.0, 1.0);
}

}  // namespace quarvia
