// What the fuzz targets share: the check that stops a run, and a state folder of their own.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zyq::fuzz {

// A broken expectation names its place and aborts, which libFuzzer reports as a crash.
inline void Check(bool condition, const char* file = __builtin_FILE(),
                  int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "check failed: %s:%d\n", file, line);
  std::abort();
}

// A new folder under $TMPDIR (else /tmp) made from a mkdtemp pattern; aborts when it cannot be
// made.
inline std::string MakeTempFolder(const std::string& pattern) {
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + pattern;
  if (mkdtemp(path.data()) == nullptr) std::abort();
  return path;
}

// Gives the process a home (HOME, XDG_DATA_HOME) and an engine state folder (ZYQSEC_HOME) of its
// own, new temporary folders "zyq-fuzz-<name>-home-..." and "zyq-fuzz-<name>-state-...", and
// no dialogs (ZYQSEC_UI=none, no ZYQSEC_UI_LOG), so that a run never touches the user's own
// state. Returns the home folder.
inline std::string IsolateState(const std::string& name) {
  const std::string home = MakeTempFolder("zyq-fuzz-" + name + "-home-XXXXXX");
  const std::string state = MakeTempFolder("zyq-fuzz-" + name + "-state-XXXXXX");
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_DATA_HOME", home.c_str(), 1);
  setenv("ZYQSEC_HOME", state.c_str(), 1);
  setenv("ZYQSEC_UI", "none", 1);
  unsetenv("ZYQSEC_UI_LOG");
  return home;
}

}  // namespace zyq::fuzz
