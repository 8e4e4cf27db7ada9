# Cross-compiling for Windows with Debian's mingw-w64 (the -posix compilers: their std::thread
# and std::mutex are what GoogleTest needs). Programs run under Wine. ZYQ_MINGW_ARCH (i686 or
# x86_64) chooses the target; toolchain-<arch>-w64-mingw32.cmake set it and include this file.
if(NOT ZYQ_MINGW_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "ZYQ_MINGW_ARCH must be i686 or x86_64")
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZYQ_MINGW_ARCH})
set(ZYQ_MINGW_TRIPLE ${ZYQ_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${ZYQ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZYQ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZYQ_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZYQ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The DLL and the programs import only system DLLs: the compiler's runtime is linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
