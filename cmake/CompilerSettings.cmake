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
