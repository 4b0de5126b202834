# A 3D window on a series in cell 2 is saved with the layout from the File
# menu; a second host run that opens the layout from the menu has the 3D
# window in cell 2 again, showing the very same picture.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
execute_process(COMMAND ${PHANTOM} --out ${WORKDIR}/phantom --size 64x64x40 RESULT_VARIABLE made OUTPUT_QUIET)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "phantom failed")
endif()
set(open "open ${WORKDIR}/phantom\n")
file(WRITE ${WORKDIR}/save.script "${open}series 0 2\ncell 2\nmenu &Postprocessing\\Vexel 3D\\&Create\nexpect-window 2\n"
  "wait-idle 10000\nscreenshot-cell 2 ${WORKDIR}/saved.png\n"
  "dialog file=${WORKDIR}/grid.layout\nmenu &File\\Save &Layout...\n")
file(WRITE ${WORKDIR}/load.script "${open}dialog file=${WORKDIR}/grid.layout\nmenu &File\\Open La&yout...\n"
  "expect-window 2\nwait-idle 10000\nscreenshot-cell 2 ${WORKDIR}/opened.png\n")
foreach(step save load)
  execute_process(
    COMMAND ${QUARVIA} --offscreen --no-docks --plugins ${PLUGIN} --profile ${WORKDIR}/profile.ini --script ${WORKDIR}/${step}.script
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${step} run failed (${result}):\n${out}\n${err}")
  endif()
endforeach()
execute_process(COMMAND ${PYTHON} ${DIFF} ${WORKDIR}/saved.png ${WORKDIR}/opened.png 0 RESULT_VARIABLE same OUTPUT_VARIABLE report)
if(NOT same EQUAL 0)
  message(FATAL_ERROR "the opened layout shows another picture: ${report}")
endif()
