# Segmentation as a user drives it on the corpus chest CT (skipped without
# it): seen from behind, a Shift double-click with the object tool removes
# the table; an outline drawn with the region tool keeps only what is
# inside it. The pictures are checked by segment_check.py.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
if(NOT EXISTS ${CORPUS}/ct-chest-5mm)
  message("corpus chest CT absent: skipped")
  return()
endif()
file(READ ${SCRIPT} text)
string(REPLACE "@SERIES@" "${CORPUS}/ct-chest-5mm" text "${text}")
string(REPLACE "@OUT@" "${WORKDIR}" text "${text}")
file(WRITE ${WORKDIR}/segment.script "${text}")
execute_process(COMMAND ${QUARVIA} --offscreen --plugins ${PLUGIN_DIR} --profile ${WORKDIR}/profile.ini
                  --grid 1x1 --window-size 900x800 --no-docks --script ${WORKDIR}/segment.script
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors TIMEOUT 300)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "host script failed (${result}): ${errors}")
endif()
execute_process(COMMAND ${PYTHON} ${CHECK} ${WORKDIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the pictures do not show the segmentation")
endif()
