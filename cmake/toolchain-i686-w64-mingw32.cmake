# Cross build for 32-bit x86 Windows with mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_SYSTEM_VERSION 5.1)

set(TOLLVANE_MINGW_PREFIX i686-w64-mingw32)
# The posix thread model gives the C++ runtime std::mutex, which GoogleTest needs; every
# program links its runtimes statically, so none depends on a MinGW DLL.
set(CMAKE_C_COMPILER ${TOLLVANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLLVANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLLVANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLLVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine when it is installed.
find_program(TOLLVANE_WINE wine)
if(TOLLVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
