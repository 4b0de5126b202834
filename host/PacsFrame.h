#pragma once

#include "pacs/PacsTypes.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QAction;

namespace quarvia {

class HostWindow;
class PacsBrowser;
class PacsRetrieval;

// A study found on a PACS with its series.
struct FoundStudy {
    StudyHit study;
    std::vector<SeriesHit> series;
};

// The host's PACS work: the servers of the profile, queries, the retrievals
// running while the user works (progress in the status line, problems in
// the message list), sending series back, and sending each capture as it is
// made when the profile says so. Network calls run off the window's thread;
// their answers come back to it.
//
// Profile (section "PACS" of the host): Server1 ... Server8, each
// "name=...|web=https://host/dicom-web|ae=AETITLE|host=...|port=104|calling=QUARVIA|credentials=FILE|ca=FILE|tls=1"
// (tls=1: DIMSE over TLS);
// SendCapturesTo=NAME [|web] sends every capture to that server.
class PacsFrame : public QObject {
    Q_OBJECT
public:
    PacsFrame(HostWindow& host, QMenu& fileMenu, QAction* before);
    ~PacsFrame() override;

    std::vector<PacsServer> servers() const;
    bool serverNamed(const QString& name, PacsServer& server) const;

    using Found = std::function<void(const PacsResult&, const std::vector<FoundStudy>&)>;
    // Studies and their series; `done` runs on the window's thread.
    void query(const PacsServer& server, PacsProtocol protocol, const PacsQuery& query, const Found& done);
    // Starts retrieving a series; its progress and end are told to the user.
    PacsRetrieval* retrieve(const PacsServer& server, PacsProtocol protocol, const SeriesHit& series);
    const std::vector<std::unique_ptr<PacsRetrieval>>& retrievals() const { return m_retrievals; }
    void cancelRetrievals();
    bool retrieving() const;
    // Sends the files of a series (a capture series or any other); `done` on the window's thread.
    void send(const PacsServer& server, PacsProtocol protocol, const QStringList& files,
              const std::function<void(const PacsResult&, int sent)>& done);
    // Sends still running (scripts wait for them).
    int sending() const { return m_sending; }
    // A file the host made (a capture): sent when the profile asks for it.
    void captured(const QString& file);
    // Ends the retrievals and waits for the network threads (the window closing).
    void shutdown();

private:
    void openBrowser();
    void sendActiveSeries();
    // Runs `work` on a thread of its own, then `then` on the window's thread.
    void background(std::function<void()> work, std::function<void()> then);

    HostWindow& m_host;
    QPointer<PacsBrowser> m_browser;
    std::vector<std::unique_ptr<PacsRetrieval>> m_retrievals;
    int m_sending = 0;
    bool m_changeQueued = false;
    static constexpr int kArrivalRepaintMs = 250;
    int m_threads = 0;
};

}  // namespace quarvia
