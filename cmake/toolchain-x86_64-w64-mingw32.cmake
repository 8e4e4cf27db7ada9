# 64-bit Windows (x86_64): the mingw-w64 toolchain of toolchain-mingw-w64.cmake.
set(ZYQ_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)
