#include "api/com/ServerLocks.h"

#include <atomic>

namespace zyq::com {
namespace {

std::atomic<uint32_t> locks{0};

}  // namespace

void LockServer() {
  locks.fetch_add(1, std::memory_order_relaxed);
}

void UnlockServer() {
  locks.fetch_sub(1, std::memory_order_acq_rel);
}

uint32_t ServerLockCount() {
  return locks.load(std::memory_order_acquire);
}

}  // namespace zyq::com
