#pragma once

#include "HostScriptTable.h"

namespace quarvia {

// Script commands that drive the viewer's own widgets as a user would:
//
//   messages               print the message list, one "message: TEXT" a line
//   expect-message TEXT    fail unless a line of the message list holds TEXT
//   expect-no-message TEXT fail when a line of the message list holds TEXT
//   browser                print the study browser, one line per study and series
//   browser-activate S     double-click series S (0-based, browser order)
//   browser-drag S CELL    drag series S from the browser onto cell CELL
//   browser-drag object N CELL  drag the browser's object N (a segmentation) onto cell CELL
//   drop-files CELL PATH   drop a file or folder from the desktop onto cell CELL
//   close-study            the File menu's Close Study on the active cell's study
//   expect-cell CELL S|none  fail unless cell CELL shows series S (or nothing)
//   panel CELL             print the panel's state (image, window, zoom, pan)
//   panel-texts CELL       print the texts over the panel's image
//   layout 1x1|1x2|2x2     the Layout menu
//   double-click-border CELL  double-click the cell's frame (maximise and back)
//   expect-visible CELL yes|no   fail unless the cell is shown (or hidden)
const ScriptTable& viewerCommands();

}  // namespace quarvia
