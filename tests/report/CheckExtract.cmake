# Runs tolv-extract on one report and checks its exit status, its one-line
# message and (for status 0) the PDF it wrote.
#   -DEMULATOR=a|b -DTOOL= -DREPORT= -DPDF= -DCODE= [-DEXPECTED=]
string(REPLACE "|" ";" emulator "${EMULATOR}")
file(REMOVE "${PDF}")
execute_process(COMMAND ${emulator} "${TOOL}" "${REPORT}" "${PDF}"
                RESULT_VARIABLE code ERROR_VARIABLE message)
if(NOT code STREQUAL CODE)
    message(FATAL_ERROR "exit status ${code}, expected ${CODE}: ${message}")
endif()
string(STRIP "${message}" message)
if(CODE STREQUAL "0")
    if(NOT message STREQUAL "")
        message(FATAL_ERROR "unexpected message: ${message}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${PDF}" "${EXPECTED}"
                    RESULT_VARIABLE different)
    if(different)
        message(FATAL_ERROR "${PDF} differs from ${EXPECTED}")
    endif()
elseif(message STREQUAL "" OR message MATCHES "\n")
    message(FATAL_ERROR "expected one line on stderr, got: '${message}'")
endif()
