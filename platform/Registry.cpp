#include "platform/Registry.h"

#include <atomic>

namespace zyq::platform {
namespace {

std::atomic<Registry*> g_substitute{nullptr};

}  // namespace

Registry& CurrentRegistry() {
  Registry* substitute = g_substitute.load(std::memory_order_acquire);
  return substitute != nullptr ? *substitute : DefaultRegistry();
}

void SetRegistryForTesting(Registry* registry) {
  g_substitute.store(registry, std::memory_order_release);
}

}  // namespace zyq::platform
