#include "InstallMessage.h"

#include "QVHostApi.h"

namespace glossan {

InstallMessage installMessage(UpdateEvent event, const std::string& fileName) {
    switch (event) {
        case UpdateEvent::ManifestFailed:
        case UpdateEvent::NoLock: return {"Error installing Glossan", QV_MB_ICONHAND};
        case UpdateEvent::FileFailed: return {"Error downloading " + fileName, QV_MB_ICONHAND};
        case UpdateEvent::Cancelled: return {"Glossan install cancelled", QV_MB_ICONEXCLAMATION};
        case UpdateEvent::Upgraded:
            return {"Glossan has been upgraded.\nThe upgrade will be finished after the next restart.",
                    QV_MB_ICONEXCLAMATION};
    }
    return {};
}

// Every cause but the user's own Cancel is one message: the user can do
// nothing different about a timeout than about a refused connection.
UpdateEvent manifestFailure(DownloadStatus status) {
    return status == DownloadStatus::Cancelled ? UpdateEvent::Cancelled : UpdateEvent::ManifestFailed;
}

UpdateEvent fileFailure(DownloadStatus status) {
    return status == DownloadStatus::Cancelled ? UpdateEvent::Cancelled : UpdateEvent::FileFailed;
}

}  // namespace glossan
