// The server's lock count: one for each live ZYQapi object, one while the class factory or the
// type information is referenced from outside, one for each IClassFactory::LockServer(TRUE) not
// yet undone. The library may be unloaded only when it is 0. Safe to use from any thread.
#pragma once

#include <cstdint>
#include <mutex>

#include "api/com/ComInterfaces.h"

namespace zyq::com {

void LockServer();
void UnlockServer();
uint32_t ServerLockCount();

// The reference count of an object that lives as long as the library (the type information
// and the type library): reaching 0 destroys nothing, but while any outside reference exists
// the server stays locked. A Release without a reference is ignored (it answers 0).
class ServerHeldCount {
 public:
  ULONG AddRef() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (refs_++ == 0) LockServer();
    return refs_;
  }
  ULONG Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (refs_ == 0) return 0;
    if (--refs_ == 0) UnlockServer();
    return refs_;
  }

 private:
  std::mutex mutex_;
  ULONG refs_ = 0;
};

}  // namespace zyq::com
