#pragma once

#include <QString>

namespace quarvia {

class HostWindow;

// Runs a line-based script against the host: one command a line, blank
// lines and lines starting with '#' ignored. Answers false at the first
// failing line, with the reason in `error`.
//
//   cell N                 make grid cell N active
//   menu PATH              trigger a menu command (levels separated by '\')
//   wait MS                run the event loop for MS milliseconds
//   idle                   run the event loop until nothing is pending
//   screenshot FILE        save the main window as PNG
//   screenshot-cell N FILE save grid cell N as PNG
//   expect-window N        fail unless cell N holds a plug-in window
//   quit                   stop the script here
bool runHostScript(HostWindow& host, const QString& scriptText, QString& error);

}  // namespace quarvia
