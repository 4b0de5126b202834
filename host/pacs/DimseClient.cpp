#include "DimseClient.h"

#include "PacsAnswers.h"

#include <dcmtk/dcmdata/dctk.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/dcmtls/tlslayer.h>

#include <QDir>

#include <cmath>
#include <memory>
#include <mutex>

namespace quarvia {

namespace {

// Transfer syntaxes offered for images coming in: what the host decodes.
const char* const kReceiveSyntaxes[] = {
    UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax,
    UID_JPEGProcess1TransferSyntax, UID_JPEGProcess14SV1TransferSyntax, UID_JPEGProcess14TransferSyntax,
    UID_JPEGLSLosslessTransferSyntax, UID_JPEGLSLossyTransferSyntax, UID_RLELosslessTransferSyntax};

OFList<OFString> syntaxes(std::initializer_list<const char*> uids) {
    OFList<OFString> out;
    for (const char* uid : uids) out.push_back(uid);
    return out;
}

PacsResult resultOf(const OFCondition& condition, const char* what) {
    if (condition.good()) return {};
    const QString text = QString("%1: %2").arg(what, condition.text());
    if (condition == DUL_ASSOCIATIONREJECTED) return {PacsStatus::Refused, text};
    if (condition == DIMSE_NODATAAVAILABLE || condition == DUL_READTIMEOUT) return {PacsStatus::Stalled, text};
    if (condition == DUL_NETWORKCLOSED || condition == DUL_PEERABORTEDASSOCIATION)
        return {PacsStatus::ServerError, text};
    // The toolkit has no code of its own for a connection that failed.
    if (QString(condition.text()).contains("TCP Initialization Error")) return {PacsStatus::Unreachable, text};
    return {PacsStatus::ServerError, text};
}

// An association; TLS is put under it before it is negotiated.
class Session : public DcmSCU {
public:
    using DcmSCU::useSecureConnection;
};

// C-GET with the objects received into files, handed over one by one.
class GetScu : public Session {
public:
    explicit GetScu(const ReceivedObject* received) : m_received(received) {}
    bool cancelled() const { return m_cancelled; }
    int count() const { return m_count; }

protected:
    OFCondition handleSTORERequestFile(T_ASC_PresentationContextID* presID, const OFString& filename,
                                       T_DIMSE_C_StoreRQ* request) override {
        const OFCondition status = DcmSCU::handleSTORERequestFile(presID, filename, request);
        if (status.good() && m_received && !m_cancelled) {
            ++m_count;
            if (!(*m_received)(QString::fromLocal8Bit(filename.c_str()), QByteArray())) {
                m_cancelled = true;
                return DIMSE_NODATAAVAILABLE;  // ends the session; the association is aborted after
            }
        }
        return status;
    }

private:
    const ReceivedObject* m_received;
    bool m_cancelled = false;
    int m_count = 0;
};

// DIMSE over TLS: the server's certificate must verify against the system's
// authorities or the server's own; the layer lives as long as the association.
PacsResult secure(Session& scu, const PacsServer& server, std::unique_ptr<DcmTLSTransportLayer>& layer) {
    if (!server.dimseTls) return {};
    layer = std::make_unique<DcmTLSTransportLayer>(NET_REQUESTOR, nullptr, OFTrue);
    layer->setCertificateVerification(DCV_requireCertificate);
    if (layer->setTLSProfile(TSP_Profile_BCP195).bad() || layer->activateCipherSuites().bad())
        return {PacsStatus::TlsFailed, "no TLS cipher suites"};
    layer->addTrustedCertificateDir("/etc/ssl/certs", DCF_Filetype_PEM);
    if (!server.caFile.isEmpty() && layer->addTrustedCertificateFile(server.caFile.toLocal8Bit().constData(), DCF_Filetype_PEM).bad())
        return {PacsStatus::TlsFailed, "cannot read the certificate authority " + server.caFile};
    return resultOf(scu.useSecureConnection(layer.get()), "TLS");
}

void configure(DcmSCU& scu, const PacsServer& server) {
    // The toolkit's progress lines are not the user's business; failures come back as results.
    static std::once_flag quiet;
    std::call_once(quiet, [] { OFLog::configure(OFLogger::WARN_LOG_LEVEL); });
    scu.setAETitle(server.callingAeTitle.toStdString().c_str());
    scu.setPeerAETitle(server.aeTitle.toStdString().c_str());
    scu.setPeerHostName(server.host.toStdString().c_str());
    scu.setPeerPort(Uint16(server.port));
    scu.setACSETimeout(kPacsStallSeconds);
    scu.setDIMSETimeout(kPacsStallSeconds);
    scu.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    dcmConnectionTimeout.set(kPacsStallSeconds);  // the toolkit's one setting for connecting
    scu.setVerbosePCMode(OFFalse);
}

PacsResult connect(Session& scu, const PacsServer& server, std::unique_ptr<DcmTLSTransportLayer>& layer) {
    PacsResult r = resultOf(scu.initNetwork(), "network");
    if (r.ok()) r = secure(scu, server, layer);
    if (!r.ok()) return r;
    r = resultOf(scu.negotiateAssociation(), "association");
    // A handshake that fails on the certificate shows as a failed connection.
    if (!r.ok() && layer && r.status != PacsStatus::Refused) r.status = PacsStatus::TlsFailed;
    return r;
}

// A C-FIND answer read as the hits read any answer.
class DatasetAnswer : public AnswerReader {
public:
    explicit DatasetAnswer(DcmItem& item) : m_item(item) {}
    QString text(AnswerTag tag) const override {
        OFString value;
        return m_item.findAndGetOFStringArray(DcmTagKey(tag.group, tag.element), value).good()
                   ? QString::fromStdString(value.c_str()).trimmed()
                   : QString();
    }
    bool numbers(AnswerTag tag, double* out, int count) const override {
        for (int i = 0; i < count; ++i) {
            Float64 v = 0;
            if (m_item.findAndGetFloat64(DcmTagKey(tag.group, tag.element), v, unsigned(i)).bad() || !std::isfinite(v))
                return false;
            out[i] = v;
        }
        return true;
    }

private:
    DcmItem& m_item;
};

// Runs a C-FIND at a level with the given keys; each answer to `take`.
PacsResult find(const PacsServer& server, DcmDataset& keys, const std::function<void(DcmDataset&)>& take) {
    std::unique_ptr<DcmTLSTransportLayer> layer;  // outlives the association
    Session scu;
    configure(scu, server);
    scu.addPresentationContext(UID_FINDStudyRootQueryRetrieveInformationModel,
                               syntaxes({UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax}));
    PacsResult r = connect(scu, server, layer);
    if (!r.ok()) return r;
    const T_ASC_PresentationContextID id = scu.findPresentationContextID(UID_FINDStudyRootQueryRetrieveInformationModel, "");
    if (id == 0) return scu.abortAssociation(), PacsResult{PacsStatus::Refused, "the PACS does not answer queries"};
    OFList<QRResponse*> responses;
    r = resultOf(scu.sendFINDRequest(id, &keys, &responses), "query");
    int hits = 0;
    Uint16 status = 0;
    for (QRResponse* response : responses) {
        if (response->m_dataset && hits < kMaxPacsHits) take(*response->m_dataset), ++hits;
        status = response->m_status;
        delete response;
    }
    if (r.ok() && DICOM_FAILURE_STATUS(status)) r = {PacsStatus::ServerError, QString("query failed (status 0x%1)").arg(status, 4, 16, QChar('0'))};
    scu.releaseAssociation();
    return r;
}

void put(DcmDataset& d, const DcmTagKey& key, const QString& value) { d.putAndInsertString(key, value.toStdString().c_str()); }

// The attributes an answer should hold, asked for empty (the matching keys are put after).
void askFor(DcmDataset& d, const std::vector<AnswerTag>& tags) {
    for (const AnswerTag& tag : tags) put(d, DcmTagKey(tag.group, tag.element), QString());
}

}  // namespace

PacsResult DimseClient::echo() {
    std::unique_ptr<DcmTLSTransportLayer> layer;  // outlives the association
    Session scu;
    configure(scu, m_server);
    scu.addPresentationContext(UID_VerificationSOPClass, syntaxes({UID_LittleEndianImplicitTransferSyntax}));
    PacsResult r = connect(scu, m_server, layer);
    if (!r.ok()) return r;
    r = resultOf(scu.sendECHORequest(0), "echo");
    scu.releaseAssociation();
    return r;
}

PacsResult DimseClient::findStudies(const PacsQuery& q, std::vector<StudyHit>& hits) {
    DcmDataset keys;
    put(keys, DCM_QueryRetrieveLevel, "STUDY");
    askFor(keys, studyReturnKeys());
    put(keys, DCM_PatientName, q.patientName);
    put(keys, DCM_PatientID, q.patientId);
    put(keys, DCM_StudyDate, q.studyDate);
    put(keys, DCM_ModalitiesInStudy, q.modality);
    put(keys, DCM_AccessionNumber, q.accession);
    hits.clear();
    return find(m_server, keys, [&hits](DcmDataset& d) {
        StudyHit h;
        if (studyHitOf(DatasetAnswer(d), h)) hits.push_back(h);
    });
}

PacsResult DimseClient::findSeries(const std::string& studyUid, std::vector<SeriesHit>& hits) {
    DcmDataset keys;
    put(keys, DCM_QueryRetrieveLevel, "SERIES");
    askFor(keys, seriesReturnKeys());
    put(keys, DCM_StudyInstanceUID, QString::fromStdString(studyUid));
    hits.clear();
    return find(m_server, keys, [&](DcmDataset& d) {
        SeriesHit h;
        if (seriesHitOf(DatasetAnswer(d), studyUid, h)) hits.push_back(h);
    });
}

PacsResult DimseClient::findInstances(const std::string& studyUid, const std::string& seriesUid,
                                      std::vector<InstanceHit>& hits) {
    DcmDataset keys;
    put(keys, DCM_QueryRetrieveLevel, "IMAGE");
    askFor(keys, instanceReturnKeys());
    put(keys, DCM_StudyInstanceUID, QString::fromStdString(studyUid));
    put(keys, DCM_SeriesInstanceUID, QString::fromStdString(seriesUid));
    hits.clear();
    return find(m_server, keys, [&hits](DcmDataset& d) {
        InstanceHit h;
        if (instanceHitOf(DatasetAnswer(d), h)) hits.push_back(h);
    });
}

PacsResult DimseClient::retrieve(const std::string& studyUid, const std::string& seriesUid, const std::string& sopUid,
                                 const ReceivedObject& received) {
    QDir().mkpath(m_folder);
    std::unique_ptr<DcmTLSTransportLayer> layer;  // outlives the association
    GetScu scu(&received);
    configure(scu, m_server);
    scu.setStorageMode(DCMSCU_STORAGE_BIT_PRESERVING);
    scu.setStorageDir(QDir(m_folder).absolutePath().toLocal8Bit().constData());
    const OFList<OFString> accepted = [] {
        OFList<OFString> list;
        for (const char* uid : kReceiveSyntaxes) list.push_back(uid);
        return list;
    }();
    scu.addPresentationContext(UID_GETStudyRootQueryRetrieveInformationModel,
                               syntaxes({UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax}));
    // The images come back on the same association: the host takes the SCP role for them.
    for (int i = 0; i < numberOfDcmLongSCUStorageSOPClassUIDs; ++i)
        scu.addPresentationContext(dcmLongSCUStorageSOPClassUIDs[i], accepted, ASC_SC_ROLE_SCP);
    PacsResult r = connect(scu, m_server, layer);
    if (!r.ok()) return r;
    const T_ASC_PresentationContextID id = scu.findPresentationContextID(UID_GETStudyRootQueryRetrieveInformationModel, "");
    if (id == 0) return scu.abortAssociation(), PacsResult{PacsStatus::Refused, "the PACS does not serve C-GET"};
    DcmDataset keys;
    put(keys, DCM_QueryRetrieveLevel, sopUid.empty() ? "SERIES" : "IMAGE");
    put(keys, DCM_StudyInstanceUID, QString::fromStdString(studyUid));
    put(keys, DCM_SeriesInstanceUID, QString::fromStdString(seriesUid));
    if (!sopUid.empty()) put(keys, DCM_SOPInstanceUID, QString::fromStdString(sopUid));
    OFList<RetrieveResponse*> responses;
    r = resultOf(scu.sendCGETRequest(id, &keys, &responses), "retrieval");
    Uint16 status = 0;
    int failed = 0;
    for (RetrieveResponse* response : responses) {
        status = response->m_status;
        failed = response->m_numberOfFailedSubops > 0 ? response->m_numberOfFailedSubops : failed;
        delete response;
    }
    if (scu.cancelled()) {
        scu.abortAssociation();
        return {PacsStatus::Cancelled, QString("cancelled after %1 images").arg(scu.count())};
    }
    if (r.ok() && (DICOM_FAILURE_STATUS(status) || failed > 0))
        r = {PacsStatus::ServerError, QString("the PACS could not send %1 images (status 0x%2)").arg(failed).arg(status, 4, 16, QChar('0'))};
    if (r.ok()) scu.releaseAssociation();
    else scu.abortAssociation();
    return r;
}

PacsResult DimseClient::store(const QString& file) {
    DcmFileFormat object;
    if (object.loadFile(OFFilename(file.toLocal8Bit().constData())).bad()) return {PacsStatus::BadAnswer, "cannot read " + file};
    OFString sopClass;
    object.getDataset()->findAndGetOFString(DCM_SOPClassUID, sopClass);
    const DcmXfer syntax(object.getDataset()->getOriginalXfer());
    std::unique_ptr<DcmTLSTransportLayer> layer;  // outlives the association
    Session scu;
    configure(scu, m_server);
    scu.addPresentationContext(sopClass, syntaxes({syntax.getXferID(), UID_LittleEndianExplicitTransferSyntax}));
    PacsResult r = connect(scu, m_server, layer);
    if (!r.ok()) return r;
    const T_ASC_PresentationContextID id = scu.findPresentationContextID(sopClass, "");
    if (id == 0) return scu.abortAssociation(), PacsResult{PacsStatus::Refused, "the PACS does not take this kind of object"};
    Uint16 status = 0;
    r = resultOf(scu.sendSTORERequest(id, "", object.getDataset(), status), "store");
    if (r.ok() && DICOM_FAILURE_STATUS(status)) r = {PacsStatus::ServerError, QString("store refused (status 0x%1)").arg(status, 4, 16, QChar('0'))};
    scu.releaseAssociation();
    return r;
}

}  // namespace quarvia
