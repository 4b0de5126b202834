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
//   wait-file FILE [MS]    run until FILE exists (at most MS, default 10000)
//   idle                   run the event loop until nothing is pending
//   screenshot FILE        save the main window as PNG
//   screenshot-cell N FILE save grid cell N as PNG
//   screenshot-dialog FILE save the dialog shown on top as PNG
//   expect-window N        fail unless cell N holds a plug-in window
//   expect-tool N STATE TEXT  fail unless the toolbar button TEXT of cell N's
//                          plug-in window is checked, unchecked, enabled or
//                          disabled (STATE)
//   open PATH              open a DICOM file or folder
//   series G N [VIEWS]     show group G (0-based, study order) in cell N
//   drop FROM TO           drag the panel of cell FROM onto cell TO
//   mouse N press|move|release|double X Y [left|right|middle] [shift|ctrl|shift+ctrl]
//                          mouse input to cell N's window (its plug-in
//                          window, else its panel), at window coordinates
//   wheel N DELTA          wheel input (120 a notch)
//   key N KEY              key press and release (Qt key name: Left, A, F1...)
//   command N ID           routed command ID to cell N's plug-in window
//   wait-idle [MS]         run until the plug-ins report idle (at most MS, default 10000)
//   save-layout FILE       save the grid with each plug-in window's state
//   load-layout FILE       restore a saved grid
//   dialog NAME=VALUE ...  answer the next dialog shown (a plug-in's too): its
//                          fields by object name ("file" for a file dialog),
//                          then accept it ("button=cancel" rejects it)
//   pass-control           hand the collaboration control to the peers
//   wait-peers N [MS]      run until the session has N peers past the handshake
//                          (at most MS, default 10000)
//   wait-control [MS]      run until this host holds the control
//   expect-control yes|no  fail unless this host holds (yes) or lacks (no) the control
//   collab-join HOST:PORT  join a session now (replaces this host's session)
//   collab-leave           leave the session
//   touch FILE             create FILE (tells another process how far this one got)
//   quit                   stop the script here
//   and the viewer's, the reading tools' and the PACS commands
//   (HostScriptViewer.h, HostScriptReading.h, HostScriptPacs.h)
bool runHostScript(HostWindow& host, const QString& scriptText, QString& error);

}  // namespace quarvia
