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
}  // namespace

ScriptOutcome runPacsCommand(HostWindow& host, const QString& command, const QString& rest, QString& why) {
    const QStringList args = rest.split(' ', Qt::SkipEmptyParts);
    PacsFrame& pacs = host.pacs();
    PacsServer server;
    PacsProtocol protocol = PacsProtocol::Dimse;
    auto failed = [&](const QString& text) {
        if (!text.isEmpty()) why = text;
        return ScriptOutcome::Failed;
    };
    if (command == "pacs-query") {
        if (!serverArgs(host, args, 0, server, protocol, why)) return failed(QString());
        PacsQuery q;
        for (const QString& arg : args.mid(2)) {
            const QString key = arg.section('=', 0, 0), value = arg.section('=', 1);
            if (key == "name") q.patientName = value;
            else if (key == "id") q.patientId = value;
            else if (key == "date") q.studyDate = value;
            else if (key == "modality") q.modality = value;
            else if (key == "accession") q.accession = value;
        }
        bool done = false;
        PacsResult result;
        pacs.query(server, protocol, q, [&](const PacsResult& r, const std::vector<FoundStudy>& found) {
            result = r;
            lastFound() = found;
            done = true;
        });
        if (!runUntil([&] { return done; }, 60000)) return failed("the query did not end");
        if (!result.ok()) {
            host.notice(pacsMessage(result, server.name));
            print("pacs-error: " + pacsMessage(result, server.name));
        }
        for (size_t s = 0; s < lastFound().size(); ++s) {
            const StudyHit& st = lastFound()[s].study;
            print(QString("pacs-study %1: %2 | %3 | %4 | %5 | %6 images")
                      .arg(s).arg(st.patientName, st.patientId, readableDate(st.date), st.modalities).arg(st.instances));
            for (size_t i = 0; i < lastFound()[s].series.size(); ++i) {
                const SeriesHit& se = lastFound()[s].series[i];
                print(QString("pacs-series %1.%2: %3 | %4 | %5 images").arg(s).arg(i).arg(se.description, se.modality).arg(se.instances));
            }
        }
    } else if (command == "pacs-retrieve") {
        if (!serverArgs(host, args, 0, server, protocol, why)) return failed(QString());
        const size_t s = args.value(2).toUInt();
        size_t i = args.value(3).toUInt();
        // "modality=CT": the study's first series of that modality.
        if (s < lastFound().size() && args.value(3).startsWith("modality="))
            for (i = 0; i < lastFound()[s].series.size(); ++i)
                if (lastFound()[s].series[i].modality == args.value(3).mid(9)) break;
        if (s >= lastFound().size() || i >= lastFound()[s].series.size()) return failed("no such series in the last query");
        pacs.retrieve(server, protocol, lastFound()[s].series[i]);
    } else if (command == "pacs-wait") {
        const bool arrived = args.value(0) == "arrived";
        const int count = args.value(1).toInt();
        const int ms = args.value(arrived ? 2 : 1, "60000").toInt();
        const auto& all = pacs.retrievals();
        const bool reached = runUntil([&] {
            if (arrived) return !all.empty() && (all.back()->arrived() >= count || !all.back()->running());
            return !pacs.retrieving();
        }, ms);
        if (!reached) return failed("the retrieval did not get there in time");
        host.databaseChanged();  // what arrived since the last repaint, as a moment later
        if (arrived && all.back()->arrived() < count) return failed(QString("the retrieval ended with %1 images").arg(all.back()->arrived()));
    } else if (command == "time-mark") {
        static QElapsedTimer since;
        if (!since.isValid()) since.start();
        print(QString("time-mark %1: %2 ms").arg(rest).arg(since.elapsed()));
    } else if (command == "pacs-cancel") {
        pacs.cancelRetrievals();
    } else if (command == "pacs-status") {
        for (size_t n = 0; n < pacs.retrievals().size(); ++n) {
            const PacsRetrieval& r = *pacs.retrievals()[n];
            print(QString("pacs-retrieval %1: %2/%3 %4 %5 (first image %6 ms, all %7 ms, %8 bytes)")
                      .arg(n).arg(r.arrived()).arg(r.expected())
                      .arg(r.running() ? "running" : "ended", r.running() || r.result().ok() ? QString("ok") : pacsMessage(r.result(), r.server().name))
                      .arg(r.firstImageMs()).arg(r.totalMs()).arg(r.bytes()));
        }
    } else if (command == "pacs-send") {
        HostCell* cell = host.grid().cell(args.value(0).toInt());
        if (!cell || !serverArgs(host, args, 1, server, protocol, why)) return failed(cell ? QString() : "no such cell");
        const SeriesGroup* group = host.database().groupById(cell->panel()->groupId());
        if (!group) return failed("the cell shows no series");
        QStringList files;
        for (const std::string& id : group->imageIds)
            if (const DicomImage* image = host.database().image(id); image && QFile::exists(image->path())) files << image->path();
        bool done = false;
        pacs.send(server, protocol, files, [&](const PacsResult& r, int sent) {
            print(r.ok() ? QString("pacs-sent %1").arg(sent) : "pacs-error: " + pacsMessage(r, server.name));
            if (!r.ok()) host.notice(pacsMessage(r, server.name));
            done = true;
        });
        if (!runUntil([&] { return done; }, 120000)) return failed("the send did not end");
    } else {
        return ScriptOutcome::NotMine;
    }
    return ScriptOutcome::Done;
}

}  // namespace quarvia
