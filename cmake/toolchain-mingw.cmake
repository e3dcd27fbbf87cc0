# Cross build for Windows with mingw-w64; included by the per-processor toolchain files, which
# set TOLLVANE_MINGW_PREFIX and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 5.1)

# The win32 thread model: the posix one links winpthreads, which imports GetTickCount64 (not
# present before Vista), so Windows XP's loader would refuse the program. Every program links
# its runtimes statically, so none depends on a MinGW DLL.
set(CMAKE_C_COMPILER ${TOLLVANE_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOLLVANE_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TOLLVANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLLVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs under Wine through this script.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
