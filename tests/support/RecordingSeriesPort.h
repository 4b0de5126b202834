#pragma once
// The series acquisition's host for engine tests: volume records handed
// out from a queue, per-image rates from maps, and a log of the calls.

#include "volume/SeriesHostPort.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

class RecordingSeriesPort : public v3d::SeriesHostPort {
public:
    int bytesPerValue(const std::string&) override { return 2; }
    int columns(const std::string& id) override { return lookup(sizes, id, 16); }
    int rows(const std::string& id) override { return lookup(sizes, id, 16); }
    uint64_t physicalMemory() override { return memory; }
    bool proceedShortOfMemory() override {
        log.push_back("memory-warning");
        return proceed;
    }
    QVVolumeRecord* createVolume(const std::vector<std::string>& ids) override {
        log.push_back("create:" + std::to_string(ids.size()));
        if (records.empty()) return nullptr;
        QVVolumeRecord* record = records.front();
        records.pop_front();
        return record;
    }
    void updateVolume(QVVolumeRecord*) override { log.push_back("update"); }
    void releaseVolume(QVVolumeRecord* record) override { released.push_back(record); }
    double completion(const std::string& id) override { return lookup(completions, id, 1.0); }
    double downloadRate(const std::string& id) override { return lookup(completions, id, 1.0); }
    bool hasDownloadRate() override { return withDownloadRate; }
    double compressionRate(const std::string& id) override { return lookup(compression, id, 1.0); }
    bool isLossless(const std::string&) override { return true; }
    void progress(int position) override { progressSteps.push_back(position); }

    uint64_t memory = 64ull << 30;
    bool proceed = true;
    bool withDownloadRate = true;
    std::deque<QVVolumeRecord*> records;
    std::map<std::string, int> sizes;
    std::map<std::string, double> completions;
    std::map<std::string, double> compression;
    std::vector<std::string> log;
    std::vector<QVVolumeRecord*> released;
    std::vector<int> progressSteps;

private:
    template <typename T>
    static T lookup(const std::map<std::string, T>& map, const std::string& id, T fallback) {
        auto it = map.find(id);
        return it == map.end() ? fallback : it->second;
    }
};
