// Keys found, imported and used through their links (container, provider, key spec).
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/CryptoKeys.h"
#include "platform/Uuid.h"
#include "platform/common/keys/PublicKeyInfo.h"
#include "platform/win32/WinHandles.h"
#include "platform/win32/keys/KeyBlobs.h"

namespace zyq::platform {
namespace {

using win32::KeyOwner;
using win32::LastError;
using win32::ProvOwner;

// The public key bit string of a container's key; false when there is none.
bool KeyBits(KeyContext& context, uint32_t keySpec, std::vector<uint8_t>* bits) {
  std::vector<uint8_t> spki;
  return context.ExportPublicKeyInfo(keySpec, &spki) == kErrorSuccess &&
         common::PublicKeyBits(spki, bits) == kErrorSuccess;
}

// Searches one provider's containers for a key with these public key bits.
bool FindInProvider(const ProviderInfo& provider, const std::vector<uint8_t>& wanted,
                    uint32_t onlySpec, KeyProvInfo* link) {
  std::unique_ptr<KeyContext> verify;
  if (AcquireKeyContext("", provider.name, provider.type, kCryptVerifyContext, &verify)) {
    return false;
  }
  std::vector<std::string> names;
  if (verify->EnumContainers(&names)) return false;
  for (const std::string& name : names) {
    std::unique_ptr<KeyContext> context;
    if (AcquireKeyContext(name, provider.name, provider.type, kCryptSilent, &context)) continue;
    for (uint32_t spec : {kAtKeyExchange, kAtSignature}) {
      if (onlySpec != 0 && spec != onlySpec) continue;
      std::vector<uint8_t> bits;
      if (KeyBits(*context, spec, &bits) && bits == wanted) {
        *link = context->Link(spec);
        return true;
      }
    }
  }
  return false;
}

}  // namespace

SysError ImportPrivateKey(std::span<const uint8_t> privateKeyDer, std::string_view provider,
                          uint32_t providerType, uint32_t keySpec, uint32_t flags,
                          KeyProvInfo* link, bool* created) {
  if (keySpec != kAtKeyExchange && keySpec != kAtSignature) return kNteBadAlgid;
  if ((flags & ~(kCryptExportable | kCryptUserProtected)) != 0) return kNteBadFlags;
  SecretBytes blob;
  const uint32_t algorithm = keySpec == kAtKeyExchange ? kCalgRsaKeyx : kCalgRsaSign;
  if (SysError err = win32::PrivateKeyDerToBlob(privateKeyDer, algorithm, &blob)) return err;
  std::vector<uint8_t> rsaPublicKey;
  if (SysError err = win32::BlobToRsaPublicKey(blob.bytes(), &rsaPublicKey)) return err;
  std::vector<uint8_t> wanted;
  if (SysError err = common::PublicKeyBits(common::RsaPublicKeyInfo(rsaPublicKey), &wanted)) {
    return err;
  }

  // The provider's own name (the type's default when none is given).
  std::unique_ptr<KeyContext> verify;
  if (SysError err = AcquireKeyContext("", provider, providerType, kCryptVerifyContext, &verify)) {
    return err;
  }
  const ProviderInfo info{verify->ProviderName(), providerType};
  verify.reset();

  // A container that holds this key already is used again; otherwise a new one is made.
  KeyProvInfo found;
  std::string container;
  DWORD acquireFlags = kCryptNewKeyset;
  if (FindInProvider(info, wanted, keySpec, &found)) {
    container = found.containerName;
    acquireFlags = 0;
  } else if (SysError err = NewUuidString(&container)) {
    return err;
  }
  ProvOwner prov;
  if (!CryptAcquireContextA(prov.out(), container.c_str(), info.name.c_str(), providerType,
                            acquireFlags)) {
    return LastError();
  }
  KeyOwner key;
  if (!CryptImportKey(prov.get(), blob.bytes().data(), static_cast<DWORD>(blob.bytes().size()), 0,
                      flags, key.out())) {
    const SysError err = LastError();
    if (acquireFlags == kCryptNewKeyset) {
      HCRYPTPROV gone = 0;
      CryptAcquireContextA(&gone, container.c_str(), info.name.c_str(), providerType,
                           CRYPT_DELETEKEYSET);
    }
    return err;
  }
  *link = KeyProvInfo{container, info.name, providerType, 0, keySpec};
  if (created != nullptr) *created = acquireFlags == kCryptNewKeyset;
  return kErrorSuccess;
}

SysError ExportPrivateKey(const KeyProvInfo& link, SecretBytes* pkcs8) {
  std::unique_ptr<KeyContext> context;
  if (SysError err = AcquireKeyContext(link, &context)) return err;
  return context->ExportPrivateKeyPkcs8(link.keySpec, pkcs8);
}

SysError FindKeyByPublicKey(std::span<const uint8_t> spki,
                            const std::function<bool(const ProviderInfo&)>& accept,
                            KeyProvInfo* link) {
  std::vector<uint8_t> wanted;
  if (SysError err = common::PublicKeyBits(spki, &wanted)) return err;
  for (const ProviderInfo& provider : ListProviders()) {
    if (accept && !accept(provider)) continue;
    if (FindInProvider(provider, wanted, 0, link)) return kErrorSuccess;
  }
  return kCryptENotFound;
}

SysError PublicKeyMatches(const KeyProvInfo& link, std::span<const uint8_t> spki, bool* matches,
                          uint32_t* flags) {
  std::vector<uint8_t> wanted;
  if (SysError err = common::PublicKeyBits(spki, &wanted)) return err;
  std::unique_ptr<KeyContext> context;
  if (SysError err = AcquireKeyContext(link, &context)) return err;
  std::vector<uint8_t> own, bits;
  if (SysError err = context->ExportPublicKeyInfo(link.keySpec, &own)) return err;
  if (SysError err = common::PublicKeyBits(own, &bits)) return err;
  if (flags != nullptr) {
    KeyPairInfo info;
    if (SysError err = context->GetKeyInfo(link.keySpec, &info)) return err;
    *flags = info.flags;
  }
  *matches = bits == wanted;
  return kErrorSuccess;
}

SysError SignHashWithKey(const KeyProvInfo& link, uint32_t hashAlg, std::span<const uint8_t> hash,
                         std::vector<uint8_t>* signature) {
  std::unique_ptr<KeyContext> context;
  if (SysError err = AcquireKeyContext(link, &context)) return err;
  return context->SignHash(link.keySpec, hashAlg, hash, 0, signature);
}

}  // namespace zyq::platform
