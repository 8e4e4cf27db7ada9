// The PKCS#12 writer both ports use, in the form Windows' own export writes and every reader
// of such files takes (older Windows among them): the key bags (pkcs8ShroudedKeyBag) in a data
// safe, the certificate bags in an encryptedData safe, both encrypted with
// pbeWithSHAAnd3-KeyTripleDES-CBC, a SHA-1 MAC, 2000 iterations throughout and 8-byte salts.
// Given the same items, password and salts, it writes the same bytes on every system.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/CertStores.h"
#include "platform/Pkcs12.h"

namespace zyq::platform::common {

// One certificate of the file, with its private key when the key goes with it.
struct Pkcs12Item {
  ByteView certificate;  // DER
  ByteView privateKey;   // PKCS#8 PrivateKeyInfo DER; empty: the certificate goes alone
  // With a key only: the key's container and provider, which the key bag carries as
  // friendlyName and "Microsoft CSP Name", as Windows writes them.
  std::u16string containerName;
  std::u16string providerName;
};

// Fills *salt with n salt bytes; false when none can be had. The writer asks for the salt of
// each key bag in item order, then of the certificate safe, then of the MAC.
using SaltSource = std::function<bool(size_t n, Bytes* salt)>;

// Encodes the items (both bags of an item carry the certificate's SHA-1 thumbprint as
// localKeyId when its key goes with it). NTE_FAIL when a salt, digest or cipher fails.
SysError EncodePkcs12(const std::vector<Pkcs12Item>& items, PfxPassword password,
                      const SaltSource& salts, Bytes* out);

// The writing half of PFXExportCertStoreEx for the certificates of a store: each certificate's
// key read through its key link by the rules and with the errors that ExportPfx documents,
// fresh random salts (Pkcs12Export.cpp).
SysError WritePkcs12(const std::vector<CertContext>& certs, PfxPassword password, uint32_t flags,
                     Bytes* out);

}  // namespace zyq::platform::common
