// Volumes and the download rates of images.
#include "HostApiSupport.h"

#include "dicom/HostVolume.h"
#include "dicom/StudyDatabase.h"
#include "reading/ReadingState.h"

#include "QVHostApi.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

using quarvia::host;
using quarvia::HostVolume;

namespace {
// Why the last volume was refused; empty after one was built.
QString& lastRefusal() {
    static QString why;
    return why;
}
// Records handed out and not yet released; anything else is not a volume.
std::map<QVVolumeRecord*, std::unique_ptr<HostVolume>>& volumes() {
    static std::map<QVVolumeRecord*, std::unique_ptr<HostVolume>> live;
    return live;
}
// The series group each live volume was built from.
std::map<QVVolumeRecord*, int>& volumeGroups() {
    static std::map<QVVolumeRecord*, int> groups;
    return groups;
}
HostVolume* volumeOf(QVVolumeRecord* record) {
    const auto it = volumes().find(record);
    return it == volumes().end() ? nullptr : it->second.get();
}
}  // namespace

QVVolumeRecord* QVCreateVolume(int count, const char* const* imageIds, int) {
    return quarvia::guarded<QVVolumeRecord*>(__func__, nullptr, [&]() -> QVVolumeRecord* {
        if (!host() || count <= 0 || !imageIds) return nullptr;
        std::vector<std::string> ids;
        for (int i = 0; i < count; ++i) {
            if (!imageIds[i]) return nullptr;
            ids.emplace_back(imageIds[i]);
        }
        const quarvia::SeriesGroup* group = host()->database().groupOfImage(ids.front());
        // One image cannot form a volume: a panel showing one image of a series
        // stands for the whole series, as a user dropping it expects.
        if (ids.size() == 1 && group && group->imageIds.size() > 1) ids = group->imageIds;
        quarvia::VolumeRefusal refusal;
        std::unique_ptr<HostVolume> volume = HostVolume::build(host()->database(), ids, group ? group->id : 0, refusal);
        if (!volume) {
            // The plug-in only learns that it failed; the user reads why here.
            const quarvia::DicomImage* first = host()->database().image(ids.front());
            const QString series = first && !first->texts().seriesDescription.isEmpty()
                                       ? QString(" of series \"%1\"").arg(first->texts().seriesDescription)
                                       : QString();
            lastRefusal() = quarvia::describe(refusal);
            host()->notice(QString("No 3D volume from %1 images%2: %3").arg(ids.size()).arg(series, lastRefusal()));
            return nullptr;
        }
        lastRefusal().clear();
        QVVolumeRecord* record = &volume->record();
        volumes().emplace(record, std::move(volume));
        volumeGroups()[record] = group ? group->id : 0;
        return record;
    });
}

void QVUpdateVolume(QVVolumeRecord* record) {
    quarvia::guardedVoid(__func__, [&] {
        HostVolume* volume = volumeOf(record);
        if (volume && host()) volume->refresh(host()->database());
    });
}

void QVReleaseVolume(QVVolumeRecord* record) {
    quarvia::guardedVoid(__func__, [&] {
        volumes().erase(record);
        volumeGroups().erase(record);
    });
}

std::vector<int> quarvia::liveVolumeGroups() {
    std::vector<int> ids;
    for (const auto& [record, id] : volumeGroups())
        if (id && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    return ids;
}

double QVGetCompletionRate(const char* imageId) {
    return quarvia::guarded<double>(__func__, 0.0, [&]() -> double {
        if (!host() || !imageId) return 0.0;
        return host()->database().download().completionRate(imageId);
    });
}
double QVGetDownloadRate(const char* imageId) {
    return quarvia::guarded<double>(__func__, 0.0, [&]() -> double {
        if (!host() || !imageId) return 0.0;
        return host()->database().download().downloadRate(imageId);
    });
}
double QVGetCompressionRate(const char* imageId) {
    return quarvia::guarded<double>(__func__, 1.0, [&]() -> double {
        const quarvia::DicomImage* image = host() ? host()->database().image(imageId) : nullptr;
        return image ? image->compressionRate() : 1.0;
    });
}
int QVIsLossless(const char* imageId) {
    return quarvia::guarded<int>(__func__, 1, [&]() -> int {
        const quarvia::DicomImage* image = host() ? host()->database().image(imageId) : nullptr;
        return image ? (image->lossless() ? 1 : 0) : 1;
    });
}
// The 3D cursor: panels of the series' frame of reference page to the point
// and mark it; (0, 0, 0, 0) hides it.
void QVSetMagicX(int32_t seriesHandle, double x, double y, double z) {
    quarvia::guardedVoid(__func__, [&] {
        if (!host()) return;
        quarvia::ReadingState& reading = host()->reading();
        const bool hide = seriesHandle == 0 && x == 0 && y == 0 && z == 0;
        if (hide || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) ||
            !host()->database().groupById(seriesHandle))
            return reading.hideCursor();
        reading.placeCursor(seriesHandle, {x, y, z});
    });
}

char* QVGetVolumeRefusal(void) {
    return quarvia::guarded<char*>(__func__, nullptr, []() -> char* {
        return lastRefusal().isEmpty() ? nullptr : quarvia::duplicate(lastRefusal());
    });
}
