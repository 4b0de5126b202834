#include "PacsRetrieval.h"

#include "DicomWebClient.h"
#include "DimseClient.h"
#include "dicom/DicomImage.h"
#include "dicom/StudyDatabase.h"

#include <dcmtk/dcmdata/dctk.h>

#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QUuid>

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
        post([this, path] { take(path); });
        return !m_cancel.load();
    };
    std::vector<InstanceHit> instances;
    PacsResult r;
    auto run = [&](auto& client) {
        r = client.findInstances(study, series, instances);
        if (!r.ok()) return;
        post([this, instances] {
            m_instances = instances;
            m_expected = int(instances.size());
        });
        // One image first: it shows what the others will look like, so that
        // they can stand in the database before they come.
        if (!instances.empty()) r = client.retrieve(study, series, instances.front().sopUid, received);
        if (r.ok() && !m_cancel) r = client.retrieve(study, series, "", received);
    };
    if (m_protocol == PacsProtocol::Dimse) {
        DimseClient client(m_server, m_cache);
        run(client);
    } else {
        DicomWebClient client(m_server);
        run(client);
    }
    if (m_cancel && r.ok()) r = {PacsStatus::Cancelled, QString()};
    post([this, r] { done(r); });
}

void PacsRetrieval::take(const QString& file) {
    QString error;
    std::unique_ptr<DicomImage> image = DicomImage::load(file, error);
    if (!image) {
        m_problems << error;
        return;
    }
    const std::string id = image->sopUid();
    const bool standIn = m_database.download().awaited(id);
    if (m_database.image(id) && !standIn) {
        QFile::remove(file);  // the first image comes twice
        return;
    }
    if (!m_standIns) standIns(*image);
    const QString why = m_database.replaceImage(std::move(image));
    if (!why.isEmpty()) {
        m_problems << why;
        return;
    }
    m_database.download().imageArrived(id);
    ++m_arrived;
    emit progressed(m_arrived, m_expected);
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
    m_result = result;
    // Stand-ins of images that never came go: what arrived stays.
    for (const InstanceHit& hit : m_instances)
        if (m_database.download().awaited(hit.sopUid)) {
            m_database.removeImage(hit.sopUid);
            m_database.download().imageArrived(hit.sopUid);
        }
    emit finished();
}

}  // namespace quarvia
