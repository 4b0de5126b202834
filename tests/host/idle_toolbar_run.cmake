# The 3D window's toolbar shows what is selected as soon as the host has been
# idle, with no script step that asks the plug-ins for idle work: the tool,
# render mode and projection in use are checked, the plane tools are off
# while there are no planes, and a mode change moves the check.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
execute_process(COMMAND ${PHANTOM} --out ${WORKDIR}/series --size 48x48x24 RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "phantom failed (${made})")
endif()
file(WRITE ${WORKDIR}/run.script "open ${WORKDIR}/series
menu &Postprocessing\\Vexel 3D\\&Create
expect-window 0
wait 300
expect-tool 0 checked Orbit camera
expect-tool 0 checked SSD 3D rendering
expect-tool 0 checked Parallel projection
expect-tool 0 unchecked MIP rendering
expect-tool 0 disabled Delete selected cutplane
expect-tool 0 disabled Select cutplane (right button)
expect-tool 0 disabled Move selected cutplane (right button)
expect-tool 0 enabled Create cutplane (right button)
command 0 32795
expect-tool 0 checked MIP rendering
expect-tool 0 unchecked SSD 3D rendering
")
execute_process(
  COMMAND ${QUARVIA} --offscreen --plugins ${PLUGIN} --profile ${WORKDIR}/profile.ini --script ${WORKDIR}/run.script
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "quarvia failed (${result}):\n${out}\n${err}")
endif()
