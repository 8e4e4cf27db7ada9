// Registry values of every type and length through the port's registry: the input chooses the
// type, the value name and the data; the value is written below HKEY_CURRENT_USER and read back
// as the engine's reader does, into a 255-byte buffer, and without a limit. The state lives in
// a temporary folder made at start-up under $TMPDIR (ZYQSEC_HOME and HOME), never in the user's
// own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "platform/Registry.h"

namespace {

namespace p = zyq::platform;

// The engine reads a value into a buffer of this many bytes.
constexpr size_t kReaderBuffer = 255;
constexpr p::SysError kErrorMoreData = 234;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zyq::fuzz::IsolateState("registry");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5 || size > 4096) return 0;
  uint32_t type = 0;
  std::memcpy(&type, data, 4);
  // Mostly the types in use, now and then any number at all.
  if ((type & 0x80000000u) == 0) type %= 8;
  const size_t nameLength = std::min<size_t>(data[4] % 32, size - 5);
  const std::string_view name(reinterpret_cast<const char*>(data + 5), nameLength);
  const std::string_view bytes(reinterpret_cast<const char*>(data + 5 + nameLength),
                               size - 5 - nameLength);

  p::Registry& registry = p::CurrentRegistry();
  p::RegistryKey key;
  if (registry.CreateKey(p::RegistryKey::Root(p::RegistryHive::kCurrentUser), "Software\\ZYQFuzz",
                         &key) != 0)
    std::abort();
  if (registry.SetValue(key, name, type, bytes) != 0) return 0;

  uint32_t infoType = 0, infoSize = 0;
  if (registry.QueryValueInfo(key, name, &infoType, &infoSize) != 0) std::abort();
  if (infoType != type) std::abort();

  p::RegistryValue whole;
  if (registry.QueryValue(key, name, p::kRegistryNoLimit, &whole) != 0) std::abort();
  if (whole.type != type || whole.data.size() != infoSize) std::abort();
  // Other types keep their bytes exactly; text goes through Unicode and back.
  if (!p::IsRegistryTextType(type) && whole.data != bytes) std::abort();

  p::RegistryValue limited;
  uint32_t required = 0;
  const p::SysError error = registry.QueryValue(key, name, kReaderBuffer, &limited, &required);
  if (whole.data.size() <= kReaderBuffer) {
    if (error != 0 || limited.data != whole.data || limited.type != type) std::abort();
  } else {
    if (error != kErrorMoreData || !limited.data.empty() || limited.type != type) std::abort();
    if (required != whole.data.size()) std::abort();
  }
  if (registry.DeleteValue(key, name) != 0) std::abort();
  return 0;
}
