#include "PacsFrame.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "HostWindow.h"
#include "ImagePanel.h"
#include "PacsBrowser.h"
#include "dicom/StudyDatabase.h"
#include "pacs/DicomWebClient.h"
#include "pacs/DimseClient.h"
#include "pacs/PacsRetrieval.h"

#include "QVHostApi.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QMenu>
#include <QMetaObject>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <thread>

namespace quarvia {

namespace {
const char* const kHostSection = "Quarvia";
constexpr int kMaxServers = 8;

PacsServer parseServer(const QString& text) {
    PacsServer s;
    for (const QString& field : text.split('|')) {
        const int eq = field.indexOf('=');
        if (eq <= 0) continue;
        const QString key = field.left(eq).trimmed(), value = field.mid(eq + 1).trimmed();
        if (key == "name") s.name = value;
        else if (key == "web") s.webUrl = value;
        else if (key == "ae") s.aeTitle = value;
        else if (key == "host") s.host = value;
        else if (key == "port") s.port = value.toInt();
        else if (key == "calling") s.callingAeTitle = value;
        else if (key == "credentials") s.credentialsFile = value;
        else if (key == "ca") s.caFile = value;
        else if (key == "tls") s.dimseTls = value == "1" || value == "yes";
    }
    return s;
}

QString cacheFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty()) base = QDir::temp().filePath("quarvia-cache");
    return QDir(base).filePath("pacs");
}
}  // namespace

PacsFrame::PacsFrame(HostWindow& host, QMenu& fileMenu, QAction* before) : QObject(&host), m_host(host) {
    auto* open = new QAction("&PACS...", &fileMenu);
    connect(open, &QAction::triggered, this, &PacsFrame::openBrowser);
    fileMenu.insertAction(before, open);
    auto* send = new QAction("Send Series to PA&CS...", &fileMenu);
    connect(send, &QAction::triggered, this, &PacsFrame::sendActiveSeries);
    fileMenu.insertAction(before, send);
    fileMenu.insertSeparator(before);
}

PacsFrame::~PacsFrame() { shutdown(); }

void PacsFrame::shutdown() {
    // Retrievals and sends finish their threads (at most the stall time)
    // while the window is still whole: their answers come to it.
    cancelRetrievals();
    m_retrievals.clear();
    while (m_threads > 0) QApplication::processEvents(QEventLoop::AllEvents, 50);
}

std::vector<PacsServer> PacsFrame::servers() const {
    std::vector<PacsServer> out;
    for (int i = 1; i <= kMaxServers; ++i) {
        const QByteArray key = "Server" + QByteArray::number(i);
        const QString text = m_host.profile().readString(kHostSection, 0, "PACS", key.constData(), QString());
        PacsServer s = parseServer(text);
        if (!s.name.isEmpty() && (s.hasWeb() || s.hasDimse())) out.push_back(s);
    }
    return out;
}

bool PacsFrame::serverNamed(const QString& name, PacsServer& server) const {
    for (const PacsServer& s : servers())
        if (s.name == name) return (server = s), true;
    return false;
}

void PacsFrame::background(std::function<void()> work, std::function<void()> then) {
    ++m_threads;
    std::thread([this, work = std::move(work), then = std::move(then)]() mutable {
        work();
        QMetaObject::invokeMethod(this, [this, then = std::move(then)] {
            --m_threads;
            then();
        }, Qt::QueuedConnection);
    }).detach();
}

void PacsFrame::query(const PacsServer& server, PacsProtocol protocol, const PacsQuery& keys, const Found& done) {
    auto result = std::make_shared<PacsResult>();
    auto found = std::make_shared<std::vector<FoundStudy>>();
    background([server, protocol, keys, result, found] {
        std::vector<StudyHit> studies;
        auto run = [&](auto& client) {
            *result = client.findStudies(keys, studies);
            for (const StudyHit& study : studies) {
                if (!result->ok()) break;
                FoundStudy f{study, {}};
                *result = client.findSeries(study.studyUid, f.series);
                // In the order of their numbers, as the scanner made them.
                std::stable_sort(f.series.begin(), f.series.end(),
                                 [](const SeriesHit& a, const SeriesHit& b) { return a.number < b.number; });
                found->push_back(std::move(f));
            }
        };
        if (protocol == PacsProtocol::Dimse) {
            DimseClient client(server, QString());
            run(client);
        } else {
            DicomWebClient client(server);
            run(client);
        }
    }, [result, found, done] { done(*result, *found); });
}

PacsRetrieval* PacsFrame::retrieve(const PacsServer& server, PacsProtocol protocol, const SeriesHit& series) {
    const QString folder = QDir(cacheFolder()).filePath(QString::fromStdString(series.seriesUid));
    auto retrieval = std::make_unique<PacsRetrieval>(m_host.database(), server, protocol, series, folder, this);
    PacsRetrieval* r = retrieval.get();
    const QString label = QString("%1 from %2").arg(series.description.isEmpty() ? QString("a series") : "\"" + series.description + "\"", server.name);
    connect(r, &PacsRetrieval::progressed, this, [this, label](int arrived, int expected) {
        m_host.statusLine(QString("Retrieving %1: %2 of %3 images").arg(label).arg(arrived).arg(expected));
        // The browser, the panels and the reading volumes follow a few times a
        // second, not per image; the first image shows the series at once.
        if (arrived == 1) return m_host.databaseChanged();
        if (!m_changeQueued) {
            m_changeQueued = true;
            QTimer::singleShot(kArrivalRepaintMs, this, [this] {
                m_changeQueued = false;
                m_host.databaseChanged();
            });
        }
    });
    connect(r, &PacsRetrieval::finished, this, [this, r, label] {
        m_host.databaseChanged();
        for (const QString& problem : r->problems()) m_host.notice(problem);
        if (r->result().ok()) m_host.news(QString("Retrieved %1: %2 images").arg(label).arg(r->arrived()));
        else m_host.notice(pacsMessage(r->result(), r->server().name) + QString(" %1 of %2 images arrived.").arg(r->arrived()).arg(r->expected()));
    });
    m_retrievals.push_back(std::move(retrieval));
    r->start();
    return r;
}

void PacsFrame::cancelRetrievals() {
    for (const auto& r : m_retrievals) r->cancel();
}

bool PacsFrame::retrieving() const {
    for (const auto& r : m_retrievals)
        if (r->running()) return true;
    return false;
}

void PacsFrame::send(const PacsServer& server, PacsProtocol protocol, const QStringList& files,
                     const std::function<void(const PacsResult&, int)>& done) {
    auto result = std::make_shared<PacsResult>();
    auto sent = std::make_shared<int>(0);
    ++m_sending;
    background([server, protocol, files, result, sent] {
        for (const QString& file : files) {
            if (protocol == PacsProtocol::Dimse) {
                *result = DimseClient(server, QString()).store(file);
            } else {
                QFile in(file);
                *result = in.open(QIODevice::ReadOnly) ? DicomWebClient(server).store(in.readAll())
                                                       : PacsResult{PacsStatus::BadAnswer, "cannot read " + file};
            }
            if (!result->ok()) return;
            ++*sent;
        }
    }, [this, result, sent, done] {
        --m_sending;
        done(*result, *sent);
    });
}

void PacsFrame::captured(const QString& file) {
    const QStringList target = m_host.profile().readString(kHostSection, 0, "PACS", "SendCapturesTo", QString()).split('|');
    PacsServer server;
    if (target.value(0).isEmpty() || !serverNamed(target.value(0), server)) return;
    const PacsProtocol protocol = target.value(1) == "web" || !server.hasDimse() ? PacsProtocol::Web : PacsProtocol::Dimse;
    send(server, protocol, {file}, [this, server, file](const PacsResult& r, int) {
        if (r.ok()) m_host.news(QString("Sent %1 to %2").arg(QFileInfo(file).fileName(), server.name));
        else m_host.notice(pacsMessage(r, server.name) + " The capture stays in " + file);
    });
}

void PacsFrame::openBrowser() {
    if (!m_browser) m_browser = new PacsBrowser(*this, &m_host);
    m_browser->show();
    m_browser->raise();
}

void PacsFrame::sendActiveSeries() {
    const SeriesGroup* group = m_host.database().groupById(m_host.grid().activeCell()->panel()->groupId());
    const std::vector<PacsServer> all = servers();
    if (!group || all.empty()) {
        m_host.messageBox(group ? "No PACS is configured in the profile." : "Show the series to send in the active cell first.",
                          "Send Series to PACS", QV_MB_OK | QV_MB_ICONSTOP);
        return;
    }
    QStringList names;
    for (const PacsServer& s : all) names << s.name;
    bool ok = false;
    const QString name = QInputDialog::getItem(&m_host, "Send Series to PACS", "Server:", names, 0, false, &ok);
    PacsServer server;
    if (!ok || !serverNamed(name, server)) return;
    QStringList files;
    for (const std::string& id : group->imageIds)
        if (const DicomImage* image = m_host.database().image(id); image && QFile::exists(image->path())) files << image->path();
    const PacsProtocol protocol = server.hasDimse() ? PacsProtocol::Dimse : PacsProtocol::Web;
    send(server, protocol, files, [this, server, total = files.size()](const PacsResult& r, int sent) {
        if (r.ok()) m_host.news(QString("Sent %1 images to %2").arg(sent).arg(server.name));
        else m_host.notice(pacsMessage(r, server.name) + QString(" %1 of %2 images were sent.").arg(sent).arg(total));
    });
}

}  // namespace quarvia
