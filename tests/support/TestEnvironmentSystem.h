// What the test environment does in its own way on each system (TestEnvironmentPosix.cpp,
// win32/support/TestEnvironmentWin32.cpp); TestEnvironment.cpp does the rest.
#pragma once

#include <string>

namespace zyq::test::os {

// Creates a new, empty root folder for this process under the temporary folder; its path.
std::string MakeRoot();

// Points the process's environment at the root's home/, state/ and tmp/ folders (made already).
void UseFolders(const std::string& root);

}  // namespace zyq::test::os
