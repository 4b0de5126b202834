# Through the host as a user drives it: a CT series in a 3D window, orbited
# with the mouse, captured by a double-click; the capture dropped on a new
# 3D window reopens the series in the captured pose (same screenshot); the
# saved layout brings the first window back in that pose after a restart
# (the layout keeps the window state byte for byte).
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR}/output)
if(EXISTS ${CORPUS}/ct-chest-5mm)
  set(series ${CORPUS}/ct-chest-5mm)
else()
  set(series ${WORKDIR}/phantom)
  execute_process(COMMAND ${PHANTOM} --out ${series} --size 96x96x48 RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "phantom failed")
  endif()
endif()
set(create "menu &Postprocessing\\Vexel 3D\\&Create")
file(WRITE ${WORKDIR}/capture.script "open ${series}
series 0 0
cell 1
${create}
drop 0 1
wait-idle
mouse 1 press 120 120 left
mouse 1 move 140 125 left
mouse 1 move 170 140 left
mouse 1 release 170 140 left
wait-idle
mouse 1 double 120 120 left
wait-idle
expect-message Captured image 1 of series
cell 2
${create}
drop 1 2
wait-idle
wait 500
screenshot-cell 1 ${WORKDIR}/captured.png
screenshot-cell 2 ${WORKDIR}/dropped.png
mouse 2 double 120 120 left
wait-idle
save-layout ${WORKDIR}/grid.layout
")
file(WRITE ${WORKDIR}/restart.script "open ${series}
load-layout ${WORKDIR}/grid.layout
expect-window 1
wait-idle
wait 500
screenshot-cell 1 ${WORKDIR}/restored.png
")
foreach(step capture restart)
  execute_process(
    COMMAND ${QUARVIA} --offscreen --plugins ${PLUGIN} --profile ${WORKDIR}/profile.ini --output ${WORKDIR}/output
            --script ${WORKDIR}/${step}.script
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${step} run failed (${result}):\n${out}\n${err}")
  endif()
endforeach()
file(GLOB captures ${WORKDIR}/output/*.dcm)
list(LENGTH captures count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one captured image (the quick capture of the dropped window replaces it), found ${count}")
endif()
execute_process(COMMAND dciodvfy ${captures} OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX MATCH "(^|\n)Error[^\n]*" verifyError "${out}${err}")
if(verifyError)
  message(FATAL_ERROR "dciodvfy: ${verifyError}")
endif()
# The state text keeps six decimals: a few surface-edge pixels of the
# source window may differ from a window that reads its pose back; windows
# restored from the same text agree exactly.
function(compare_shots first second allowed)
  execute_process(COMMAND ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/png_diff.py ${WORKDIR}/${first}.png ${WORKDIR}/${second}.png
                  ${allowed} RESULT_VARIABLE differ OUTPUT_VARIABLE report)
  message(STATUS "${first} / ${second}: ${report}")
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "${second}.png differs from ${first}.png: ${report}")
  endif()
endfunction()
compare_shots(dropped restored 0)
compare_shots(captured dropped 0.005)
