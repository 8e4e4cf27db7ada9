// New UUIDs from the RPC runtime, in the upper-case text form of container names.
#include <windows.h>
// (the headers below need windows.h first)
#include <rpc.h>

#include "platform/Text.h"
#include "platform/Uuid.h"

namespace zyq::platform {

SysError NewUuidString(std::string* text) {
  UUID uuid;
  const RPC_STATUS status = UuidCreate(&uuid);
  if (status != RPC_S_OK && status != RPC_S_UUID_LOCAL_ONLY) return static_cast<SysError>(status);
  RPC_CSTR raw = nullptr;
  if (UuidToStringA(&uuid, &raw) != RPC_S_OK) return kErrorNotEnoughMemory;
  std::string s(reinterpret_cast<const char*>(raw));
  RpcStringFreeA(&raw);
  *text = AnsiUpperCase(s);
  return kErrorSuccess;
}

}  // namespace zyq::platform
