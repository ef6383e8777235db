# OpenSSL's libcrypto as Tolv::crypto: the one implementation of certificates,
# signatures, time-stamps and revocation data on every edition.
#
# With TOLV_OPENSSL_SOURCE (the MinGW-w64 build: Debian's source package, its
# patches applied) libcrypto alone is compiled statically into the build tree
# once; a new configure or a second run of the tests reuses it. Otherwise
# find_package: Debian's libssl-dev natively, vcpkg's with MSVC.

if(TOLV_OPENSSL_SOURCE)
    if(NOT MINGW)
        message(FATAL_ERROR "TOLV_OPENSSL_SOURCE builds with MinGW-w64 only; use find_package")
    endif()
    include(ExternalProject)
    find_program(TOLV_PERL perl REQUIRED)
    find_program(TOLV_MAKE NAMES make gmake REQUIRED)
    set(openssl_build ${CMAKE_BINARY_DIR}/_deps/openssl)
    # Built in a folder of its own, made anew with each configuration:
    # OpenSSL's make neither drops objects of algorithms left out nor
    # rebuilds those whose options changed.
    set(openssl_tree ${openssl_build}/tree)
    set(openssl_library ${openssl_tree}/libcrypto.a)
    # Its makefiles name the sources relative to the build folder.
    file(RELATIVE_PATH openssl_relative_source ${openssl_tree} ${TOLV_OPENSSL_SOURCE})
    cmake_host_system_information(RESULT openssl_jobs QUERY NUMBER_OF_LOGICAL_CORES)
    # Algorithms no signature, certificate, time-stamp or revocation answer of
    # a report uses, and protocols the program never speaks: left out, they
    # make the program smaller and give a hostile report less to reach.
    set(openssl_unused no-legacy no-aria no-bf no-camellia no-cast no-cmp no-gost no-idea no-md4
        no-mdc2 no-rc2 no-rc4 no-rc5 no-seed no-siphash no-sm2 no-sm3 no-sm4 no-srp no-whirlpool
        no-ssl-trace no-ct)
    # No shared library, loadable modules, engines or tests; no configuration
    # file read at start-up, so that no file on the user's machine changes
    # what the program trusts. The source folder is mapped away from the
    # file names OpenSSL's error stack keeps, for a reproducible program.
    ExternalProject_Add(openssl_libcrypto
        SOURCE_DIR ${TOLV_OPENSSL_SOURCE}
        BINARY_DIR ${openssl_build}
        CONFIGURE_COMMAND ${CMAKE_COMMAND} -E rm -rf ${openssl_tree}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${openssl_tree}
        COMMAND
            ${CMAKE_COMMAND} -E chdir ${openssl_tree} ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${TOLV_PERL} ${TOLV_OPENSSL_SOURCE}/Configure mingw64
            CC=${CMAKE_C_COMPILER} AR=${CMAKE_AR} RANLIB=${CMAKE_RANLIB} RC=${CMAKE_RC_COMPILER}
            no-shared no-module no-engine no-dso no-tests no-ui-console no-autoload-config
            ${openssl_unused}
            -ffile-prefix-map=${TOLV_OPENSSL_SOURCE}=openssl
            -ffile-prefix-map=${openssl_relative_source}=openssl
            -ffile-prefix-map=${openssl_tree}=openssl
        BUILD_COMMAND
            ${CMAKE_COMMAND} -E chdir ${openssl_tree} ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${TOLV_MAKE} -j${openssl_jobs} build_generated libcrypto.a
        INSTALL_COMMAND ""
        BUILD_BYPRODUCTS ${openssl_library}
        USES_TERMINAL_BUILD TRUE
        LOG_CONFIGURE TRUE
        LOG_BUILD TRUE
        LOG_OUTPUT_ON_FAILURE TRUE)
    # The generated headers land in the build folder, the others in the sources.
    file(MAKE_DIRECTORY ${openssl_tree}/include)
    add_library(tolv_crypto INTERFACE)
    target_include_directories(tolv_crypto SYSTEM INTERFACE ${openssl_tree}/include
                                                            ${TOLV_OPENSSL_SOURCE}/include)
    target_link_libraries(tolv_crypto INTERFACE ${openssl_library} ws2_32 crypt32 bcrypt advapi32
                                                user32 gdi32)
    add_dependencies(tolv_crypto openssl_libcrypto)
    add_library(Tolv::crypto ALIAS tolv_crypto)
else()
    if(WIN32)
        set(OPENSSL_USE_STATIC_LIBS TRUE)
    endif()
    find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
    add_library(Tolv::crypto ALIAS OpenSSL::Crypto)
endif()
