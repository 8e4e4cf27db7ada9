#include "codec/CpuDispatch.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace zyq::codec {
namespace {

struct CpuFeatures {
  bool sha = false;
  bool avx2Bmi2 = false;
};

#if defined(__x86_64__) || defined(__i386__)
// CPUID leaf 7 EBX bit 29: the SHA extensions. Read directly because not every compiler's
// __builtin_cpu_supports knows "sha" (clang 14 does not).
bool CpuidHasSha() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0 && (ebx & (1u << 29)) != 0;
}
#endif

CpuFeatures Detect() {
  CpuFeatures features;
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  features.sha =
      CpuidHasSha() && __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1");
  features.avx2Bmi2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                      __builtin_cpu_supports("bmi2");
#endif
  return features;
}

const CpuFeatures& Features() {
  static const CpuFeatures features = Detect();
  return features;
}

std::atomic<bool> g_portableOnly{false};

}  // namespace

bool CpuHasShaExtensions() {
  return Features().sha;
}

bool CpuHasAvx2Bmi2() {
  return Features().avx2Bmi2;
}

void SetPortableOnly(bool on) {
  g_portableOnly.store(on, std::memory_order_relaxed);
}

bool PortableOnly() {
  return g_portableOnly.load(std::memory_order_relaxed);
}

bool UseShaExtensions() {
  return !PortableOnly() && Features().sha;
}

bool UseAvx2Bmi2() {
  return !PortableOnly() && Features().avx2Bmi2;
}

}  // namespace zyq::codec
