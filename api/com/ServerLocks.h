// The server's lock count: one for each live ZYQapi object, one while the class factory is
// referenced from outside, one for each IClassFactory::LockServer(TRUE) not yet undone. The
// library may be unloaded only when it is 0. Safe to use from any thread.
#pragma once

#include <cstdint>

namespace zyq::com {

void LockServer();
void UnlockServer();
uint32_t ServerLockCount();

}  // namespace zyq::com
