// Certificate chains from CertGetCertificateChain (an engine of the default configuration, no
// revocation checking), with the extra stores given by the caller searched through a memory
// store.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <cstddef>

#include "platform/CertChain.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform {
namespace {

using win32::CertOwner;
using win32::ChainEngineOwner;
using win32::ChainOwner;
using win32::LastError;
using win32::StoreOwner;

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

}  // namespace

SysError GetCertificateChain(const CertContext& end, const ChainParameters& params,
                             CertChain* out) {
  if (end.empty()) return kEInvalidArg;
  CertOwner leaf(CertCreateCertificateContext(kEncoding, end.encoded().data(),
                                              static_cast<DWORD>(end.encoded().size())));
  if (!leaf) return LastError();

  // The caller's stores, copied into one memory store that the chain engine searches too.
  StoreOwner extra(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!extra) return LastError();
  for (const CertStore& store : params.additionalStores) {
    std::vector<CertContext> certs;
    if (store.Enumerate(&certs) != kErrorSuccess) continue;
    for (const CertContext& c : certs) {
      CertAddEncodedCertificateToStore(extra.get(), kEncoding, c.encoded().data(),
                                       static_cast<DWORD>(c.encoded().size()),
                                       CERT_STORE_ADD_ALWAYS, nullptr);
    }
  }

  FILETIME when{};
  FILETIME* at = nullptr;
  if (params.time != 0) {
    when = {static_cast<DWORD>(params.time & 0xffffffffu), static_cast<DWORD>(params.time >> 32)};
    at = &when;
  }
  // An engine of the default configuration made for this call opens the user's "ROOT", "CA" and
  // "MY" stores as they are now. The process's default engine may hold them as they were when it
  // was first used: Wine's takes a copy of each store then, so a certificate installed later
  // would stay unseen.
  CERT_CHAIN_ENGINE_CONFIG config{};
  // The size every version accepts: up to CycleDetectionModulus (the exclusive-root fields
  // came with Windows 7).
  config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, CycleDetectionModulus) + sizeof(DWORD);
  ChainEngineOwner engine;
  if (!CertCreateCertificateChainEngine(&config, engine.out())) return LastError();
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof(para);
  ChainOwner chain;
  if (!CertGetCertificateChain(engine.get(), leaf.get(), at, extra.get(), &para, 0, nullptr,
                               chain.out())) {
    return LastError();
  }
  CertChain result;
  result.errorStatus = chain.get()->TrustStatus.dwErrorStatus;
  result.infoStatus = chain.get()->TrustStatus.dwInfoStatus;
  if (chain.get()->cChain > 0) {
    const CERT_SIMPLE_CHAIN* simple = chain.get()->rgpChain[0];
    for (DWORD i = 0; i < simple->cElement; ++i) {
      const CERT_CHAIN_ELEMENT* e = simple->rgpElement[i];
      ChainElement element;
      if (SysError err = CertContext::FromEncoded(
              ByteView(e->pCertContext->pbCertEncoded, e->pCertContext->cbCertEncoded),
              &element.cert)) {
        return err;
      }
      element.errorStatus = e->TrustStatus.dwErrorStatus;
      element.infoStatus = e->TrustStatus.dwInfoStatus;
      result.elements.push_back(std::move(element));
    }
  }
  *out = std::move(result);
  return kErrorSuccess;
}

}  // namespace zyq::platform
