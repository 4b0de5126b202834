#include "PacsTypes.h"

namespace quarvia {

QString pacsMessage(const PacsResult& result, const QString& server) {
    const QString detail = result.detail.isEmpty() ? QString() : " (" + result.detail + ")";
    switch (result.status) {
    case PacsStatus::Ok: return QString();
    case PacsStatus::Unreachable: return QString("The PACS %1 cannot be reached: is it running, and are its address and port right?%2").arg(server, detail);
    case PacsStatus::Refused: return QString("The PACS %1 refused the request: check the AE titles and what it allows this host.%2").arg(server, detail);
    case PacsStatus::NotAuthorised: return QString("The PACS %1 did not accept the user name and password of its credentials file.%2").arg(server, detail);
    case PacsStatus::Stalled: return QString("The PACS %1 stopped sending for %2 seconds; what arrived is kept.%3").arg(server).arg(kPacsStallSeconds).arg(detail);
    case PacsStatus::Cancelled: return QString("Retrieval from %1 cancelled; what arrived is kept.%2").arg(server, detail);
    case PacsStatus::ServerError: return QString("The PACS %1 reported a failure.%2").arg(server, detail);
    case PacsStatus::BadAnswer: return QString("The PACS %1 sent an answer the host cannot read.%2").arg(server, detail);
    case PacsStatus::TlsFailed: return QString("The certificate of the PACS %1 could not be verified; nothing was sent.%2").arg(server, detail);
    }
    return QString();
}

}  // namespace quarvia
