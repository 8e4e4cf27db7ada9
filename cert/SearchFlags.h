// The flag bits of a certificate search (the dwFlags that the public operations pass on to
// CertStore::FindCertificates), and the result codes that the store operations return: values
// of the engine's result table.
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

// Result codes of the store operations (the engine's table holds their messages).
namespace store_result {
inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kBadParameter = 5005;
inline constexpr int32_t kCertNotFound = 5010;
inline constexpr int32_t kCertExpired = 5011;
inline constexpr int32_t kCertNotYetValid = 5012;
inline constexpr int32_t kKeyUsageMismatch = 5017;
inline constexpr int32_t kOpenPersonalStoreFailed = 5201;
inline constexpr int32_t kProviderNotMicrosoft = 5205;
inline constexpr int32_t kNoKeyLink = 5206;
inline constexpr int32_t kPkcs12FormatError = 5207;
inline constexpr int32_t kPkcs12WrongPassword = 5208;
inline constexpr int32_t kOpenMemoryStoreFailed = 5226;
inline constexpr int32_t kPfxReadFailed = 5401;
}  // namespace store_result

}  // namespace zyq
