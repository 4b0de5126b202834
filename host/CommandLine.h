#pragma once
// The host's command line as one table: each option's names, help text,
// value name and what it sets. Reading checks every value before the host
// starts; a bad one is told in one line and the host exits with 2.

#include "HostWindow.h"

#include <QCommandLineParser>
#include <QString>

namespace quarvia {

struct StartOptions {
    HostOptions host;
    QString script;         // run this script, then exit
    QString screenshot;     // save the window, then exit
    QString listen;         // [addr:]port of a session to host
    QString connect;        // host:port of a session to join
    QString keyFile;        // the session key's file
    int width = 0;          // the window's size; 0: as it comes
    int height = 0;
    bool gridGiven = false;
    bool sizeGiven = false;
};

// Declares the options on parser and processes the application's
// arguments (--help prints and exits there).
void declareOptions(QCommandLineParser& parser);
// The options parser found; false with the line to print when a value is bad.
bool readOptions(const QCommandLineParser& parser, StartOptions& out, QString& error);

}  // namespace quarvia
