# The layers of the tree, enforced by the build. Sources include one another by their path from
# the top of the tree ("codec/ByteBuffer.h"), but the top of the tree is not an include folder of
# any library: each library exposes its own headers through a folder of links of its own,
# <build>/layers/<target>, which becomes the library's public include folder. A library sees
# its own headers and those of the libraries it links PUBLIC (CMake carries PUBLIC include
# folders up the links), and nothing else, so an include against the direction of the layers
# fails to build. docs/architecture.md has the table of the layers.
#
# The tests, the fuzzing targets and the benchmarks are outside the layers: their folders put
# the top of the tree on their include path.

# zyq_header_view(<name> <pattern>...): makes <build>/layers/<name>, a folder of links to the
# headers that match the patterns (relative to the top of the tree, e.g. "codec/*.h").
function(zyq_header_view name)
  set(view ${CMAKE_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${view})
  foreach(pattern IN LISTS ARGN)
    file(GLOB headers RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${pattern})
    if(NOT headers)
      message(FATAL_ERROR "zyq_header_view(${name}): nothing matches ${pattern}")
    endif()
    foreach(header IN LISTS headers)
      get_filename_component(folder ${view}/${header} DIRECTORY)
      file(MAKE_DIRECTORY ${folder})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${header} ${view}/${header} SYMBOLIC)
    endforeach()
  endforeach()
endfunction()

# zyq_expose_headers(<target> <pattern>...): the matching headers become <target>'s public
# headers, seen by <target> and by whatever links it PUBLIC.
function(zyq_expose_headers target)
  zyq_header_view(${target} ${ARGN})
  target_include_directories(${target} PUBLIC ${CMAKE_BINARY_DIR}/layers/${target})
endfunction()

# zyq_outside_layers(): for the folder of tests, fuzzing targets or benchmarks: every header of
# the tree may be included there.
macro(zyq_outside_layers)
  include_directories(${CMAKE_SOURCE_DIR})
endmacro()
