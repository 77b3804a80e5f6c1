# Compiler settings shared by every target of the project (not by third-party code such as
# GoogleTest, which is built with its own flags).

set(VORN_WARNINGS
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    list(APPEND VORN_WARNINGS -Wthread-safety)
endif()
option(VORN_WARNINGS_AS_ERRORS "Treat warnings as errors" ON)
if(VORN_WARNINGS_AS_ERRORS)
    list(APPEND VORN_WARNINGS -Werror)
endif()

# Applies the project's warnings and common definitions to one of our own targets.
function(vorn_target_defaults target)
    target_compile_options(${target} PRIVATE ${VORN_WARNINGS})
    if(WIN32)
        target_compile_definitions(${target} PRIVATE
            WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)
    endif()
endfunction()

if(WIN32)
    # COM interfaces use the Windows ABI; the runtime libraries are linked statically so that
    # neither the DLL nor the test programs need MinGW runtime DLLs next to them.
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()
