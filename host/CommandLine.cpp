#include "CommandLine.h"

#include <QApplication>
#include <QDir>
#include <QUrl>

#include <vector>

namespace quarvia {

namespace {

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

struct OptionRow {
    const char* name;
    const char* help;
    const char* valueName;  // null: a switch
    // Takes the value (or the switch) when it is given; false with the reason.
    bool (*take)(StartOptions& o, const QString& value, QString& error);
};

bool takeServer(StartOptions& o, const QString& value, QString& error) {
    const QUrl url(value, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return (error = "--server needs an absolute URL such as http://host:port"), false;
    o.host.server = value;
    return true;
}

bool takeGrid(StartOptions& o, const QString& value, QString& error) {
    o.gridGiven = true;
    if (!parsePair(value, 1, 4, o.host.gridColumns, o.host.gridRows))
        return (error = "--grid needs COLUMNSxROWS, each 1 to 4"), false;
    return true;
}

bool takeSize(StartOptions& o, const QString& value, QString& error) {
    o.sizeGiven = true;
    if (!parsePair(value, 200, 8192, o.width, o.height))
        return (error = "--window-size needs WIDTHxHEIGHT, each 200 to 8192"), false;
    return true;
}

// In the order --help lists them.
const std::vector<OptionRow>& optionRows() {
    static const std::vector<OptionRow> rows = {
        {"plugins", "Folder of plug-in libraries.", "dir",
         [](StartOptions& o, const QString& v, QString&) { return o.host.pluginFolder = v, true; }},
        {"offscreen", "Run without a display; message boxes are logged.", nullptr,
         [](StartOptions& o, const QString&, QString&) { return o.host.offscreen = true, true; }},
        {"script", "Run a script, then exit.", "file",
         [](StartOptions& o, const QString& v, QString&) { return o.script = v, true; }},
        {"screenshot", "Save a screenshot of the main window, then exit.", "file",
         [](StartOptions& o, const QString& v, QString&) { return o.screenshot = v, true; }},
        {"profile", "Profile file (default: the user's config folder).", "file",
         [](StartOptions& o, const QString& v, QString&) { return o.host.profilePath = v, true; }},
        {"server", "Current server: absolute URL prefix, no trailing slash.", "url", takeServer},
        {"output", "Folder for new DICOM files.", "dir",
         [](StartOptions& o, const QString& v, QString&) { return o.host.outputFolder = v, true; }},
        {"simulate-download", "Let images arrive one after another, SECONDS each.", "seconds",
         [](StartOptions& o, const QString& v, QString&) { return o.host.downloadSecondsPerImage = v.toDouble(), true; }},
        {"collab-listen",
         "Host a collaboration session on PORT of ADDR (default: loopback only; "
         "any other address needs a session key).",
         "[addr:]port", [](StartOptions& o, const QString& v, QString&) { return o.listen = v, true; }},
        {"collab-connect", "Join a collaboration session.", "host:port",
         [](StartOptions& o, const QString& v, QString&) { return o.connect = v, true; }},
        {"grid", "Cells of the grid, COLUMNSxROWS (default 2x2).", "cxr", takeGrid},
        {"window-size", "Size of the main window, WIDTHxHEIGHT.", "wxh", takeSize},
        {"no-docks", "No study browser or message list: the grid fills the window.", nullptr,
         [](StartOptions& o, const QString&, QString&) { return o.host.docks = false, true; }},
        {"collab-key-file",
         "Collaboration session key: the first line of FILE (else the environment "
         "variable QUARVIA_COLLAB_KEY).",
         "file", [](StartOptions& o, const QString& v, QString&) { return o.keyFile = v, true; }},
    };
    return rows;
}

}  // namespace

void declareOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription("Reference DICOM viewer host for the plug-ins");
    parser.addHelpOption();
    for (const OptionRow& row : optionRows())
        parser.addOption(row.valueName ? QCommandLineOption(row.name, row.help, row.valueName)
                                       : QCommandLineOption(row.name, row.help));
    parser.addPositionalArgument("paths", "DICOM files or folders to open.", "[paths...]");
}

bool readOptions(const QCommandLineParser& parser, StartOptions& out, QString& error) {
    out.host.pluginFolder = QDir(QApplication::applicationDirPath()).filePath("../plugins");
    for (const OptionRow& row : optionRows())
        if (parser.isSet(row.name) && !row.take(out, parser.value(row.name), error)) return false;
    out.host.openPaths = parser.positionalArguments();
    return true;
}

}  // namespace quarvia
