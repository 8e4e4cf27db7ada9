// zyqsec demo: one user's whole key lifecycle, run end to end in a fresh state folder.
#pragma once

#include <string>
#include <vector>

namespace zyq::cli {

// `zyqsec demo [--here]`. Without --here the demonstration runs in a new private folder (state,
// home, temporary files and the dialog script), set up before the library is loaded and removed
// afterwards; with --here it runs in the environment as it is. Returns the exit status: 0 when
// every step succeeded.
int RunDemo(const std::vector<std::string>& args);

}  // namespace zyq::cli
