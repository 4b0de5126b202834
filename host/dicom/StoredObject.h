#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace quarvia {

// A DICOM object of a study that is not an image the host shows: a
// segmentation. The browser lists it; it drags as its file.
struct StoredObject {
    QString path;
    std::string sopUid;
    std::string sopClassUid;
    std::string seriesUid;
    std::string studyUid;
    QString modality;
    QString seriesDescription;
};

// Whether the file is an object of a kind the host keeps (a segmentation);
// false with the reason otherwise. Reads the attributes only.
bool readStoredObject(const QString& path, StoredObject& object, QString& error);
// The same for a whole file in memory (a plug-in's new object); path is
// left empty.
bool parseStoredObject(const QByteArray& bytes, StoredObject& object, QString& error);

}  // namespace quarvia
