// Per-process isolation for tests: ZYQSEC_HOME, HOME and TMPDIR point at new folders under a
// fresh temporary root that is removed when the process ends; the master key of the private
// keys lives in a file of that root (ZYQSEC_KEY_FILE, ZYQSEC_KEYRING=off) unless the run chose
// a keyring.
#pragma once

#include <string>

namespace zyq::test {

// Creates the folders and sets the environment. Called once by the test main.
void IsolateProcess();

// The root folder made for this process (holds home/, state/, tmp/).
const std::string& TestRoot();

// Writes bytes to a file, creating it; returns false on failure.
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Runs a shell command and returns its exit status; output goes to *output when given.
int RunCommand(const std::string& command, std::string* output = nullptr);

}  // namespace zyq::test
