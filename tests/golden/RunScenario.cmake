# Runs velora-sim with one scenario's options and compares its output byte
# for byte with the checked-in expectation. With UPDATE=ON it rewrites the
# expectation instead. EMULATOR runs a cross-built simulator (Wine), which
# must print the very bytes the Linux one printed.
separate_arguments(args UNIX_COMMAND "${OPTIONS}")
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
execute_process(COMMAND ${emulator} ${SIM} ${args} OUTPUT_FILE ${ACTUAL} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "velora-sim ${OPTIONS} exited with ${rc}")
endif()
if(UPDATE)
  configure_file(${ACTUAL} ${EXPECTED} COPYONLY)
  return()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${ACTUAL} ${EXPECTED} RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "velora-sim ${OPTIONS}: output ${ACTUAL} differs from ${EXPECTED}")
endif()
