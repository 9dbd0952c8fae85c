# Runs one fuzz target for SECONDS on a copy of its seed corpus, so that new
# inputs and crash reproducers land under WORK and never in the source tree.
# Arguments: FUZZER, SEEDS, DICT, WORK, SECONDS.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/artifacts")
file(GLOB seeds "${SEEDS}/*")
if(NOT seeds)
  message(FATAL_ERROR "no seed inputs in ${SEEDS}")
endif()
file(COPY ${seeds} DESTINATION "${WORK}/corpus")

execute_process(
  COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=10 -dict=${DICT}
    -artifact_prefix=${WORK}/artifacts/ -print_final_stats=1 "${WORK}/corpus"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(GLOB found "${WORK}/artifacts/*")
  list(JOIN found " " found)
  message(FATAL_ERROR "${FUZZER} exited with ${status}; replay the failing input with:\n"
    "  ${FUZZER} ${found}")
endif()
