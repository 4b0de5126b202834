// New DICOM files made by the plug-ins: secondary captures of a source image.
#include "HostApiSupport.h"

#include "PacsFrame.h"

#include "HostCell.h"
#include "ImagePanel.h"
#include "FileWrite.h"
#include "dicom/NewDicomFile.h"
#include "dicom/StoredObject.h"
#include "dicom/StudyDatabase.h"

#include "QVHostApi.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <limits>
#include <map>
#include <memory>

using quarvia::host;
using quarvia::NewDicomFile;

namespace {
// Files handed out and not yet added or destroyed.
std::map<QVNewFileHandle, std::unique_ptr<NewDicomFile>>& files() {
    static std::map<QVNewFileHandle, std::unique_ptr<NewDicomFile>> live;
    return live;
}
NewDicomFile* fileOf(QVNewFileHandle handle) {
    const auto it = files().find(handle);
    return it == files().end() ? nullptr : it->second.get();
}
}  // namespace

QVNewFileHandle QVCreateNewDicomFile(const char* identity, const char* sourceImageId, const void* pixels, int pixelType,
                                     int width, int height, const char* sopInstanceUid) {
    return quarvia::guarded<QVNewFileHandle>(__func__, nullptr, [&]() -> QVNewFileHandle {
        const quarvia::DicomImage* source = host() ? host()->database().image(sourceImageId) : nullptr;
        if (!source || !identity) return nullptr;
        std::unique_ptr<NewDicomFile> file =
            NewDicomFile::create(identity, *source, pixels, pixelType, width, height, sopInstanceUid);
        if (!file) return nullptr;
        auto handle = reinterpret_cast<QVNewFileHandle>(file.get());
        files().emplace(handle, std::move(file));
        return handle;
    });
}
int QVNewFileSetDatasetFloat64(QVNewFileHandle file, uint16_t group, uint16_t element, const double* values, int count) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        NewDicomFile* f = fileOf(file);
        return f && f->setFloat64(group, element, values, count) ? 1 : 0;
    });
}
int QVNewFileSetDatasetUint16(QVNewFileHandle file, uint16_t group, uint16_t element, const uint16_t* values, int count) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        NewDicomFile* f = fileOf(file);
        return f && f->setUint16(group, element, values, count) ? 1 : 0;
    });
}
int QVNewFileSetDatasetString(QVNewFileHandle file, uint16_t group, uint16_t element, const char* value) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        NewDicomFile* f = fileOf(file);
        return f && f->setString(group, element, value) ? 1 : 0;
    });
}
int QVNewFileSetDatasetUint8(QVNewFileHandle file, uint16_t group, uint16_t element, const uint8_t* values, int count) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        NewDicomFile* f = fileOf(file);
        return f && f->setUint8(group, element, values, count) ? 1 : 0;
    });
}
int QVNewFileRemoveDatasetTag(QVNewFileHandle file, uint16_t group, uint16_t element) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        NewDicomFile* f = fileOf(file);
        return f && f->remove(group, element) ? 1 : 0;
    });
}
int QVNewFileNewSeriesUID(QVNewFileHandle file, const char* seriesUid, int seriesNumber) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        NewDicomFile* f = fileOf(file);
        return f && f->setSeries(seriesUid, seriesNumber) ? 1 : 0;
    });
}
char* QVNewFileAddToViewer(QVNewFileHandle file) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        NewDicomFile* f = fileOf(file);
        if (!f || !host()) return nullptr;
        QString error;
        std::unique_ptr<quarvia::DicomImage> image = f->write(host()->outputFolder(), error);
        if (!image) {
            host()->notice("New file not added: " + error);
            return nullptr;
        }
        const std::string id = image->sopUid();
        const QString path = image->path();
        // Where it went, in the user's words: a capture is otherwise silent.
        const QString where = QString("Captured image %1 of series %2 \"%3\" (%4)")
                                  .arg(image->instanceNumber())
                                  .arg(image->seriesNumber())
                                  .arg(image->texts().seriesDescription, QFileInfo(image->path()).fileName());
        const QString why = host()->database().addImage(std::move(image));
        if (!why.isEmpty()) {
            host()->notice("New file not added: " + why);
            return nullptr;
        }
        files().erase(file);  // added: the host owns it now
        host()->databaseChanged();
        host()->news(where);
        host()->pacs().captured(path);
        return quarvia::duplicate(id);
    });
}
void QVDestroyNewFile(QVNewFileHandle file) {
    quarvia::guardedVoid(__func__, [&] {
        files().erase(file);
    });
}
char* QVAddDicomObjectToViewer(const char* identity, const void* bytes, int64_t length, char** error) {
    if (error) *error = nullptr;
    QString why;
    char* id = quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        if (!host() || !identity || !bytes || length <= 0 || length > std::numeric_limits<int>::max())
            return (why = "no file to add"), nullptr;
        const QByteArray file(static_cast<const char*>(bytes), static_cast<int>(length));
        quarvia::StoredObject object;
        if (!quarvia::parseStoredObject(file, object, why)) return nullptr;
        const QString folder = host()->outputFolder();
        if (!QDir().mkpath(folder)) return (why = "cannot make the folder " + folder), nullptr;
        object.path = QDir(folder).filePath(QString::fromStdString(object.sopUid) + ".dcm");
        const quarvia::FileWriteResult written = quarvia::writeFileWhole(object.path, file);
        if (!written.ok()) return (why = quarvia::fileWriteMessage(written, object.path)), nullptr;
        why = host()->database().addObject(object);
        if (!why.isEmpty()) return nullptr;
        host()->databaseChanged();
        host()->news(QString("Saved segmentation \"%1\" (%2)")
                           .arg(object.seriesDescription, QFileInfo(object.path).fileName()));
        return quarvia::duplicate(object.sopUid);
    });
    if (!id && error) *error = quarvia::duplicate(why.isEmpty() ? QString("the host could not add the file") : why);
    return id;
}
