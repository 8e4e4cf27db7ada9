# 32-bit Windows (i686): the mingw-w64 toolchain of toolchain-mingw-w64.cmake.
set(ZYQ_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)
