# The 64-bit Windows test build: the same sources, run under Wine where 32-bit programs cannot.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOLLVANE_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
