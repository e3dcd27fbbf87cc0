# The product: 32-bit x86 Windows.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOLLVANE_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
