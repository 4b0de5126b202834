# Builds each room's two probes: its own header must compile, the header of
# the room above must be refused for not being found.
foreach(probe ${PROBES})
  string(REPLACE ":" ";" parts "${probe}")
  list(GET parts 0 room)
  list(GET parts 1 header)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target layer_probe_${room}_own
    RESULT_VARIABLE own_result OUTPUT_VARIABLE own_out ERROR_VARIABLE own_out)
  if(NOT own_result EQUAL 0)
    message(FATAL_ERROR "room ${room}: its own header failed to compile:\n${own_out}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target layer_probe_${room}_up
    RESULT_VARIABLE up_result OUTPUT_VARIABLE up_out ERROR_VARIABLE up_out)
  if(up_result EQUAL 0)
    message(FATAL_ERROR "room ${room}: including ${header} from the room above compiled")
  endif()
  if(NOT up_out MATCHES "${header}: No such file")
    message(FATAL_ERROR "room ${room}: the include of ${header} failed for another reason:\n${up_out}")
  endif()
  message(STATUS "room ${room}: ${header} refused")
endforeach()
# A relative path would step around the include roots.
file(GLOB_RECURSE sources ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
foreach(source ${sources})
  file(STRINGS ${source} climbing REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*\\.\\./")
  if(climbing)
    message(FATAL_ERROR "${source} includes by a relative path: ${climbing}")
  endif()
endforeach()
