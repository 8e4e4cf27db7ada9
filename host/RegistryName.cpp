#include "host/RegistryName.h"

#include "platform/Paths.h"

namespace zyq {

bool SplitRegistryName(std::string_view name, std::string* keyPath, std::string* valueName) {
  if (name.empty()) return false;
  const size_t i = platform::FindLastBackslash(name);
  if (i == std::string_view::npos) return false;
  *keyPath = std::string(name.substr(0, i));
  *valueName = std::string(name.substr(i + 1));
  return true;
}

}  // namespace zyq
