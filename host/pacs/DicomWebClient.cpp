#include "DicomWebClient.h"

#include "MultipartReader.h"
#include "PacsAnswers.h"

#include <curl/curl.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

#include <cmath>
#include <memory>
#include <mutex>

namespace quarvia {

namespace {

struct Transfer {
    QByteArray* answer = nullptr;
    const DicomWebClient::Sink* sink = nullptr;
    bool stopped = false;
    bool tooLarge = false;
    QByteArray contentType;
};

size_t written(char* data, size_t size, size_t count, void* context) {
    auto* t = static_cast<Transfer*>(context);
    const size_t bytes = size * count;
    if (t->sink && *t->sink) {
        if (!(*t->sink)(t->contentType, data, bytes)) return (t->stopped = true), 0;
        return bytes;
    }
    if (size_t(t->answer->size()) + bytes > kMaxPacsAnswerBytes) return (t->tooLarge = true), 0;
    t->answer->append(data, qsizetype(bytes));
    return bytes;
}

size_t header(char* data, size_t size, size_t count, void* context) {
    auto* t = static_cast<Transfer*>(context);
    const QByteArray line = QByteArray(data, qsizetype(size * count)).trimmed();
    if (line.toLower().startsWith("content-type:")) t->contentType = line.mid(13).trimmed();
    return size * count;
}

// "user:password" from the first line of the server's credentials file.
QByteArray credentials(const QString& file) {
    if (file.isEmpty()) return QByteArray();
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return QByteArray();
    return in.readLine(4096).trimmed();
}

QString keyOf(AnswerTag tag) { return QString("%1%2").arg(tag.group, 4, 16, QChar('0')).arg(tag.element, 4, 16, QChar('0')).toUpper(); }

// An object of DICOM JSON read as the hits read any answer.
class JsonAnswer : public AnswerReader {
public:
    explicit JsonAnswer(const QJsonObject& object) : m_object(object) {}
    QString text(AnswerTag tag) const override {
        QStringList values;
        for (const QJsonValue& v : valuesOf(tag)) {
            if (v.isObject()) values << v.toObject().value("Alphabetic").toString();
            else if (v.isDouble()) values << QString::number(v.toDouble(), 'g', 17);
            else values << v.toString();
        }
        return values.join('\\');
    }
    bool numbers(AnswerTag tag, double* out, int count) const override {
        const QJsonArray values = valuesOf(tag);
        if (values.size() != count) return false;
        for (int i = 0; i < count; ++i) {
            // Decimal strings come as numbers or as text, depending on the server.
            bool ok = values[i].isDouble();
            out[i] = ok ? values[i].toDouble() : values[i].toString().toDouble(&ok);
            if (!ok || !std::isfinite(out[i])) return false;
        }
        return true;
    }

private:
    QJsonArray valuesOf(AnswerTag tag) const { return m_object.value(keyOf(tag)).toObject().value("Value").toArray(); }
    QJsonObject m_object;
};

QString includeFields(const std::vector<AnswerTag>& tags) {
    QStringList keys;
    for (const AnswerTag& tag : tags) keys << keyOf(tag);
    return keys.join(',');
}

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

PacsResult DicomWebClient::request(const QString& path, const QByteArray& accept, QByteArray& answer, const Sink& sink,
                                   const QByteArray* body, const QByteArray& contentType) {
    globalInit();
    std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) return {PacsStatus::ServerError, "no HTTP client"};
    QString base = m_server.webUrl;
    while (base.endsWith('/')) base.chop(1);
    const QByteArray url = (base + path).toUtf8();
    Transfer t;
    t.answer = &answer;
    t.sink = &sink;
    curl_slist* headers = curl_slist_append(nullptr, ("Accept: " + accept).constData());
    if (body) headers = curl_slist_append(headers, ("Content-Type: " + contentType).constData());
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, written);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, header);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(kPacsStallSeconds));
    // A server that stops sending is given up after the stall time.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(kPacsStallSeconds));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    if (!m_server.caFile.isEmpty()) curl_easy_setopt(c, CURLOPT_CAINFO, m_server.caFile.toLocal8Bit().constData());
    const QByteArray user = credentials(m_server.credentialsFile);
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_USERPWD, user.constData());
    }
    if (body) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body->constData());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body->size()));
    }
    const CURLcode code = curl_easy_perform(c);
    curl_slist_free_all(headers);
    long http = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &http);
    if (t.stopped && http / 100 == 2) return {PacsStatus::Cancelled, "stopped"};
    if (t.tooLarge) return {PacsStatus::BadAnswer, QString("an answer larger than %1 MB").arg(kMaxPacsAnswerBytes >> 20)};
    switch (code) {
    case CURLE_OK: break;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST: return {PacsStatus::Unreachable, curl_easy_strerror(code)};
    case CURLE_OPERATION_TIMEDOUT: return {PacsStatus::Stalled, curl_easy_strerror(code)};
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE: return {PacsStatus::TlsFailed, curl_easy_strerror(code)};
    default:
        if (http / 100 == 2 || http == 0) return {PacsStatus::ServerError, curl_easy_strerror(code)};
    }
    if (http == 401 || http == 403) return {PacsStatus::NotAuthorised, QString("HTTP %1").arg(http)};
    if (http / 100 == 4) return {PacsStatus::Refused, QString("HTTP %1").arg(http)};
    if (http / 100 != 2) return {PacsStatus::ServerError, QString("HTTP %1").arg(http)};
    return {};
}

PacsResult DicomWebClient::json(const QString& path, QByteArray& answer) {
    PacsResult r = request(path, "application/dicom+json", answer);
    if (r.ok() && !answer.isEmpty() && !QJsonDocument::fromJson(answer).isArray())
        return {PacsStatus::BadAnswer, "not a list of DICOM JSON objects"};
    return r;
}

PacsResult DicomWebClient::findStudies(const PacsQuery& q, std::vector<StudyHit>& hits) {
    QUrlQuery query;
    const std::pair<const char*, QString> keys[] = {{"PatientName", q.patientName}, {"PatientID", q.patientId},
                                                    {"StudyDate", q.studyDate}, {"ModalitiesInStudy", q.modality},
                                                    {"AccessionNumber", q.accession}};
    for (const auto& [key, value] : keys)
        if (!value.isEmpty()) query.addQueryItem(key, value);
    query.addQueryItem("includefield", includeFields(studyReturnKeys()));
    query.addQueryItem("limit", QString::number(kMaxPacsHits));
    QByteArray answer;
    const PacsResult r = json("/studies?" + query.toString(QUrl::FullyEncoded), answer);
    hits.clear();
    for (const QJsonValue& v : QJsonDocument::fromJson(answer).array()) {
        StudyHit h;
        if (studyHitOf(JsonAnswer(v.toObject()), h)) hits.push_back(h);
    }
    return r;
}

PacsResult DicomWebClient::findSeries(const std::string& studyUid, std::vector<SeriesHit>& hits) {
    QByteArray answer;
    const PacsResult r = json(QString("/studies/%1/series?includefield=%2")
                                  .arg(QString::fromStdString(studyUid), includeFields(seriesReturnKeys())), answer);
    hits.clear();
    for (const QJsonValue& v : QJsonDocument::fromJson(answer).array()) {
        SeriesHit h;
        if (seriesHitOf(JsonAnswer(v.toObject()), studyUid, h)) hits.push_back(h);
    }
    return r;
}

PacsResult DicomWebClient::findInstances(const std::string& studyUid, const std::string& seriesUid,
                                         std::vector<InstanceHit>& hits) {
    QByteArray answer;
    const PacsResult r = json(QString("/studies/%1/series/%2/metadata")
                                  .arg(QString::fromStdString(studyUid), QString::fromStdString(seriesUid)), answer);
    hits.clear();
    for (const QJsonValue& v : QJsonDocument::fromJson(answer).array()) {
        InstanceHit h;
        if (instanceHitOf(JsonAnswer(v.toObject()), h)) hits.push_back(h);
    }
    return r;
}

PacsResult DicomWebClient::retrieve(const std::string& studyUid, const std::string& seriesUid, const std::string& sopUid,
                                    const ReceivedObject& received) {
    QString path = QString("/studies/%1/series/%2").arg(QString::fromStdString(studyUid), QString::fromStdString(seriesUid));
    if (!sopUid.empty()) path += "/instances/" + QString::fromStdString(sopUid);
    // The boundary comes with the answer's headers, before its body.
    std::unique_ptr<MultipartReader> reader;
    QByteArray unused;
    bool cancelled = false;
    const Sink sink = [&](const QByteArray& type, const char* data, size_t size) {
        if (!reader)
            reader = std::make_unique<MultipartReader>(MultipartReader::boundaryOf(type), [&](const QByteArray& body) {
                if (!received(QString(), body)) return (cancelled = true), false;
                return true;
            }, kMaxPacsAnswerBytes);
        return reader->feed(data, size);
    };
    PacsResult r = request(path, "multipart/related; type=\"application/dicom\"; transfer-syntax=*", unused, sink);
    if (cancelled) return {PacsStatus::Cancelled, QString("cancelled after %1 images").arg(reader ? reader->parts() : 0)};
    if (r.status == PacsStatus::Cancelled || (r.ok() && (!reader || reader->state() != MultipartReader::State::Done)))
        return {PacsStatus::BadAnswer, "the answer is not a complete multipart body of DICOM objects"};
    return r;
}

PacsResult DicomWebClient::store(const QByteArray& object) {
    // A boundary of its own each time: it must not occur inside the object.
    const QByteArray boundary = "quarvia-" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    QByteArray body = "--" + boundary + "\r\nContent-Type: application/dicom\r\n\r\n" + object + "\r\n--" + boundary + "--\r\n";
    QByteArray answer;
    return request("/studies", "application/dicom+json", answer, nullptr, &body,
                   "multipart/related; type=\"application/dicom\"; boundary=" + boundary);
}

}  // namespace quarvia
