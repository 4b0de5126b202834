#pragma once

#include "PacsTypes.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>

namespace quarvia {

class DicomImage;
class StudyDatabase;

// One series retrieved from a PACS into the study database while the user
// works. Where each image lies is asked beside the transfer; once that is
// known and the first image has come, the others stand in the database as
// blank images that are awaited, so a 2D
// cell pages through what has arrived and a 3D window built on the series
// fills in as the rest arrive (the plug-ins see them arrive as they do a
// download). The transfer runs on a thread of its own; each object arrives
// as a file in the cache folder and enters the database on the window's
// thread after the same checks as a file opened from disk (read on the
// transfer's thread). A cancelled or
// failed retrieval keeps what arrived.
class PacsRetrieval : public QObject {
    Q_OBJECT
public:
    PacsRetrieval(StudyDatabase& database, const PacsServer& server, PacsProtocol protocol, const SeriesHit& series,
                  const QString& cacheFolder, QObject* parent);
    ~PacsRetrieval() override;

    void start();
    void cancel() { m_cancel = true; }
    bool running() const { return m_running; }
    int arrived() const { return m_arrived; }
    int expected() const { return m_expected; }
    const PacsResult& result() const { return m_result; }
    // Objects that arrived but were refused, in the user's words.
    const QStringList& problems() const { return m_problems; }
    const SeriesHit& series() const { return m_series; }
    // Milliseconds from the start to the first image in the database and to the end (-1: not yet).
    qint64 firstImageMs() const { return m_firstMs; }
    qint64 totalMs() const { return m_totalMs; }
    // Bytes of the objects that arrived.
    qint64 bytes() const { return m_bytes; }
    const PacsServer& server() const { return m_server; }

signals:
    // Images entered the database.
    void progressed(int arrived, int expected);
    void finished();

private:
    void work();
    // An arrived object read on the worker (null with the reason when it was refused).
    void take(std::unique_ptr<DicomImage> image, const QString& error, qint64 size);
    void placesKnown(const std::vector<InstanceHit>& instances);
    void standIns(const DicomImage& first);
    void done(const PacsResult& result);

    StudyDatabase& m_database;
    PacsServer m_server;
    PacsProtocol m_protocol;
    SeriesHit m_series;
    QString m_cache;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
    std::vector<InstanceHit> m_instances;  // the window's copy
    bool m_standIns = false;
    bool m_placesKnown = false;
    std::vector<std::unique_ptr<DicomImage>> m_parked;  // came before the places were known
    int m_arrived = 0, m_expected = 0;
    PacsResult m_result;
    QStringList m_problems;
    QElapsedTimer m_clock;
    qint64 m_firstMs = -1, m_totalMs = -1, m_bytes = 0;
};

}  // namespace quarvia
