#pragma once

#include <QElapsedTimer>

#include <map>
#include <set>
#include <string>

namespace quarvia {

// How far each image has arrived. Images announced by a retrieval from a
// PACS are awaited until they come. Besides, a simulation for tests: each
// image registered while it is on is downloaded in turn, one after another,
// taking `secondsPerImage` each. Otherwise every image is complete.
class DownloadSimulation {
public:
    void enable(double secondsPerImage);
    bool enabled() const { return m_secondsPerImage > 0; }
    // Tests pin the clock; a negative value returns to real time.
    void setElapsed(double seconds) { m_pinned = seconds; }

    void registerImage(const std::string& imageId);
    // An image announced before its pixels: not arrived until imageArrived.
    void awaitImage(const std::string& imageId) { m_awaited.insert(imageId); }
    void imageArrived(const std::string& imageId) { m_awaited.erase(imageId); }
    bool awaited(const std::string& imageId) const { return m_awaited.count(imageId) > 0; }
    // 0 ... 1: how much of the image has arrived.
    double downloadRate(const std::string& imageId) const;
    // 1 once the image is complete, else 0.
    double completionRate(const std::string& imageId) const { return downloadRate(imageId) >= 1.0 ? 1.0 : 0.0; }
    bool arrived(const std::string& imageId) const { return completionRate(imageId) >= 1.0; }

private:
    double elapsed() const;

    double m_secondsPerImage = 0;
    double m_pinned = -1;
    QElapsedTimer m_clock;
    std::map<std::string, int> m_order;
    std::set<std::string> m_awaited;
};

}  // namespace quarvia
