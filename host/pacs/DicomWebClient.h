#pragma once

#include "PacsTypes.h"

#include <QByteArray>

namespace quarvia {

// The DICOMweb side of a PACS through libcurl: QIDO-RS queries, WADO-RS
// retrieval of a series as multipart (each object handed over as its part
// completes) and STOW-RS. Blocking: callers run it off the window's thread.
// HTTPS certificates are verified (the system's authorities, plus the
// server's CA file when it names one).
class DicomWebClient {
public:
    explicit DicomWebClient(const PacsServer& server) : m_server(server) {}

    // The body of an answer as it streams, with the answer's content type;
    // false stops the transfer.
    using Sink = std::function<bool(const QByteArray& contentType, const char* data, size_t size)>;

    PacsResult findStudies(const PacsQuery& query, std::vector<StudyHit>& hits);
    PacsResult findSeries(const std::string& studyUid, std::vector<SeriesHit>& hits);
    // From the series' metadata: where each instance lies.
    PacsResult findInstances(const std::string& studyUid, const std::string& seriesUid, std::vector<InstanceHit>& hits);
    PacsResult retrieve(const std::string& studyUid, const std::string& seriesUid, const std::string& sopUid,
                        const ReceivedObject& received);
    PacsResult store(const QByteArray& object);

private:
    // A GET (or a POST with `body`) answering the body; `sink` takes it as it
    // streams instead when given.
    PacsResult request(const QString& path, const QByteArray& accept, QByteArray& answer, const Sink& sink = nullptr,
                       const QByteArray* body = nullptr, const QByteArray& contentType = QByteArray());
    PacsResult json(const QString& path, QByteArray& answer);

    PacsServer m_server;
};

}  // namespace quarvia
