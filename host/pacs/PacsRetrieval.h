#pragma once

#include "PacsTypes.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>

namespace quarvia {

class DicomImage;
class StudyDatabase;

// One series retrieved from a PACS into the study database while the user
// works. Where each image lies is asked first; once the first image has come,
// the others stand in the database as blank images that are awaited, so a 2D
// cell pages through what has arrived and a 3D window built on the series
// fills in as the rest arrive (the plug-ins see them arrive as they do a
// download). The transfer runs on a thread of its own; each object arrives
// as a file in the cache folder and enters the database on the window's
// thread after the same checks as a file opened from disk. A cancelled or
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
    const PacsServer& server() const { return m_server; }

signals:
    // Images entered the database.
    void progressed(int arrived, int expected);
    void finished();

private:
    void work();
    void take(const QString& file);
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
    int m_arrived = 0, m_expected = 0;
    PacsResult m_result;
    QStringList m_problems;
};

}  // namespace quarvia
