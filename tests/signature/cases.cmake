# The signature check end to end, judged by references outside the program:
# reports signed by xmlsec1 (tests/signature/make_signed.py, written once into
# the build tree as a fixture, with throwaway keys) and libxml2's canonical XML
# through lxml. Debian's python3 is the one with lxml.
set(tolv_python /usr/bin/python3)
set(signature_cases ${CMAKE_CURRENT_BINARY_DIR}/cases)

add_test(NAME signature.make_cases
         COMMAND ${tolv_python} ${CMAKE_CURRENT_LIST_DIR}/make_signed.py ${signature_cases})
set_tests_properties(signature.make_cases PROPERTIES FIXTURES_SETUP signature_cases TIMEOUT 600)

# Windows' tolv-extract runs under Wine and sees the same reports as Z:\...
set(platform_options)
if(WIN32)
    set(platform_options --windows)
endif()
add_test(NAME signature.verify_cases
         COMMAND ${tolv_python} ${CMAKE_CURRENT_LIST_DIR}/verify_cases.py ${platform_options} ${signature_cases}
                 -- ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:tolv-extract>)
set_tests_properties(signature.verify_cases PROPERTIES FIXTURES_REQUIRED signature_cases TIMEOUT 900)

if(NOT CMAKE_CROSSCOMPILING AND TARGET tolv-c14n)
    add_test(NAME signature.c14n_diff
             COMMAND ${tolv_python} ${CMAKE_CURRENT_LIST_DIR}/c14n_diff.py ${CMAKE_CURRENT_BINARY_DIR}/c14n
                     -- $<TARGET_FILE:tolv-c14n>)
    set_tests_properties(signature.c14n_diff PROPERTIES TIMEOUT 900)
endif()

# --verify over folders: the order of the lines whatever the threads, the summary.
add_test(NAME signature.verify_folder
         COMMAND ${tolv_python} ${CMAKE_CURRENT_LIST_DIR}/verify_folder.py ${platform_options} ${signature_cases}
                 -- ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:tolv-extract>)
set_tests_properties(signature.verify_folder PROPERTIES FIXTURES_REQUIRED signature_cases TIMEOUT 600)
