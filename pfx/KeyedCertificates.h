// The walk that several PKCS#12 operations share: the certificates of a store whose private key
// can be acquired, the ones that come with a usable key rather than an authority's certificate
// or a certificate whose key container is gone.
#pragma once

#include <functional>

#include "platform/CertStores.h"
#include "platform/SystemErrors.h"

namespace zyq::pfx {

// Visits the certificates of the store in the store's order. For each one whose private key can
// be acquired (CryptAcquireCertificatePrivateKey), keyed(certificate) is called, the key already
// released again; keyed returns false to end the walk. For each one whose key cannot be
// acquired, keyless(error) is called with the acquisition's error, when keyless is given.
void ForEachKeyedCertificate(const platform::CertStore& store,
                             const std::function<bool(const platform::CertContext&)>& keyed,
                             const std::function<void(platform::SysError)>& keyless = {});

}  // namespace zyq::pfx
