# Cross-compiles for 64-bit Windows (x86-64) with the posix thread model of mingw-w64
# (GoogleTest and std::thread need it; the win32 model lacks std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Debian's /usr/bin/wine wrapper runs the 32-bit loader whenever the 32-bit Wine package is installed,
# even for a 64-bit program, and some machines cannot execute 32-bit code at all:
# the tests always name the 64-bit loader.
set(KIVORA_WINE /usr/lib/wine/wine64 CACHE FILEPATH "The 64-bit Wine loader that runs the test programs")
set(CMAKE_CROSSCOMPILING_EMULATOR ${KIVORA_WINE})
