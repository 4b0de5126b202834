#include "PacsRetrieval.h"

#include "DicomWebClient.h"
#include "DimseClient.h"
#include "dicom/DicomImage.h"
#include "dicom/StudyDatabase.h"

#include <dcmtk/dcmdata/dctk.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QUuid>

#include <algorithm>
#include <vector>

namespace quarvia {

PacsRetrieval::PacsRetrieval(StudyDatabase& database, const PacsServer& server, PacsProtocol protocol,
                             const SeriesHit& series, const QString& cacheFolder, QObject* parent)
    : QObject(parent), m_database(database), m_server(server), m_protocol(protocol), m_series(series),
      m_cache(cacheFolder) {}

PacsRetrieval::~PacsRetrieval() {
    m_cancel = true;
    if (m_worker.joinable()) m_worker.join();
}

void PacsRetrieval::start() {
    if (m_running) return;
    m_running = true;
    m_clock.start();
    m_expected = m_series.instances;
    QDir().mkpath(m_cache);
    m_worker = std::thread([this] { work(); });
}

void PacsRetrieval::work() {
    // Everything reaches the window's thread through queued calls on this object.
    auto post = [this](std::function<void()> call) { QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection); };
    const std::string study = m_series.studyUid, series = m_series.seriesUid;
    const ReceivedObject received = [&](const QString& file, const QByteArray& bytes) {
        QString path = file;
        if (!bytes.isEmpty()) {
            path = QDir(m_cache).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + ".dcm");
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return false;
        }
        // Read here, off the window's thread; the database takes it there.
        QString error;
        // Held for the queued call, which takes it over (a call is copied, an image cannot be).
        auto image = std::make_shared<std::unique_ptr<DicomImage>>(DicomImage::load(path, error));
        const qint64 size = QFileInfo(path).size();
        post([this, image, error, size] { take(std::move(*image), error, size); });
        return !m_cancel.load();
    };
    // Where the images lie is asked beside the transfer: with the first image
    // that comes it lets the others stand in the database before they come,
    // so that the series is whole in the browser (and a 3D window takes it)
    // at once. Images that come before the answer wait for it.
    const bool dimse = m_protocol == PacsProtocol::Dimse;
    std::thread places([this, study, series, dimse, post] {
        std::vector<InstanceHit> instances;
        const PacsResult found = dimse ? DimseClient(m_server, m_cache).findInstances(study, series, instances)
                                       : DicomWebClient(m_server).findInstances(study, series, instances);
        if (!found.ok()) instances.clear();  // no stand-ins: the images enter as they come
        post([this, instances] { placesKnown(instances); });
    });
    PacsResult r = dimse ? DimseClient(m_server, m_cache).retrieve(study, series, "", received)
                         : DicomWebClient(m_server).retrieve(study, series, "", received);
    places.join();
    if (m_cancel && r.ok()) r = {PacsStatus::Cancelled, QString()};
    post([this, r] { done(r); });
}

void PacsRetrieval::take(std::unique_ptr<DicomImage> image, const QString& error, qint64 size) {
    m_bytes += size;
    if (!image) {
        m_problems << error;
        return;
    }
    if (!m_placesKnown) return m_parked.push_back(std::move(image));
    const std::string id = image->sopUid();
    const bool standIn = m_database.download().awaited(id);
    if (m_database.image(id) && !standIn) {
        QFile::remove(image->path());  // already here (retrieved or opened before)
        return;
    }
    if (!m_standIns && !m_instances.empty()) standIns(*image);
    const QString why = m_database.replaceImage(std::move(image));
    if (!why.isEmpty()) {
        m_problems << why;
        return;
    }
    m_database.download().imageArrived(id);
    if (m_arrived++ == 0) m_firstMs = m_clock.elapsed();
    emit progressed(m_arrived, m_expected);
}

void PacsRetrieval::placesKnown(const std::vector<InstanceHit>& instances) {
    m_placesKnown = true;
    m_instances = instances;
    m_expected = std::max(m_expected, int(instances.size()));
    std::vector<std::unique_ptr<DicomImage>> parked = std::move(m_parked);
    for (std::unique_ptr<DicomImage>& image : parked) take(std::move(image), QString(), 0);
}

void PacsRetrieval::standIns(const DicomImage& first) {
    m_standIns = true;
    DcmDataset* source = first.dataset();
    if (!source || first.samplesPerPixel() != 1) return;
    const size_t pixels = size_t(first.rows()) * size_t(first.columns());
    for (const InstanceHit& hit : m_instances) {
        if (hit.sopUid == first.sopUid() || !hit.hasGeometry || m_database.image(hit.sopUid)) continue;
        auto file = std::make_unique<DcmFileFormat>(source);  // a copy of the data set
        DcmDataset& d = *file->getDataset();
        d.putAndInsertString(DCM_SOPInstanceUID, hit.sopUid.c_str());
        d.putAndInsertString(DCM_InstanceNumber, std::to_string(hit.number).c_str());
        char text[160];
        std::snprintf(text, sizeof text, "%.10g\\%.10g\\%.10g", hit.position[0], hit.position[1], hit.position[2]);
        d.putAndInsertString(DCM_ImagePositionPatient, text);
        std::snprintf(text, sizeof text, "%.10g\\%.10g\\%.10g\\%.10g\\%.10g\\%.10g", hit.orientation[0], hit.orientation[1],
                      hit.orientation[2], hit.orientation[3], hit.orientation[4], hit.orientation[5]);
        d.putAndInsertString(DCM_ImageOrientationPatient, text);
        // Blank until it comes.
        if (first.bitsAllocated() == 8) {
            const std::vector<Uint8> blank(pixels, 0);
            d.putAndInsertUint8Array(DCM_PixelData, blank.data(), static_cast<unsigned long>(pixels));
        } else {
            const std::vector<Uint16> blank(pixels, 0);
            d.putAndInsertUint16Array(DCM_PixelData, blank.data(), static_cast<unsigned long>(pixels));
        }
        QString error;
        std::unique_ptr<DicomImage> image = DicomImage::adopt(std::move(file), m_server.name + " (awaited)", error);
        if (!image) continue;
        m_database.download().awaitImage(hit.sopUid);
        m_database.addImage(std::move(image));
    }
}

void PacsRetrieval::done(const PacsResult& result) {
    if (m_worker.joinable()) m_worker.join();
    m_running = false;
    m_totalMs = m_clock.elapsed();
    m_result = result;
    if (!m_placesKnown) placesKnown({});
    // Stand-ins of images that never came go: what arrived stays.
    for (const InstanceHit& hit : m_instances)
        if (m_database.download().awaited(hit.sopUid)) {
            m_database.removeImage(hit.sopUid);
            m_database.download().imageArrived(hit.sopUid);
        }
    emit finished();
}

}  // namespace quarvia
