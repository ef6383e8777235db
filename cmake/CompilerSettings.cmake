# Warnings and Windows-wide definitions shared by every target.
if(MSVC)
    add_compile_options(/W4 /permissive- /utf-8)
else()
    add_compile_options(-Wall -Wextra)
endif()

if(WIN32)
    # W forms of every Windows API; no ANSI code page anywhere in the program.
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00
                            WINVER=0x0A00)
endif()

# wWinMain / wmain entry points need -municode with MinGW; MSVC picks them up itself.
function(tolv_unicode_entry target)
    if(MINGW)
        target_link_options(${target} PRIVATE -municode)
    endif()
endfunction()

# Reproducible binaries: the same sources give the same bytes in any folder and
# at any time (scripts/package.sh --check builds twice and compares). No time
# stamp in the PE header, no build folder in the code.
if(MINGW)
    add_link_options(-Wl,--no-insert-timestamp)
endif()
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # The last map that matches wins: the build tree may lie inside the sources.
    add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
endif()
if(MSVC)
    add_compile_options(/Brepro)
    add_link_options(/Brepro)
endif()
