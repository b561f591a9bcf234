# Ends the wineserver of the tests' Wine prefix, and with it every Windows program still running
# there, then removes the prefix.  cmake -DSCRIPT=scripts/wine_prefix.sh -DPREFIX=DIR -P this
execute_process(COMMAND bash ${SCRIPT} ${PREFIX} --stop-server RESULT_VARIABLE stopped)
if(NOT stopped EQUAL 0)
  message(FATAL_ERROR "cannot end the wineserver of ${PREFIX}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${PREFIX} wineserver -w)
file(REMOVE_RECURSE ${PREFIX} ${PREFIX}.lock)
