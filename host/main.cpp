// quarvia: the reference host. Loads the plug-ins of its plug-in folder,
// shows a grid of cells and serves the host functions.
#include "CommandLine.h"
#include "HostScript.h"
#include "HostWindow.h"
#include "SessionMemory.h"
#include "collab/SessionKey.h"

#include "QVHostApi.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
bool hasFlag(int argc, char** argv, const char* flag) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], flag) == 0) return true;
    return false;
}
}  // namespace

int main(int argc, char** argv) {
    // A file-size limit makes a write fail like a full disk; it must not
    // end the viewer with whatever the user had open.
    signal(SIGXFSZ, SIG_IGN);
    // The platform is chosen before the application exists.
    if (hasFlag(argc, argv, "--offscreen")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("quarvia");

    QCommandLineParser parser;
    quarvia::declareOptions(parser);
    parser.process(app);
    quarvia::StartOptions start;
    {
        QString error;
        if (!quarvia::readOptions(parser, start, error)) {
            std::fprintf(stderr, "quarvia: %s\n", qPrintable(error));
            return 2;
        }
    }
    quarvia::HostOptions& options = start.host;

    {
        // Loaded even without a session to join now: a script may join later.
        QString error;
        if (!quarvia::SessionKey::load(start.keyFile, options.collabKey, error)) {
            std::fprintf(stderr, "quarvia: collaboration: %s\n", qPrintable(error));
            return 2;
        }
    }

    quarvia::HostWindow window(options);
    if (start.width > 0) window.resize(start.width, start.height);
    window.show();
    if (parser.isSet("collab-listen") || parser.isSet("collab-connect")) {
        // A session that cannot be opened is told in the window; the
        // viewer itself goes on.
        QString error;
        if (!window.joinCollaboration(start.listen, start.connect, error)) {
            std::fprintf(stderr, "quarvia: collaboration: %s\n", qPrintable(error));
            window.messageBox(error, "Collaboration", QV_MB_ICONHAND);
        }
    }
    window.loadPlugins();

    if (parser.isSet("script") || parser.isSet("screenshot")) {
        QString text;
        if (parser.isSet("script")) {
            QFile file(start.script);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "quarvia: cannot read script %s\n", qPrintable(start.script));
                return 2;
            }
            text = QString::fromUtf8(file.readAll());
        }
        if (parser.isSet("screenshot")) text += "\nscreenshot " + start.screenshot + "\n";
        QString error;
        const bool ok = quarvia::runHostScript(window, text, error);
        if (!ok) std::fprintf(stderr, "quarvia: script failed: %s\n", qPrintable(error));
        window.unloadPlugins();
        return ok ? 0 : 1;
    }
    // A person's session: the window as they left it, and their studies offered again.
    quarvia::SessionMemory memory(window);
    memory.restoreWindow(start.gridGiven, start.sizeGiven);
    if (options.openPaths.isEmpty() && !options.offscreen) memory.offerLastSession();
    const int result = QApplication::exec();
    memory.save(window.sessionPaths());
    window.unloadPlugins();
    return result;
}
