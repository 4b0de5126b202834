#pragma once

#include "HostScriptTable.h"

namespace quarvia {

// Script commands for the reading tools, as the user drives them:
//
//   plane CELL acquired|axial|coronal|sagittal   the Reading menu's plane for the cell
//   slab CELL off|mip|minip [MM]   its slab
//   tool pointer|crosshair|distance|angle|ellipse|freehand   the Reading menu's tool
//   turn CELL DEGREES      turn the other planes about the cell's plane (oblique)
//   cursor                 print the 3D cursor: "cursor hidden" or "cursor X Y Z"
//   cursor-in CELL         print where the cell draws the cursor ("none", or the
//                          image, the picture's pixel and the place on the panel)
//   readout CELL X Y       move the pointer there and print the value readout
//   measurements           print the list: "measurement ID KIND VALUE ..." with
//                          the statistics of regions and the patient points
//   delete-measurement ID  select it in the list and press Delete
const ScriptTable& readingCommands();

}  // namespace quarvia
