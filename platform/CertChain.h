// Certificate chains as CertGetCertificateChain builds them with the default chain engine and
// flags 0 (no revocation checking): from the end certificate through its issuers, found in the
// given extra stores and the user's "ROOT", "CA" and "MY" stores, up to a self-signed root,
// with CryptoAPI's trust error and info bits.
//
// There is no network retrieval of missing issuers (no AIA fetching) and no automatic root
// update: an issuer that is in none of the stores makes a partial chain.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/CertStores.h"
#include "platform/Certificates.h"

namespace zyq::platform {

// CERT_TRUST_* error bits.
inline constexpr uint32_t kCertTrustIsNotTimeValid = 0x1;
inline constexpr uint32_t kCertTrustIsNotTimeNested = 0x2;
inline constexpr uint32_t kCertTrustIsRevoked = 0x4;
inline constexpr uint32_t kCertTrustIsNotSignatureValid = 0x8;
inline constexpr uint32_t kCertTrustIsNotValidForUsage = 0x10;
inline constexpr uint32_t kCertTrustIsUntrustedRoot = 0x20;
inline constexpr uint32_t kCertTrustRevocationStatusUnknown = 0x40;
inline constexpr uint32_t kCertTrustIsCyclic = 0x80;
inline constexpr uint32_t kCertTrustInvalidBasicConstraints = 0x400;
inline constexpr uint32_t kCertTrustIsPartialChain = 0x10000;

// CERT_TRUST_* info bits.
inline constexpr uint32_t kCertTrustHasExactMatchIssuer = 0x1;
inline constexpr uint32_t kCertTrustHasKeyMatchIssuer = 0x2;
inline constexpr uint32_t kCertTrustHasNameMatchIssuer = 0x4;
inline constexpr uint32_t kCertTrustIsSelfSigned = 0x8;
inline constexpr uint32_t kCertTrustHasPreferredIssuer = 0x100;

// The longest chain built; a longer one ends as a partial chain.
inline constexpr size_t kMaxChainLength = 32;

struct ChainElement {
  CertContext cert;
  uint32_t errorStatus = 0;
  uint32_t infoStatus = 0;
};

// The first simple chain: elements[0] is the end certificate, then each issuer, the last one
// the root (or the last issuer found). errorStatus is the OR of the elements' error bits and
// the chain's own (partial chain, cycle); infoStatus is the OR of the elements' info bits
// above the lowest four (the issuer-match and self-signed bits stay with their element), as
// the chain context's summary has them.
struct CertChain {
  uint32_t errorStatus = 0;
  uint32_t infoStatus = 0;
  std::vector<ChainElement> elements;
};

struct ChainParameters {
  // The time at which validity is judged; 0 means now.
  FileTime time = 0;
  // Further stores searched for issuers before the system stores (hAdditionalStore).
  std::vector<CertStore> additionalStores;
};

// Builds the chain. An issuer is a certificate whose subject name equals the issuer name;
// among several, the one that leads to the best whole chain is taken (signature faults weigh
// most, then an incomplete chain or a broken constraint, then an untrusted root, then time),
// trying first those whose key verifies and whose validity covers the time. Per element:
// kCertTrustIsNotTimeValid outside its validity, kCertTrustIsNotSignatureValid when its issuer's
// key does not verify it, kCertTrustInvalidBasicConstraints for an issuer that is not a CA (or
// whose path length is exceeded), kCertTrustHasNameMatchIssuer and kCertTrustHasPreferredIssuer
// (info) on each element whose issuer was found, kCertTrustIsSelfSigned (info) on a self-signed
// root, kCertTrustIsUntrustedRoot on a root that is not in "ROOT". A chain ending in a certificate
// whose issuer is nowhere gets kCertTrustIsPartialChain (and no root check); a loop gets
// kCertTrustIsCyclic. Errors: only for an empty certificate (kEInvalidArg); stores that cannot be
// opened are passed over.
SysError GetCertificateChain(const CertContext& end, const ChainParameters& params, CertChain* out);

}  // namespace zyq::platform
