// quarvia: the reference host. Loads the plug-ins of its plug-in folder,
// shows a grid of cells and serves the host functions.
#include "HostScript.h"
#include "HostWindow.h"
#include "SessionMemory.h"
#include "collab/SessionKey.h"

#include "QVHostApi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QUrl>

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
// "AxB" with both numbers in [low, high].
bool parsePair(const QString& text, int low, int high, int& a, int& b) {
    const QStringList parts = text.split('x');
    if (parts.size() != 2) return false;
    bool okA = false, okB = false;
    const int first = parts[0].toInt(&okA), second = parts[1].toInt(&okB);
    if (!okA || !okB || first < low || first > high || second < low || second > high) return false;
    a = first;
    b = second;
    return true;
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
    parser.setApplicationDescription("Reference DICOM viewer host for the plug-ins");
    parser.addHelpOption();
    QCommandLineOption pluginsOption("plugins", "Folder of plug-in libraries.", "dir");
    QCommandLineOption offscreenOption("offscreen", "Run without a display; message boxes are logged.");
    QCommandLineOption scriptOption("script", "Run a script, then exit.", "file");
    QCommandLineOption screenshotOption("screenshot", "Save a screenshot of the main window, then exit.", "file");
    QCommandLineOption profileOption("profile", "Profile file (default: the user's config folder).", "file");
    QCommandLineOption serverOption("server", "Current server: absolute URL prefix, no trailing slash.", "url");
    QCommandLineOption outputOption("output", "Folder for new DICOM files.", "dir");
    QCommandLineOption downloadOption("simulate-download", "Let images arrive one after another, SECONDS each.", "seconds");
    QCommandLineOption listenOption("collab-listen",
                                    "Host a collaboration session on PORT of ADDR (default: loopback only; "
                                    "any other address needs a session key).",
                                    "[addr:]port");
    QCommandLineOption keyOption("collab-key-file",
                                 "Collaboration session key: the first line of FILE (else the environment "
                                 "variable QUARVIA_COLLAB_KEY).",
                                 "file");
    QCommandLineOption connectOption("collab-connect", "Join a collaboration session.", "host:port");
    QCommandLineOption gridOption("grid", "Cells of the grid, COLUMNSxROWS (default 2x2).", "cxr");
    QCommandLineOption sizeOption("window-size", "Size of the main window, WIDTHxHEIGHT.", "wxh");
    QCommandLineOption noDocksOption("no-docks", "No study browser or message list: the grid fills the window.");
    parser.addOptions({pluginsOption, offscreenOption, scriptOption, screenshotOption, profileOption, serverOption,
                       outputOption, downloadOption, listenOption, connectOption, gridOption, sizeOption, noDocksOption,
                       keyOption});
    parser.addPositionalArgument("paths", "DICOM files or folders to open.", "[paths...]");
    parser.process(app);

    quarvia::HostOptions options;
    options.offscreen = parser.isSet(offscreenOption);
    options.docks = !parser.isSet(noDocksOption);
    options.profilePath = parser.value(profileOption);
    options.server = parser.value(serverOption);
    if (parser.isSet(serverOption)) {
        const QUrl url(options.server, QUrl::StrictMode);
        if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
            std::fprintf(stderr, "quarvia: --server needs an absolute URL such as http://host:port\n");
            return 2;
        }
    }
    options.pluginFolder = parser.isSet(pluginsOption) ? parser.value(pluginsOption)
                                                       : QDir(QApplication::applicationDirPath()).filePath("../plugins");

    options.outputFolder = parser.value(outputOption);
    options.openPaths = parser.positionalArguments();
    options.downloadSecondsPerImage = parser.value(downloadOption).toDouble();
    int width = 0, height = 0;
    if (parser.isSet(gridOption) && !parsePair(parser.value(gridOption), 1, 4, options.gridColumns, options.gridRows)) {
        std::fprintf(stderr, "quarvia: --grid needs COLUMNSxROWS, each 1 to 4\n");
        return 2;
    }
    if (parser.isSet(sizeOption) && !parsePair(parser.value(sizeOption), 200, 8192, width, height)) {
        std::fprintf(stderr, "quarvia: --window-size needs WIDTHxHEIGHT, each 200 to 8192\n");
        return 2;
    }

    {
        // Loaded even without a session to join now: a script may join later.
        QString error;
        if (!quarvia::SessionKey::load(parser.value(keyOption), options.collabKey, error)) {
            std::fprintf(stderr, "quarvia: collaboration: %s\n", qPrintable(error));
            return 2;
        }
    }

    quarvia::HostWindow window(options);
    if (width > 0) window.resize(width, height);
    window.show();
    if (parser.isSet(listenOption) || parser.isSet(connectOption)) {
        // A session that cannot be opened is told in the window; the
        // viewer itself goes on.
        QString error;
        if (!window.joinCollaboration(parser.value(listenOption), parser.value(connectOption), error)) {
            std::fprintf(stderr, "quarvia: collaboration: %s\n", qPrintable(error));
            window.messageBox(error, "Collaboration", QV_MB_ICONHAND);
        }
    }
    window.loadPlugins();

    if (parser.isSet(scriptOption) || parser.isSet(screenshotOption)) {
        QString text;
        if (parser.isSet(scriptOption)) {
            QFile file(parser.value(scriptOption));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "quarvia: cannot read script %s\n", qPrintable(parser.value(scriptOption)));
                return 2;
            }
            text = QString::fromUtf8(file.readAll());
        }
        if (parser.isSet(screenshotOption)) text += "\nscreenshot " + parser.value(screenshotOption) + "\n";
        QString error;
        const bool ok = quarvia::runHostScript(window, text, error);
        if (!ok) std::fprintf(stderr, "quarvia: script failed: %s\n", qPrintable(error));
        window.unloadPlugins();
        return ok ? 0 : 1;
    }
    // A person's session: the window as they left it, and their studies offered again.
    quarvia::SessionMemory memory(window);
    memory.restoreWindow(parser.isSet(gridOption), parser.isSet(sizeOption));
    if (options.openPaths.isEmpty() && !options.offscreen) memory.offerLastSession();
    const int result = QApplication::exec();
    memory.save(window.sessionPaths());
    window.unloadPlugins();
    return result;
}
