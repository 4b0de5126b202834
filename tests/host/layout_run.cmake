# A 3D window in cell 2 is saved with the layout; a second host run that
# loads the layout has a 3D window in cell 2 again.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
file(WRITE ${WORKDIR}/save.script "cell 2\nmenu &Postprocessing\\Vexel 3D\\&Create\nexpect-window 2\nsave-layout ${WORKDIR}/grid.layout\n")
file(WRITE ${WORKDIR}/load.script "load-layout ${WORKDIR}/grid.layout\nexpect-window 2\n")
foreach(step save load)
  execute_process(
    COMMAND ${QUARVIA} --offscreen --plugins ${PLUGIN} --profile ${WORKDIR}/profile.ini --script ${WORKDIR}/${step}.script
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${step} run failed (${result}):\n${out}\n${err}")
  endif()
endforeach()
