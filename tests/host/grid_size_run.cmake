# The grid and the window size from the command line: one cell in a
# 1280 x 800 window takes a 3D window, the screenshot has the window's size,
# a second cell does not exist, and malformed values are refused.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
set(args --offscreen --plugins ${PLUGIN} --profile ${WORKDIR}/profile.ini)

file(WRITE ${WORKDIR}/one.script "menu &Postprocessing\\Vexel 3D\\&Create\nexpect-window 0\nscreenshot ${WORKDIR}/shot.png\n")
execute_process(COMMAND ${QUARVIA} ${args} --grid 1x1 --window-size 1280x800 --script ${WORKDIR}/one.script
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "quarvia failed (${result}):\n${out}\n${err}")
endif()
# Width and height are the first two big-endian words of the PNG's header chunk.
file(READ ${WORKDIR}/shot.png header OFFSET 16 LIMIT 8 HEX)
if(NOT header STREQUAL "0000050000000320")
  message(FATAL_ERROR "screenshot is not 1280 x 800: IHDR size ${header}")
endif()

file(WRITE ${WORKDIR}/two.script "cell 1\n")
execute_process(COMMAND ${QUARVIA} ${args} --grid 1x1 --script ${WORKDIR}/two.script
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(result EQUAL 0 OR NOT err MATCHES "no such cell")
  message(FATAL_ERROR "a 1x1 grid has a cell 1 (${result}):\n${err}")
endif()

foreach(bad "--grid;0x2" "--grid;5x1" "--grid;2" "--window-size;100x800" "--window-size;wide")
  execute_process(COMMAND ${QUARVIA} ${args} ${bad} --script ${WORKDIR}/one.script
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
  if(NOT result EQUAL 2)
    message(FATAL_ERROR "${bad} was not refused (${result}):\n${err}")
  endif()
endforeach()
