#pragma once

#include "PacsTypes.h"

namespace quarvia {

// The DIMSE side of a PACS (C-ECHO, C-FIND, C-GET, C-STORE) through the
// toolkit's network module. Each call opens its own association and blocks:
// callers run it off the window's thread. Retrieved objects are written to
// `folder` as they come, unparsed, and handed over as files, so that the
// host's own checks read them before the toolkit builds them.
class DimseClient {
public:
    DimseClient(const PacsServer& server, const QString& folder) : m_server(server), m_folder(folder) {}

    PacsResult echo();
    PacsResult findStudies(const PacsQuery& query, std::vector<StudyHit>& hits);
    PacsResult findSeries(const std::string& studyUid, std::vector<SeriesHit>& hits);
    PacsResult findInstances(const std::string& studyUid, const std::string& seriesUid, std::vector<InstanceHit>& hits);
    // A series, or one instance of it when sopUid is given.
    PacsResult retrieve(const std::string& studyUid, const std::string& seriesUid, const std::string& sopUid,
                        const ReceivedObject& received);
    PacsResult store(const QString& file);

private:
    PacsServer m_server;
    QString m_folder;
};

}  // namespace quarvia
