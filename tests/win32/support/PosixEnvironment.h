// setenv and unsetenv, which the shared test sources use, over the C runtime of Windows. Forced
// into those sources by the Windows test build (-include); nothing else uses it.
#pragma once

#include <cstdlib>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name) != nullptr) return 0;
  return _putenv_s(name, value);
}

inline int unsetenv(const char* name) {
  return _putenv_s(name, "");
}
