#pragma once

#include "DicomImage.h"
#include "DownloadSimulation.h"
#include "StoredObject.h"

#include <QStringList>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quarvia {

// A group: the images of one series that share a size (a series whose
// images differ in size is split, as it could never form one volume).
struct SeriesGroup {
    int id = 0;
    std::string studyUid;
    std::string seriesUid;
    std::vector<std::string> imageIds;  // display order
};

// The host's study database: studies, then groups, then images named by
// their SOP instance UID. Group ids are the handles the plug-ins see; a
// removed group's id is never reused, so a stale handle finds nothing.
class StudyDatabase {
public:
    StudyDatabase();
    ~StudyDatabase();

    // Files and folders (recursively). Answers a message for every file
    // that was skipped, naming it.
    QStringList addPaths(const QStringList& paths);
    // Adds one image; empty on success, else the reason.
    QString addImage(std::unique_ptr<DicomImage> image);
    // An image in place of the one of the same name (one awaited from a PACS
    // by its stand-in); added when there is none.
    QString replaceImage(std::unique_ptr<DicomImage> image);
    bool removeImage(const std::string& imageId);
    // Adds an object that is not an image; empty on success, else the reason.
    QString addObject(const StoredObject& object);
    // The objects of a study, in the order they came.
    std::vector<const StoredObject*> objects(const std::string& studyUid) const;

    const DicomImage* image(const std::string& imageId) const;
    const DicomImage* image(const char* imageId) const { return imageId ? image(std::string(imageId)) : nullptr; }
    // The image whose dataset this is; null for anything else (stale handles).
    const DicomImage* imageOfDataset(const void* dataset) const;
    int imageTotal() const { return static_cast<int>(m_images.size()); }
    size_t objectTotal() const { return m_objects.size(); }

    int studyCount() const { return static_cast<int>(m_studies.size()); }
    std::string studyUid(int index) const;
    int groupCount(const std::string& studyUid) const;
    const SeriesGroup* group(const std::string& studyUid, int index) const;
    const SeriesGroup* groupById(int id) const;
    const SeriesGroup* groupOfImage(const std::string& imageId) const;
    // All groups in study order.
    std::vector<const SeriesGroup*> groups() const;

    DownloadSimulation& download() { return m_download; }
    const DownloadSimulation& download() const { return m_download; }

private:
    // explicit: opened by name, so that nothing is passed over quietly.
    void addFile(const QString& path, QStringList& problems, bool explicitFile);
    void sortGroup(SeriesGroup& group);

    std::map<std::string, std::unique_ptr<DicomImage>> m_images;
    std::vector<StoredObject> m_objects;
    std::vector<std::string> m_studies;                      // load order
    std::map<int, std::unique_ptr<SeriesGroup>> m_groups;     // by id
    std::map<std::string, int> m_groupOfKey;                  // series + size -> id
    int m_nextGroupId = 1;
    DownloadSimulation m_download;
};

}  // namespace quarvia
