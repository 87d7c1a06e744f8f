# Cross build for Windows with mingw-w64 (win32 threads, static runtime).
# The win32 thread model keeps winpthreads, and with it functions that
# Windows XP lacks, out of every program; threads and locks are Win32's.
# PELKO_ARCH selects the target: i686 (the shipped 32-bit build) or x86_64
# (used to run the tests where the host kernel cannot execute 32-bit code).
if(NOT DEFINED PELKO_ARCH)
    set(PELKO_ARCH i686)
endif()
set(PELKO_ARCH ${PELKO_ARCH} CACHE STRING "i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${PELKO_ARCH})
set(triple ${PELKO_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-win32)
set(CMAKE_CXX_COMPILER ${triple}-g++-win32)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every test executable runs under Wine through the wrapper that configure writes.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
