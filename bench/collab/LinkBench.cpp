// The collaboration link on loopback, in one process: how long a small
// state message takes from a peer through the hub to a follower, and how
// many bytes a second pass, for a keyless session and a keyed (TLS) one in
// the same run; and how long the hub takes to merge a state text of 80,000
// keywords.
//   link_bench [--messages N]
#include "collab/CollaborationLink.h"
#include "collab/MergedState.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using quarvia::CollabFrame;
using quarvia::CollabSettings;
using quarvia::CollaborationLink;

namespace {

bool waitFor(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

struct Result {
    double medianUs = 0, p95Us = 0, megabytesPerSecond = 0;
};

Result measure(const QByteArray& key, int messages) {
    CollabSettings settings;
    settings.key = key;
    Result result;
    CollaborationLink hub(nullptr, nullptr, settings);
    QString error;
    if (!hub.listen(0, error)) return result;
    int received = 0;
    qint64 receivedBytes = 0;
    CollaborationLink follower(
        [&](const CollabFrame& f) {
            ++received;
            receivedBytes += f.payload.size();
        },
        nullptr, settings);
    CollaborationLink sender(nullptr, nullptr, settings);
    if (!follower.connectTo("127.0.0.1", hub.port(), error) || !sender.connectTo("127.0.0.1", hub.port(), error))
        return result;
    waitFor([&] { return hub.peerCount() == 2; });
    const QByteArray state = "J_justspec dummy\nJ_camvectors 1 2 3 4 5 6 7 8 9 10 11 12\nJ_renderer 1\n";
    std::vector<double> times;
    for (int i = 0; i < messages; ++i) {
        const int before = received;
        QElapsedTimer clock;
        clock.start();
        sender.send("v", 0, state);
        if (!waitFor([&] { return received > before; })) break;
        times.push_back(clock.nsecsElapsed() / 1000.0);
    }
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        result.medianUs = times[times.size() / 2];
        result.p95Us = times[times.size() * 95 / 100];
    }
    const QByteArray big(64 * 1024, 'x');
    const int bigCount = 400;
    const int start = received;
    receivedBytes = 0;
    QElapsedTimer clock;
    clock.start();
    // In steps, so that the sender's own queue stays far below its cap.
    for (int sent = 0; sent < bigCount; sent += 16) {
        for (int i = 0; i < 16; ++i) sender.send("v", 0, big);
        waitFor([&] { return received - start >= sent - 32; }, 60000);
    }
    waitFor([&] { return received - start == bigCount; }, 60000);
    result.megabytesPerSecond = receivedBytes / 1e6 / (clock.nsecsElapsed() / 1e9);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int messages = 2000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--messages") == 0) messages = std::max(10, std::atoi(argv[i + 1]));
    std::printf("%-10s %14s %14s %12s\n", "session", "median us", "95th pct us", "MB/s");
    for (const bool keyed : {false, true}) {
        const Result r = measure(keyed ? QByteArray("bench key") : QByteArray(), messages);
        std::printf("%-10s %14.1f %14.1f %12.1f\n", keyed ? "TLS" : "plain", r.medianUs, r.p95Us,
                    r.megabytesPerSecond);
    }
    std::string text(quarvia::MergedState::kMarker);
    for (int i = 0; i < 80000; ++i) text += "K" + std::to_string(i) + " v\n";
    quarvia::MergedState state(1 << 20);
    QElapsedTimer clock;
    clock.start();
    state.take(text);
    std::printf("merged state: %zu bytes of 80,000 keywords in %.1f ms\n", text.size(), clock.nsecsElapsed() / 1e6);
    return 0;
}
