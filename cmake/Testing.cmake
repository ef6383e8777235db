# Test registration. Native tests run directly; Windows tests built on Linux run
# under Wine through scripts/wine-run.sh, in a prefix inside this build tree.
include(GoogleTest)

if(CMAKE_CROSSCOMPILING AND WIN32)
    set(TOLV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${TOLV_WINEPREFIX})
endif()

# tolv_add_gtest(<target> SOURCES ... [LIBS ...] [GUI] [PROPERTIES <test properties>...])
# GUI tests show windows or message boxes: they share one display, so they run
# one at a time.
function(tolv_add_gtest target)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    if(NOT TARGET tolv_testmain)
        add_library(tolv_testmain OBJECT ${PROJECT_SOURCE_DIR}/tests/TestMain.cpp)
        target_link_libraries(tolv_testmain PUBLIC GTest::gtest)
    endif()
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} tolv_testmain GTest::gmock)
    # No -municode here: the test main is a narrow main().
    set(props TIMEOUT 120 ${ARG_PROPERTIES})
    if(ARG_GUI)
        list(APPEND props RESOURCE_LOCK display)
    endif()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES ${props})
endfunction()
