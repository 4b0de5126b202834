#include "HostScriptPacs.h"

#include "CellGrid.h"
#include "CornerTexts.h"
#include "HostCell.h"
#include "HostWindow.h"
#include "ImagePanel.h"
#include "PacsFrame.h"
#include "dicom/StudyDatabase.h"
#include "pacs/PacsRetrieval.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace quarvia {

namespace {
void print(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Runs the event loop until `ready` or the time is up.
bool runUntil(const std::function<bool()>& ready, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

std::vector<FoundStudy>& lastFound() {
    static std::vector<FoundStudy> found;
    return found;
}

bool serverArgs(HostWindow& host, const QStringList& args, int at, PacsServer& server, PacsProtocol& protocol, QString& why) {
    if (!host.pacs().serverNamed(args.value(at), server)) return (why = "no PACS named " + args.value(at)), false;
    if (args.value(at + 1) != "dimse" && args.value(at + 1) != "web") return (why = "protocol dimse or web"), false;
    protocol = args.value(at + 1) == "web" ? PacsProtocol::Web : PacsProtocol::Dimse;
    return true;
}

bool pacsQuery(ScriptLine& s) {
    PacsServer server;
    PacsProtocol protocol = PacsProtocol::Dimse;
    if (!serverArgs(s.host, s.args, 0, server, protocol, s.why)) return false;
    PacsQuery q;
    for (const QString& arg : s.args.mid(2)) {
        const QString key = arg.section('=', 0, 0), value = arg.section('=', 1);
        if (key == "name") q.patientName = value;
        else if (key == "id") q.patientId = value;
        else if (key == "date") q.studyDate = value;
        else if (key == "modality") q.modality = value;
        else if (key == "accession") q.accession = value;
    }
    bool done = false;
    PacsResult result;
    s.host.pacs().query(server, protocol, q, [&](const PacsResult& r, const std::vector<FoundStudy>& found) {
        result = r;
        lastFound() = found;
        done = true;
    });
    if (!runUntil([&] { return done; }, 60000)) return s.fail("the query did not end");
    if (!result.ok()) {
        s.host.notice(pacsMessage(result, server.name));
        print("pacs-error: " + pacsMessage(result, server.name));
    }
    for (size_t n = 0; n < lastFound().size(); ++n) {
        const StudyHit& st = lastFound()[n].study;
        print(QString("pacs-study %1: %2 | %3 | %4 | %5 | %6 images")
                  .arg(n).arg(st.patientName, st.patientId, readableDate(st.date), st.modalities).arg(st.instances));
        for (size_t i = 0; i < lastFound()[n].series.size(); ++i) {
            const SeriesHit& se = lastFound()[n].series[i];
            print(QString("pacs-series %1.%2: %3 | %4 | %5 images").arg(n).arg(i).arg(se.description, se.modality).arg(se.instances));
        }
    }
    return true;
}

bool pacsRetrieve(ScriptLine& s) {
    PacsServer server;
    PacsProtocol protocol = PacsProtocol::Dimse;
    if (!serverArgs(s.host, s.args, 0, server, protocol, s.why)) return false;
    const size_t n = s.args.value(2).toUInt();
    size_t i = s.args.value(3).toUInt();
    // "modality=CT": the study's first series of that modality.
    if (n < lastFound().size() && s.args.value(3).startsWith("modality="))
        for (i = 0; i < lastFound()[n].series.size(); ++i)
            if (lastFound()[n].series[i].modality == s.args.value(3).mid(9)) break;
    if (n >= lastFound().size() || i >= lastFound()[n].series.size()) return s.fail("no such series in the last query");
    s.host.pacs().retrieve(server, protocol, lastFound()[n].series[i]);
    return true;
}

bool pacsWait(ScriptLine& s) {
    PacsFrame& pacs = s.host.pacs();
    const bool arrived = s.args.value(0) == "arrived";
    const int count = s.args.value(1).toInt();
    const int ms = s.args.value(arrived ? 2 : 1, "60000").toInt();
    const auto& all = pacs.retrievals();
    const bool reached = runUntil([&] {
        if (arrived) return !all.empty() && (all.back()->arrived() >= count || !all.back()->running());
        return !pacs.retrieving();
    }, ms);
    if (!reached) return s.fail("the retrieval did not get there in time");
    s.host.databaseChanged();  // what arrived since the last repaint, as a moment later
    if (arrived && all.back()->arrived() < count)
        return s.fail(QString("the retrieval ended with %1 images").arg(all.back()->arrived()));
    return true;
}

bool timeMark(ScriptLine& s) {
    static QElapsedTimer since;
    if (!since.isValid()) since.start();
    print(QString("time-mark %1: %2 ms").arg(s.rest).arg(since.elapsed()));
    return true;
}

bool pacsCancel(ScriptLine& s) {
    s.host.pacs().cancelRetrievals();
    return true;
}

bool pacsStatus(ScriptLine& s) {
    PacsFrame& pacs = s.host.pacs();
    for (size_t n = 0; n < pacs.retrievals().size(); ++n) {
        const PacsRetrieval& r = *pacs.retrievals()[n];
        print(QString("pacs-retrieval %1: %2/%3 %4 %5 (first image %6 ms, all %7 ms, %8 bytes)")
                  .arg(n).arg(r.arrived()).arg(r.expected())
                  .arg(r.running() ? "running" : "ended", r.running() || r.result().ok() ? QString("ok") : pacsMessage(r.result(), r.server().name))
                  .arg(r.firstImageMs()).arg(r.totalMs()).arg(r.bytes()));
    }
    return true;
}

bool pacsSend(ScriptLine& s) {
    HostWindow& host = s.host;
    PacsServer server;
    PacsProtocol protocol = PacsProtocol::Dimse;
    HostCell* cell = host.grid().cell(s.args.value(0).toInt());
    if (!cell) return s.fail("no such cell");
    if (!serverArgs(host, s.args, 1, server, protocol, s.why)) return false;
    const SeriesGroup* group = host.database().groupById(cell->panel()->groupId());
    if (!group) return s.fail("the cell shows no series");
    QStringList files;
    for (const std::string& id : group->imageIds)
        if (const DicomImage* image = host.database().image(id); image && QFile::exists(image->path())) files << image->path();
    bool done = false;
    host.pacs().send(server, protocol, files, [&](const PacsResult& r, int sent) {
        print(r.ok() ? QString("pacs-sent %1").arg(sent) : "pacs-error: " + pacsMessage(r, server.name));
        if (!r.ok()) host.notice(pacsMessage(r, server.name));
        done = true;
    });
    if (!runUntil([&] { return done; }, 120000)) return s.fail("the send did not end");
    return true;
}
}  // namespace

const ScriptTable& pacsCommands() {
    static const ScriptTable table = {
        {"pacs-query", pacsQuery, true},
        {"pacs-retrieve", pacsRetrieve, true},
        {"pacs-wait", pacsWait, true},
        {"time-mark", timeMark, true},
        {"pacs-cancel", pacsCancel, true},
        {"pacs-status", pacsStatus, true},
        {"pacs-send", pacsSend, true},
    };
    return table;
}

}  // namespace quarvia
