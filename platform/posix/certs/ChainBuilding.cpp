// Chain building over the stores, with signatures checked by OpenSSL.
#include <openssl/err.h>
#include <openssl/x509.h>

#include "platform/CertChain.h"
#include "platform/posix/OpenSslPtr.h"

namespace zyq::platform {
namespace {

using posix::OpenSslPtr;

// Whether issuer's public key verifies subject's signature.
bool SignatureVerifies(const DecodedCertificate& subject, const DecodedCertificate& issuer) {
  const unsigned char* p = subject.encoded.data();
  const OpenSslPtr<X509> cert(d2i_X509(nullptr, &p, static_cast<long>(subject.encoded.size())));
  const unsigned char* k = issuer.subjectPublicKeyInfo.data();
  const OpenSslPtr<EVP_PKEY> key(
      d2i_PUBKEY(nullptr, &k, static_cast<long>(issuer.subjectPublicKeyInfo.size())));
  const bool ok = cert && key && X509_verify(cert.get(), key.get()) == 1;
  ERR_clear_error();
  return ok;
}

bool TimeValid(const DecodedCertificate& cert, FileTime time) {
  return time >= cert.notBefore && time <= cert.notAfter;
}

bool SameCertificate(const CertContext& a, const CertContext& b) {
  return a.sha1Thumbprint() == b.sha1Thumbprint();
}

// Every certificate of the stores, in search order, each once.
std::vector<CertContext> CandidatePool(const ChainParameters& params,
                                       std::vector<CertContext>* roots) {
  std::vector<CertStore> stores = params.additionalStores;
  for (const char* name : {kStoreRoot, kStoreCa, kStoreMy}) {
    CertStore store;
    if (CertStore::OpenSystem(name, &store) != kErrorSuccess) continue;
    if (std::string(name) == kStoreRoot) (void)store.Enumerate(roots);
    stores.push_back(store);
  }
  std::vector<CertContext> pool;
  for (const CertStore& store : stores) {
    std::vector<CertContext> certs;
    if (!store.isOpen() || store.Enumerate(&certs) != kErrorSuccess) continue;
    for (CertContext& c : certs) {
      bool seen = false;
      for (const CertContext& p : pool) seen = seen || SameCertificate(p, c);
      if (!seen) pool.push_back(std::move(c));
    }
  }
  return pool;
}

// Builds the candidate chains depth first and keeps the best one, as the chain engine weighs
// alternative issuers by the quality of the whole chain they lead to.
class Builder {
 public:
  Builder(const std::vector<CertContext>& pool, const std::vector<CertContext>& roots,
          FileTime time)
      : pool_(pool), roots_(roots), time_(time) {}

  void Grow(CertChain chain) {
    --budget_;
    ChainElement& current = chain.elements.back();
    const DecodedCertificate& cert = current.cert.cert();
    if (cert.subject == cert.issuer) {
      // A self-issued certificate ends the chain: it is the root.
      if (SignatureVerifies(cert, cert)) {
        current.infoStatus |= kCertTrustIsSelfSigned | kCertTrustHasNameMatchIssuer;
      } else {
        current.errorStatus |= kCertTrustIsNotSignatureValid;
      }
      bool trusted = false;
      for (const CertContext& r : roots_) trusted = trusted || SameCertificate(r, current.cert);
      if (!trusted) current.errorStatus |= kCertTrustIsUntrustedRoot;
      Finish(std::move(chain));
      return;
    }
    // Issuer candidates by name: those whose key verifies first, then those valid at the time.
    std::vector<std::pair<const CertContext*, bool>> candidates;
    for (int rank = 3; rank >= 0; --rank) {
      for (const CertContext& c : pool_) {
        if (c.cert().subject != cert.issuer) continue;
        const bool verifies = SignatureVerifies(cert, c.cert());
        if ((verifies ? 2 : 0) + (TimeValid(c.cert(), time_) ? 1 : 0) == rank) {
          candidates.emplace_back(&c, verifies);
        }
      }
    }
    if (candidates.empty()) {
      chain.errorStatus |= kCertTrustIsPartialChain;
      Finish(std::move(chain));
      return;
    }
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (i > 0 && budget_ <= 0) break;
      CertChain next = chain;
      ChainElement& subject = next.elements.back();
      if (!candidates[i].second) subject.errorStatus |= kCertTrustIsNotSignatureValid;
      subject.infoStatus |= kCertTrustHasNameMatchIssuer | kCertTrustHasPreferredIssuer;
      bool cyclic = false;
      for (const ChainElement& e : next.elements) {
        cyclic = cyclic || SameCertificate(e.cert, *candidates[i].first);
      }
      if (cyclic) {
        subject.errorStatus |= kCertTrustIsCyclic;
        Finish(std::move(next));
      } else if (next.elements.size() >= kMaxChainLength) {
        next.errorStatus |= kCertTrustIsPartialChain;
        Finish(std::move(next));
      } else {
        next.elements.push_back(ChainElement{*candidates[i].first, 0, 0});
        Grow(std::move(next));
      }
    }
  }

  CertChain Take() { return std::move(best_); }

 private:
  // Adds the per-element checks and the summary, and keeps the chain if it is the best so far.
  void Finish(CertChain chain) {
    for (size_t i = 0; i < chain.elements.size(); ++i) {
      ChainElement& e = chain.elements[i];
      if (!TimeValid(e.cert.cert(), time_)) e.errorStatus |= kCertTrustIsNotTimeValid;
      if (i > 0) {
        // An issuer must be a CA, and its path length must cover the CAs below it.
        const BasicConstraints bc = GetBasicConstraints(e.cert.cert());
        const int below = static_cast<int>(i) - 1;
        if (bc.present && (!bc.isCa || (bc.pathLength >= 0 && below > bc.pathLength))) {
          e.errorStatus |= kCertTrustInvalidBasicConstraints;
        }
      }
      chain.errorStatus |= e.errorStatus;
      chain.infoStatus |= e.infoStatus & ~0xFu;
    }
    const int badness = Badness(chain.errorStatus);
    if (!haveBest_ || badness < bestBadness_) {
      best_ = std::move(chain);
      bestBadness_ = badness;
      haveBest_ = true;
    }
  }

  // Signature faults weigh most, then an incomplete or invalid chain, an untrusted root, time.
  static int Badness(uint32_t error) {
    int b = 0;
    if (error & kCertTrustIsNotSignatureValid) b += 16;
    if (error & (kCertTrustIsPartialChain | kCertTrustIsCyclic)) b += 8;
    if (error & kCertTrustInvalidBasicConstraints) b += 8;
    if (error & kCertTrustIsUntrustedRoot) b += 4;
    if (error & (kCertTrustIsNotTimeValid | kCertTrustIsNotTimeNested)) b += 2;
    return b;
  }

  const std::vector<CertContext>& pool_;
  const std::vector<CertContext>& roots_;
  const FileTime time_;
  int budget_ = 64;
  CertChain best_;
  int bestBadness_ = 0;
  bool haveBest_ = false;
};

}  // namespace

SysError GetCertificateChain(const CertContext& end, const ChainParameters& params,
                             CertChain* out) {
  if (end.empty()) return kEInvalidArg;
  const FileTime time = params.time != 0 ? params.time : CurrentFileTime();
  std::vector<CertContext> roots;
  const std::vector<CertContext> pool = CandidatePool(params, &roots);
  Builder builder(pool, roots, time);
  CertChain start;
  start.elements.push_back(ChainElement{end, 0, 0});
  builder.Grow(std::move(start));
  *out = builder.Take();
  return kErrorSuccess;
}

}  // namespace zyq::platform
