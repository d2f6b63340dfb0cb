# Runs COMMAND (a |-separated list) in WORK, emptied first: the log lands in the working
# directory, so every run starts without one.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
string(REPLACE "|" ";" cmd "${COMMAND}")
execute_process(COMMAND ${cmd} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "'${COMMAND}' failed: ${rc}")
endif()
