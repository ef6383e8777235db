# expat, OpenSSL's libcrypto and GoogleTest.
#
# Natively all come from Debian's -dev packages. For the Windows build expat and
# libcrypto are compiled from the source trees that scripts/setup.sh fetched into
# build/deps/, and GoogleTest from /usr/src/googletest. With MSVC, point
# TOLV_EXPAT_SOURCE and TOLV_GTEST_SOURCE at source trees, or leave them and
# TOLV_OPENSSL_SOURCE empty and let find_package use installed packages (for
# example from vcpkg).

set(TOLV_EXPAT_SOURCE "" CACHE PATH "expat source tree to build statically (empty: find_package)")
set(TOLV_GTEST_SOURCE "" CACHE PATH "GoogleTest source tree to build (empty: find_package)")
set(TOLV_OPENSSL_SOURCE "" CACHE PATH "OpenSSL source tree whose libcrypto to build statically (empty: find_package)")

if(CMAKE_CROSSCOMPILING)
    if(NOT TOLV_EXPAT_SOURCE AND EXISTS ${CMAKE_SOURCE_DIR}/build/deps/expat/CMakeLists.txt)
        set(TOLV_EXPAT_SOURCE ${CMAKE_SOURCE_DIR}/build/deps/expat CACHE PATH "" FORCE)
    endif()
    if(NOT TOLV_OPENSSL_SOURCE AND EXISTS ${CMAKE_SOURCE_DIR}/build/deps/openssl/Configure)
        set(TOLV_OPENSSL_SOURCE ${CMAKE_SOURCE_DIR}/build/deps/openssl CACHE PATH "" FORCE)
    endif()
    if(NOT TOLV_GTEST_SOURCE AND EXISTS /usr/src/googletest/CMakeLists.txt)
        set(TOLV_GTEST_SOURCE /usr/src/googletest CACHE PATH "" FORCE)
    endif()
endif()

if(TOLV_EXPAT_SOURCE)
    set(EXPAT_BUILD_TOOLS OFF CACHE BOOL "" FORCE)
    set(EXPAT_BUILD_EXAMPLES OFF CACHE BOOL "" FORCE)
    set(EXPAT_BUILD_TESTS OFF CACHE BOOL "" FORCE)
    set(EXPAT_BUILD_DOCS OFF CACHE BOOL "" FORCE)
    set(EXPAT_BUILD_FUZZERS OFF CACHE BOOL "" FORCE)
    set(EXPAT_BUILD_PKGCONFIG OFF CACHE BOOL "" FORCE)
    set(EXPAT_SHARED_LIBS OFF CACHE BOOL "" FORCE)
    set(EXPAT_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
    # Debian's security patches test "#if XML_DTD == 1", but expat's CMake
    # template defines XML_DTD without a value (Debian itself builds with
    # autotools). Give it the value in the template, rewriting it only when it
    # changes, so that a new configure does not rebuild expat and all after it.
    set(expat_template ${TOLV_EXPAT_SOURCE}/expat_config.h.cmake)
    file(READ ${expat_template} expat_config)
    string(REPLACE "#cmakedefine XML_DTD\n" "#cmakedefine XML_DTD 1\n" patched "${expat_config}")
    if(NOT patched STREQUAL expat_config)
        file(WRITE ${expat_template} "${patched}")
    endif()
    add_subdirectory(${TOLV_EXPAT_SOURCE} ${CMAKE_BINARY_DIR}/_deps/expat EXCLUDE_FROM_ALL SYSTEM)
    add_library(Tolv::expat INTERFACE IMPORTED GLOBAL)
    target_link_libraries(Tolv::expat INTERFACE expat)
    target_compile_definitions(Tolv::expat INTERFACE XML_STATIC)
    target_include_directories(Tolv::expat SYSTEM INTERFACE ${TOLV_EXPAT_SOURCE}/lib)
else()
    find_package(EXPAT REQUIRED)
    add_library(Tolv::expat ALIAS EXPAT::EXPAT)
endif()

include(cmake/OpenSsl.cmake)

if(TOLV_LINUX_PACKAGE)
    # No tests in the package build.
elseif(TOLV_GTEST_SOURCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${TOLV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL
                     SYSTEM)
    # GoogleTest's own CMake defines the GTest:: aliases.
else()
    find_package(GTest REQUIRED)
endif()
