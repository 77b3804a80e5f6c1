# Cross-compiles the Windows target with the posix-threads flavour of mingw-w64 g++ and runs
# its programs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VORN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)

# widl makes the type library; the standard IDL files it imports come with libwine-dev and
# stdole2.tlb (for importlib) with Wine itself.
set(VORN_WIDL ${VORN_MINGW_TRIPLE}-widl)
set(VORN_WIDL_INCLUDE_DIR /usr/include/wine/wine/windows)
set(VORN_WIDL_LIBRARY_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
