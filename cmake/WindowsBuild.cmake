# Settings of the Windows build (included by the top CMakeLists.txt when WIN32).
#
# The headers of the Windows SDK are used through their "A" (ANSI) functions: the engine's
# text is in the process's ANSI code page, as the component was designed on Windows.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)

# GoogleTest from Debian's sources, built with the cross toolchain (the -posix compilers give
# it std::mutex). Gives GTest::gtest and GTest::gmock as find_package(GTest) does.
function(zyq_windows_googletest)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock gmock_main)
    target_compile_options(${lib} PRIVATE -Wno-error)
  endforeach()
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gmock ALIAS gmock)
  endif()
endfunction()

# GCC 12 reports string appends of the standard library as overlapping copies on 32-bit
# targets (GCC bug 105329), in code that is correct; the other warnings stay errors.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
