// The project's own PKCS#12 writer, in the form Windows writes its files: certificates in an
// encryptedData bag and keys in pkcs8ShroudedKeyBags, both with pbeWithSHAAnd3-KeyTripleDES-CBC
// (2000 iterations), and a SHA-1 MAC (2000 iterations). Used where the system's export is a
// stub; the primitives (SHA-1, 3DES, random) come from CryptoAPI.
#pragma once

#include <vector>

#include "platform/CertStores.h"
#include "platform/Pkcs12.h"

namespace zyq::platform::win32 {

// The certificates, each with its private key (through its key link) when flags has
// kExportPrivateKeys, with the same key rules and errors as ExportPfx.
SysError WritePkcs12(const std::vector<CertContext>& certs, PfxPassword password, uint32_t flags,
                     Bytes* out);

}  // namespace zyq::platform::win32
