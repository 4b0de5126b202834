# The corpus MR opened in a 3D window as a user does it: the first picture
# shows the head, not the grey box that CT numbers would light whole.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
if(NOT EXISTS ${CORPUS}/mr-head-t1-sagittal)
  message("corpus MR absent: skipped")
  return()
endif()
file(WRITE ${WORKDIR}/mr.script "open ${CORPUS}/mr-head-t1-sagittal\nseries 0 0\n"
  "menu &Postprocessing\\Vexel 3D\\&Create\nexpect-window 0\nwait-idle 10000\nscreenshot-cell 0 ${WORKDIR}/mr.png\n")
execute_process(COMMAND ${QUARVIA} --offscreen --no-docks --grid 1x1 --window-size 700x600 --plugins ${PLUGIN}
                  --profile ${WORKDIR}/profile.ini --script ${WORKDIR}/mr.script
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors TIMEOUT 120)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "host script failed (${result}): ${errors}")
endif()
execute_process(COMMAND ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/mr_picture_check.py ${WORKDIR}/mr.png 0.9
                RESULT_VARIABLE result OUTPUT_VARIABLE report)
message(STATUS "${report}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the first picture of the MR does not show the head: ${report}")
endif()
