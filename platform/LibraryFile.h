// Where the library itself lives: what GetModuleFileNameA gives for the library's own module.
#pragma once

#include <string>

namespace zyq::platform {

// The full path of the file that holds this code (the shared library, or the program when
// the code is linked into one), without symbolic links, as ANSI text; empty when the system
// cannot tell.
std::string LibraryFilePath();

}  // namespace zyq::platform
