#include "sign/SignerChain.h"

#include "engine/ResultCodes.h"
#include "platform/CertChain.h"

namespace zyq {

bool ChainStatusAccepted(uint32_t errorStatus) {
  using namespace platform;
  if (errorStatus == 0) return true;
  if (errorStatus & (kCertTrustIsNotTimeValid | kCertTrustIsNotTimeNested)) return true;
  if (errorStatus &
      (kCertTrustIsRevoked | kCertTrustIsNotSignatureValid | kCertTrustIsNotValidForUsage)) {
    return false;
  }
  return (errorStatus & kCertTrustIsUntrustedRoot) != 0;
}

int32_t SignerChainCertificates(const platform::CertContext& signer,
                                const platform::CertStore& signerStore,
                                std::vector<platform::Bytes>* certificates,
                                platform::SysError* error) {
  *error = 0;
  platform::ChainParameters params;
  // As with CryptoAPI, the store the signer came from is searched for its issuers too.
  if (signerStore.isOpen()) params.additionalStores.push_back(signerStore);
  platform::CertChain chain;
  if (platform::SysError chainError = platform::GetCertificateChain(signer, params, &chain)) {
    *error = chainError;
    return result::kChainMissing;
  }
  if (!ChainStatusAccepted(chain.errorStatus)) return result::kChainMissing;
  certificates->clear();
  for (const platform::ChainElement& element : chain.elements) {
    if (certificates->size() == kMaxChainCertificates) break;
    certificates->push_back(element.cert.encoded());
  }
  return result::kSuccess;
}

}  // namespace zyq
