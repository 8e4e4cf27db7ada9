// The flag bits of a certificate search (the dwFlags that the public operations pass on to
// CertStore::FindCertificates). The store operations return codes of engine/ResultCodes.h.
#pragma once

#include <cstdint>

namespace zyq {

// The low two bits are a mode; only kFindKeepBest means something (keep the single best
// certificate). Any other mode keeps every certificate that qualifies.
inline constexpr int32_t kFindModeMask = 0x3;
inline constexpr int32_t kFindKeepBest = 2;
// Reject certificates outside their validity period at the current time.
inline constexpr int32_t kFindCheckValidity = 0x4;
// Match the name filter by containment (MatchNamesContaining) instead of the exact rule.
inline constexpr int32_t kFindContains = 0x8;
// The best certificate: earliest NotBefore / latest NotAfter / earliest NotAfter; the first of
// these bits that is set wins; none set means the latest NotBefore.
inline constexpr int32_t kFindEarliestNotBefore = 0x20;
inline constexpr int32_t kFindLatestNotAfter = 0x40;
inline constexpr int32_t kFindEarliestNotAfter = 0x80;

// LoadPfx flag: import the keys user-protected (every use asks the user).
inline constexpr int32_t kPfxUserProtected = 0x2;

}  // namespace zyq
