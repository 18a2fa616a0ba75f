# Passes when PROGRAM EXE ARGUMENTS refuses its command line: exit status 2,
# the usage on standard error, nothing on standard output.
execute_process(COMMAND ${PROGRAM} ${EXE} ${ARGUMENTS} RESULT_VARIABLE status
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 2 OR NOT err MATCHES "^usage: " OR NOT out STREQUAL "")
  message(FATAL_ERROR "'${ARGUMENTS}': expected status 2 and the usage on standard error, got "
                      "status ${status}\nstdout: ${out}\nstderr: ${err}")
endif()
