# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
# Programs built here run under Wine (wine64) through CMAKE_CROSSCOMPILING_EMULATOR,
# so ctest runs the Windows tests on a Linux machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVREL_MINGW_TRIPLE x86_64-w64-mingw32)
# The POSIX-threads flavour: its libstdc++ has std::mutex and std::thread, which
# GoogleTest needs on Windows (the win32 flavour of GCC 12 lacks them).
set(CMAKE_C_COMPILER ${TAVREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVREL_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${TAVREL_MINGW_TRIPLE}-objdump)

# Headers and libraries from the MinGW sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every DLL and program carries its own libgcc, libstdc++ and winpthread, so
# nothing but system DLLs has to be shipped next to them (or found by Wine).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Wine, headless and quiet, in a throwaway prefix inside the build folder, with
# the build folder (where tavrel.dll lies) on the DLL search path. Mono and Gecko
# are disabled so the first start does not ask to install them.
find_program(TAVREL_WINE NAMES wine64 wine HINTS /usr/lib/wine)
find_program(TAVREL_WINESERVER NAMES wineserver64 wineserver HINTS /usr/lib/wine)
set(TAVREL_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(TAVREL_WINE_ENV
    WINEDEBUG=-all WINEPREFIX=${TAVREL_WINE_PREFIX} WINEPATH=Z:${CMAKE_BINARY_DIR}
    WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY=)
if(TAVREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env ${TAVREL_WINE_ENV} ${TAVREL_WINE})
endif()
