# GoogleTest/GoogleMock built from the Debian source package for every preset, so that the
# sanitizer presets instrument it and the Windows preset cross-compiles it.

set(VORN_GOOGLETEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${VORN_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest
    EXCLUDE_FROM_ALL SYSTEM)

if(CMAKE_CROSSCOMPILING AND WIN32)
    # Every Windows test program runs under Wine in a prefix of the build tree's own; the
    # fixture creates it once before any test program starts.
    set(VORN_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
    set(VORN_WINE_ENVIRONMENT "WINEPREFIX=${VORN_WINEPREFIX}" "WINEDEBUG=-all")
    get_filename_component(_vorn_wine_dir "${CMAKE_CROSSCOMPILING_EMULATOR}" DIRECTORY)
    add_test(NAME wine_prefix_setup COMMAND "${CMAKE_CROSSCOMPILING_EMULATOR}" wineboot.exe --init)
    set_tests_properties(wine_prefix_setup PROPERTIES
        ENVIRONMENT "${VORN_WINE_ENVIRONMENT}"
        FIXTURES_SETUP wineprefix
        TIMEOUT 300)
endif()

# vorn_add_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>] [LABELS <l...>])
# One test program per subsystem; under Wine each program is one ctest entry.
function(vorn_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    vorn_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock_main)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
    # Named kernel objects are global to the machine (to the Wine prefix on Windows); a private
    # namespace per test program and build tree keeps concurrent suites apart. Child processes
    # inherit it.
    string(MD5 _vorn_tree_hash "${CMAKE_BINARY_DIR}")
    string(SUBSTRING "${_vorn_tree_hash}" 0 8 _vorn_tree_hash)
    set(_vorn_environment "VORN_KERNEL_NAMESPACE=vorn-${_vorn_tree_hash}-${name}")
    # The Linux registry is a store file; each test program gets its own, never the user's.
    if(NOT WIN32)
        list(APPEND _vorn_environment
            "VORN_REGISTRY_FILE=${CMAKE_CURRENT_BINARY_DIR}/${name}.registry/registry")
    endif()
    if(VORN_WINEPREFIX)
        list(APPEND _vorn_environment ${VORN_WINE_ENVIRONMENT})
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wineprefix)
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${_vorn_environment}")
endfunction()

# vorn_add_program_test(<name> PROGRAM <target> [ARGS <arg>...] [EXPECT_EXIT <code>]
#                       [EXPECT_STDOUT <text>] [EXPECT_STDERR <regex>])
# Runs a program of ours (through the emulator when cross-compiling) and checks its exit code,
# its whole standard output (default: none) and, if given, its standard error against a regex.
# Line ends are compared as LF.
function(vorn_add_program_test name)
    cmake_parse_arguments(ARG "" "PROGRAM;EXPECT_EXIT;EXPECT_STDOUT;EXPECT_STDERR" "ARGS" ${ARGN})
    if(NOT DEFINED ARG_EXPECT_EXIT)
        set(ARG_EXPECT_EXIT 0)
    endif()
    set(arguments "")
    foreach(argument IN LISTS ARG_ARGS)
        string(APPEND arguments " [==[${argument}]==]")
    endforeach()
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${name}.cmake")
    file(GENERATE OUTPUT "${script}" CONTENT
"set(program [==[$<TARGET_FILE:${ARG_PROGRAM}>]==])
set(emulator [==[${CMAKE_CROSSCOMPILING_EMULATOR}]==])
set(arguments${arguments})
set(expected_exit [==[${ARG_EXPECT_EXIT}]==])
set(expected_stdout [==[${ARG_EXPECT_STDOUT}]==])
set(expected_stderr [==[${ARG_EXPECT_STDERR}]==])
include([==[${CMAKE_CURRENT_FUNCTION_LIST_DIR}/VornRunProgramTest.cmake]==])
")
    add_test(NAME ${name} COMMAND "${CMAKE_COMMAND}" -P "${script}")
    set_tests_properties(${name} PROPERTIES TIMEOUT 120)
    if(VORN_WINEPREFIX)
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "${VORN_WINE_ENVIRONMENT}"
            FIXTURES_REQUIRED wineprefix)
    endif()
endfunction()
