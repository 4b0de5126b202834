# Runs the host executable offscreen on a script: Create a 3D window, check
# it is there, save a screenshot, and the host must exit cleanly.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
file(WRITE ${WORKDIR}/run.script "cell 1\nmenu &Postprocessing\\Vexel 3D\\&Create\nexpect-window 1\nscreenshot ${WORKDIR}/shot.png\n")
execute_process(
  COMMAND ${QUARVIA} --offscreen --plugins ${PLUGIN} --profile ${WORKDIR}/profile.ini --script ${WORKDIR}/run.script
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "quarvia failed (${result}):\n${out}\n${err}")
endif()
if(NOT EXISTS ${WORKDIR}/shot.png)
  message(FATAL_ERROR "no screenshot written")
endif()
