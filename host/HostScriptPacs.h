#pragma once

#include "HostScriptTable.h"

namespace quarvia {

// Script commands for the PACS, through the same calls as File > PACS...:
//
//   pacs-query SERVER dimse|web [name=N] [id=I] [date=D] [modality=M] [accession=A]
//                          query and wait; print "pacs-study S: ..." and
//                          "pacs-series S.I: ..." lines, or "pacs-error: ..."
//                          (the error also goes to the message list)
//   pacs-retrieve SERVER dimse|web S I   retrieve series I (or the first of "modality=M")
//                          of study S of the last query
//   pacs-wait arrived N [MS]   run until the last retrieval has N images in
//   pacs-wait done [MS]        run until every retrieval has ended
//   pacs-cancel            cancel the retrievals (what arrived stays)
//   pacs-status            print "pacs-retrieval N: ARRIVED/EXPECTED running|ended STATUS (first image
//                          MS ms, all MS ms, BYTES bytes)"
//   time-mark NAME         print "time-mark NAME: MS ms" (since the first mark)
//   pacs-send CELL SERVER dimse|web   send the cell's series and wait; print "pacs-sent N" or "pacs-error: ..."
const ScriptTable& pacsCommands();

}  // namespace quarvia
