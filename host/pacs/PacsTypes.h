#pragma once

#include "dicom/SliceGeometry.h"

#include <QString>

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace quarvia {

// A PACS as the profile names it: DICOMweb, DIMSE or both.
struct PacsServer {
    QString name;
    QString webUrl;           // DICOMweb base, e.g. https://pacs/dicom-web (empty: none)
    QString aeTitle;          // DIMSE (empty: none)
    QString host;
    int port = 104;
    QString callingAeTitle = "QUARVIA";
    QString credentialsFile;  // "user:password" on its first line; never on the command line
    QString caFile;           // HTTPS and DIMSE over TLS: a certificate authority besides the system's
    bool dimseTls = false;    // DIMSE over TLS (the server's certificate is verified)
    bool hasWeb() const { return !webUrl.isEmpty(); }
    bool hasDimse() const { return !aeTitle.isEmpty() && !host.isEmpty() && port > 0 && port < 65536; }
};

enum class PacsProtocol { Dimse, Web };

// What the user asks a PACS for; empty fields match anything.
struct PacsQuery {
    QString patientName;  // wildcards as the PACS takes them (*, ?)
    QString patientId;
    QString studyDate;    // YYYYMMDD or YYYYMMDD-YYYYMMDD
    QString modality;
    QString accession;
};

struct StudyHit {
    std::string studyUid;
    QString patientName, patientId, date, description, modalities, accession;
    int instances = 0;
};

struct SeriesHit {
    std::string studyUid, seriesUid;
    QString modality, description;
    int number = 0;
    int instances = 0;
};

// An instance with where it lies, known before its pixels arrive.
struct InstanceHit {
    std::string sopUid;
    int number = 0;
    bool hasGeometry = false;
    Vec3d position{};
    std::array<double, 6> orientation{};
};

enum class PacsStatus {
    Ok,
    Unreachable,       // no connection (refused, no route, name unknown)
    Refused,           // association rejected, or HTTP 4xx other than authentication
    NotAuthorised,     // HTTP 401/403
    Stalled,           // nothing arrived within the timeout
    Cancelled,
    ServerError,       // the PACS answered with a failure
    BadAnswer,         // an answer the host cannot trust or read
    TlsFailed,         // the certificate did not verify
};

struct PacsResult {
    PacsStatus status = PacsStatus::Ok;
    QString detail;
    bool ok() const { return status == PacsStatus::Ok; }
};

// The user's words for a result, naming the server.
QString pacsMessage(const PacsResult& result, const QString& server);

// Each retrieved object as a file the client wrote (the caller takes it
// over) or as bytes; false from the callback cancels the retrieval.
using ReceivedObject = std::function<bool(const QString& file, const QByteArray& bytes)>;

// Seconds without any byte from the server before a transfer is given up.
constexpr int kPacsStallSeconds = 15;
// Answers (queries, metadata) larger than this are refused.
constexpr size_t kMaxPacsAnswerBytes = size_t(256) << 20;
// A query lists at most this many hits.
constexpr int kMaxPacsHits = 5000;

}  // namespace quarvia
