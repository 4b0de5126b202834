#include "volume/SeriesAcquisition.h"

#include "volume/CVolume.h"
#include "volume/SeriesDefaults.h"
#include "volume/SeriesHostPort.h"
#include "volume/SeriesRates.h"

#include <new>

namespace v3d {

namespace {

Vec3 toVec3(const double v[3]) {
    return Vec3(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]));
}

// Builds and classifies a volume over the record, aside from the one shown.
SeriesLoadStatus buildFrom(const QVVolumeRecord& record, CVolume& volume, int isoHU, int levelHU, int widthHU) {
    try {
        if (!volume.build(record.columns, record.rows, record.slices, record.values, record.sliceValues,
                          static_cast<float>(record.spacingX), static_cast<float>(record.spacingY),
                          static_cast<float>(record.spacingZ), toVec3(record.origin), toVec3(record.rowDir),
                          toVec3(record.colDir), toVec3(record.sliceDir)))
            return SeriesLoadStatus::BadGeometry;
        volume.isoHU = isoHU;
        volume.levelHU = levelHU;
        volume.widthHU = widthHU;
        volume.classify(record.rawBase, record.rawBase + record.valueRange, static_cast<float>(record.intercept),
                        static_cast<float>(record.slope));
    } catch (const std::bad_alloc&) {
        volume.release();
        return SeriesLoadStatus::OutOfMemory;
    }
    return SeriesLoadStatus::Ok;
}

}  // namespace

SeriesAcquisition::SeriesAcquisition(SeriesState& state, SeriesHostPort& host, VolumeChangeSink& sink)
    : m_state(state), m_host(host), m_sink(sink) {}

void SeriesAcquisition::updateRates() {
    m_state.allLossless = allImagesLossless(m_state.imageIds, m_host);
    m_state.m_bAllLoaded = qualityCheck(m_state.imageIds, m_host);
    m_state.downloadedFraction = averageDownloadRate(m_state.imageIds, m_host);
}

SeriesLoadStatus SeriesAcquisition::load(const std::vector<std::string>& ids) {
    if (ids.empty()) return SeriesLoadStatus::Cancelled;
    const std::string& first = ids.front();
    const uint64_t required =
        requiredMemory(m_host.bytesPerValue(first), m_host.columns(first), m_host.rows(first), static_cast<int>(ids.size()));
    if (m_host.physicalMemory() < required && !m_host.proceedShortOfMemory())
        return SeriesLoadStatus::DeclinedShortOfMemory;

    m_host.progress(10);
    QVVolumeRecord* record = m_host.createVolume(ids);
    m_host.progress(50);
    if (!record) return SeriesLoadStatus::HostRefused;
    if (record->columns < CVolume::kMinSize || record->rows < CVolume::kMinSize || record->slices < CVolume::kMinSize) {
        m_host.releaseVolume(record);
        return SeriesLoadStatus::TooFewImages;
    }

    // Built aside first: a series that cannot be shown leaves the one that
    // is shown alone. The isovalue and window carry over to a series of the
    // same modality; another one starts from its own.
    CVolume& shown = m_sink.volumeForChange();
    CVolume candidate;
    const std::string modality = m_host.modality(first);
    const bool carryOver = m_state.m_bHasSeries && modality == m_state.modality;
    DisplayDefaults start;
    if (carryOver) start = DisplayDefaults{shown.isoHU, shown.levelHU, shown.widthHU};
    const SeriesLoadStatus built = buildFrom(*record, candidate, start.isoHU, start.levelHU, start.widthHU);
    m_host.progress(built == SeriesLoadStatus::Ok ? 100 : 60);
    if (built != SeriesLoadStatus::Ok) {
        m_host.releaseVolume(record);
        return built;
    }
    if (!carryOver && !valuesAreHU(modality)) {
        double center = 0, width = 0;
        const bool hasWindow = m_host.ownWindow(first, center, width);
        const DisplayDefaults own = seriesOwnDefaults(candidate, hasWindow, center, width);
        candidate.setIsoValue(own.isoHU);
        candidate.setWindowLevel(own.levelHU, own.widthHU);
    }

    shown.swap(candidate);
    candidate.release();
    if (m_state.hostVolume) m_host.releaseVolume(m_state.hostVolume);
    m_state.hostVolume = record;
    m_state.firstImageId = first;
    m_state.modality = modality;
    // Reloading the frame's own list keeps it as it is.
    if (&ids != &m_state.imageIds) {
        m_state.imageIds.clear();
        for (int i = 0; i < record->imageCount && record->imageIds; ++i)
            if (record->imageIds[i]) m_state.imageIds.emplace_back(record->imageIds[i]);
    }
    m_state.completedFraction = averageCompletion(m_state.imageIds, m_host);
    updateRates();
    m_state.m_bHasSeries = 1;
    m_sink.volumeReplaced();
    return SeriesLoadStatus::Ok;
}

SeriesLoadStatus SeriesAcquisition::refresh() {
    const double x = averageCompletion(m_state.imageIds, m_host);
    if (x > m_state.completedFraction && !m_state.imageIds.empty() && m_state.hostVolume) {
        CVolume& volume = m_sink.volumeForChange();
        m_host.updateVolume(m_state.hostVolume);
        volume.setVoxelRows(m_state.hostVolume->values, m_state.hostVolume->sliceValues);
        m_state.completedFraction = x;
        updateRates();
    }
    if (!m_state.m_bHasSeries || !m_state.hostVolume) return SeriesLoadStatus::Ok;
    const QVVolumeRecord& record = *m_state.hostVolume;
    CVolume& volume = m_sink.volumeForChange();
    try {
        volume.classify(record.rawBase, record.rawBase + record.valueRange, static_cast<float>(record.intercept),
                        static_cast<float>(record.slope));
    } catch (const std::bad_alloc&) {
        // The classes are then partly new: the window says so and the
        // next refresh classifies again.
        return SeriesLoadStatus::OutOfMemory;
    }
    m_sink.volumeRefreshed();
    return SeriesLoadStatus::Ok;
}

bool SeriesAcquisition::refreshDueNow() {
    if (!m_state.m_bAllLoaded) return qualityCheck(m_state.imageIds, m_host);
    return refreshDue(averageCompletion(m_state.imageIds, m_host), m_state.completedFraction);
}

}  // namespace v3d
