#include "StudyDatabase.h"

#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace quarvia {

StudyDatabase::StudyDatabase() = default;
StudyDatabase::~StudyDatabase() = default;

QStringList StudyDatabase::addPaths(const QStringList& paths) {
    QStringList problems;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            QStringList files;
            QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) files << it.next();
            files.sort();  // a stable order whatever the file system gives
            const int before = imageTotal();
            const size_t objectsBefore = m_objects.size();
            const int problemsBefore = problems.size();
            for (const QString& file : files) addFile(file, problems, false);
            if (imageTotal() == before && m_objects.size() == objectsBefore && problems.size() == problemsBefore)
                problems << path + ": no DICOM images in this folder";
        } else if (info.isFile()) {
            addFile(path, problems, true);
        } else {
            problems << path + ": no such file or folder";
        }
    }
    return problems;
}

void StudyDatabase::addFile(const QString& path, QStringList& problems, bool explicitFile) {
    // Files beside the images that are plainly not DICOM are passed over quietly.
    const QString name = QFileInfo(path).fileName();
    if (!explicitFile && (name == "DICOMDIR" || name.endsWith(".txt") || name.endsWith(".md") || name == "SHA256SUMS"))
        return;
    QString error;
    std::unique_ptr<DicomImage> image = DicomImage::load(path, error);
    if (!image) {
        // A segmentation is kept beside the images rather than shown.
        StoredObject object;
        QString notObject;
        if (readStoredObject(path, object, notObject)) {
            const QString why = addObject(object);
            if (!why.isEmpty()) problems << why;
            return;
        }
        problems << error;
        return;
    }
    const QString why = addImage(std::move(image));
    if (!why.isEmpty()) problems << why;
}

QString StudyDatabase::addObject(const StoredObject& object) {
    for (const StoredObject& held : m_objects)
        if (held.sopUid == object.sopUid)
            return object.path + ": duplicate object (the same object is already loaded from " + held.path + ")";
    m_objects.push_back(object);
    if (std::find(m_studies.begin(), m_studies.end(), object.studyUid) == m_studies.end())
        m_studies.push_back(object.studyUid);
    return {};
}

std::vector<const StoredObject*> StudyDatabase::objects(const std::string& studyUid) const {
    std::vector<const StoredObject*> found;
    for (const StoredObject& object : m_objects)
        if (object.studyUid == studyUid) found.push_back(&object);
    return found;
}

namespace {
// Images of one series and one size form a group.
std::string groupKey(const DicomImage& image) {
    return image.seriesUid() + "|" + std::to_string(image.rows()) + "x" + std::to_string(image.columns());
}
}  // namespace

QString StudyDatabase::replaceImage(std::unique_ptr<DicomImage> image) {
    if (!image) return "no image";
    const auto held = m_images.find(image->sopUid());
    if (held == m_images.end()) return addImage(std::move(image));
    const DicomImage& old = *held->second;
    if (old.seriesUid() != image->seriesUid() || old.rows() != image->rows() || old.columns() != image->columns()) {
        // Another series or size: another group.
        removeImage(image->sopUid());
        return addImage(std::move(image));
    }
    // A stand-in lies where its image does: the order only changes when the place does.
    const bool moved = old.position() != image->position() || old.instanceNumber() != image->instanceNumber();
    held->second = std::move(image);
    if (moved) sortGroup(*m_groups.at(m_groupOfKey.at(groupKey(*held->second))));
    return QString();
}

QString StudyDatabase::addImage(std::unique_ptr<DicomImage> image) {
    if (!image) return "no image";
    const std::string id = image->sopUid();
    const auto loaded = m_images.find(id);
    if (loaded != m_images.end())
        return image->path() + ": duplicate image (the same image is already loaded from " + loaded->second->path() + ")";
    const std::string key = groupKey(*image);
    auto found = m_groupOfKey.find(key);
    if (found == m_groupOfKey.end()) {
        auto group = std::make_unique<SeriesGroup>();
        group->id = m_nextGroupId++;
        group->studyUid = image->studyUid();
        group->seriesUid = image->seriesUid();
        found = m_groupOfKey.emplace(key, group->id).first;
        m_groups.emplace(group->id, std::move(group));
    }
    if (std::find(m_studies.begin(), m_studies.end(), image->studyUid()) == m_studies.end())
        m_studies.push_back(image->studyUid());
    SeriesGroup& group = *m_groups.at(found->second);
    group.imageIds.push_back(id);
    m_download.registerImage(id);
    m_images.emplace(id, std::move(image));
    sortGroup(group);
    return QString();
}

void StudyDatabase::sortGroup(SeriesGroup& group) {
    // Along the slice normal when the images carry geometry, else by number.
    auto key = [this](const std::string& id) {
        const DicomImage& im = *m_images.at(id);
        if (!im.hasGeometry()) return static_cast<double>(im.instanceNumber());
        const Vec3d& r = im.rowDir();
        const Vec3d& c = im.colDir();
        const Vec3d n{r[1] * c[2] - r[2] * c[1], r[2] * c[0] - r[0] * c[2], r[0] * c[1] - r[1] * c[0]};
        const Vec3d& p = im.position();
        return p[0] * n[0] + p[1] * n[1] + p[2] * n[2];
    };
    std::stable_sort(group.imageIds.begin(), group.imageIds.end(),
                     [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
}

bool StudyDatabase::removeImage(const std::string& imageId) {
    if (!m_images.count(imageId)) return false;
    for (auto it = m_groups.begin(); it != m_groups.end();) {
        auto& ids = it->second->imageIds;
        ids.erase(std::remove(ids.begin(), ids.end(), imageId), ids.end());
        if (ids.empty()) {
            for (auto k = m_groupOfKey.begin(); k != m_groupOfKey.end();)
                k = k->second == it->first ? m_groupOfKey.erase(k) : std::next(k);
            it = m_groups.erase(it);
        } else {
            ++it;
        }
    }
    m_images.erase(imageId);
    m_studies.erase(std::remove_if(m_studies.begin(), m_studies.end(),
                                   [this](const std::string& study) { return groupCount(study) == 0; }),
                    m_studies.end());
    return true;
}

const DicomImage* StudyDatabase::image(const std::string& imageId) const {
    const auto it = m_images.find(imageId);
    return it == m_images.end() ? nullptr : it->second.get();
}

const DicomImage* StudyDatabase::imageOfDataset(const void* dataset) const {
    if (!dataset) return nullptr;
    for (const auto& entry : m_images)
        if (entry.second->dataset() == dataset) return entry.second.get();
    return nullptr;
}

std::string StudyDatabase::studyUid(int index) const {
    return index >= 0 && index < studyCount() ? m_studies[static_cast<size_t>(index)] : std::string();
}

int StudyDatabase::groupCount(const std::string& studyUid) const {
    int n = 0;
    for (const auto& entry : m_groups) n += entry.second->studyUid == studyUid ? 1 : 0;
    return n;
}

const SeriesGroup* StudyDatabase::group(const std::string& studyUid, int index) const {
    for (const auto& entry : m_groups)
        if (entry.second->studyUid == studyUid && index-- == 0) return entry.second.get();
    return nullptr;
}

const SeriesGroup* StudyDatabase::groupById(int id) const {
    const auto it = m_groups.find(id);
    return it == m_groups.end() ? nullptr : it->second.get();
}

const SeriesGroup* StudyDatabase::groupOfImage(const std::string& imageId) const {
    for (const auto& entry : m_groups) {
        const auto& ids = entry.second->imageIds;
        if (std::find(ids.begin(), ids.end(), imageId) != ids.end()) return entry.second.get();
    }
    return nullptr;
}

std::vector<const SeriesGroup*> StudyDatabase::groups() const {
    std::vector<const SeriesGroup*> all;
    for (const std::string& study : m_studies)
        for (int i = 0; i < groupCount(study); ++i) all.push_back(group(study, i));
    return all;
}

}  // namespace quarvia
