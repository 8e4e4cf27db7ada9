// The certificates of a signer's chain for a SignedData message, and the test that decides
// whether a chain is good enough to send.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/CertStores.h"
#include "platform/SystemErrors.h"

namespace zyq {

// The most certificates a message carries from a chain.
inline constexpr size_t kMaxChainCertificates = 20;

// Whether a chain whose error status (CERT_TRUST_* bits) is errorStatus may be sent: a clean
// chain is; a chain with a time error (not time valid, not time nested) is, whatever else is
// wrong with it; one that is revoked, badly signed or not valid for the usage is not; one whose
// only fault is an untrusted root is; any other fault (a partial chain, say) is not.
bool ChainStatusAccepted(uint32_t errorStatus);

// Builds the signer's chain (the current time, no usage requirement, no revocation check; the
// issuers are looked for in the store the signer came from and the user's stores) and, when the
// chain is accepted, replaces *certificates with the DER encodings of its first simple chain,
// signer first, at most kMaxChainCertificates of them. 0, or 5202 when the chain cannot be built
// (*error set) or is not accepted (*error 0).
int32_t SignerChainCertificates(const platform::CertContext& signer,
                                const platform::CertStore& signerStore,
                                std::vector<platform::Bytes>* certificates,
                                platform::SysError* error);

}  // namespace zyq
