// The services that certificates, stores and PKCS#12 reach keys with: importing a private key
// into a container, exporting it again, finding the container of a public key, and signing
// through a key link.
#include "platform/CryptoKeys.h"
#include "platform/Uuid.h"
#include "platform/common/keys/PublicKeyInfo.h"
#include "platform/posix/keys/KeyContextPosix.h"
#include "platform/posix/keys/KeyRules.h"
#include "platform/posix/keys/KeyStore.h"
#include "platform/posix/keys/RsaKey.h"

namespace zyq::platform {

using posix::StateDatabase;

SysError ImportPrivateKey(std::span<const uint8_t> privateKeyDer, std::string_view provider,
                          uint32_t providerType, uint32_t keySpec, uint32_t flags,
                          KeyProvInfo* link, bool* created) {
  if (keySpec != kAtKeyExchange && keySpec != kAtSignature) return kNteBadAlgid;
  if (flags & ~(kCryptExportable | kCryptUserProtected)) return kNteBadFlags;
  ProviderInfo found;
  if (SysError err = posix::ResolveProvider(provider, providerType, &found); err != kErrorSuccess) {
    return err;
  }
  posix::RsaKeyRecord key;
  if (SysError err = posix::ReadRsaPrivateKey(privateKeyDer, posix::kMinImportedBits,
                                              posix::kMaxKeyBits, &key);
      err != kErrorSuccess) {
    return err;
  }

  KeyProvInfo result{std::string(), found.name, found.type, 0, keySpec};
  bool made = false;
  const SysError err = posix::KeyDatabaseWrite([&](StateDatabase& db) {
    made = false;  // the body may run again after a busy database
    // The same key in the same provider under the same spec: reuse its container.
    std::vector<posix::KeyLocation> existing;
    if (SysError e = posix::FindKeysByPublicKey(db, key.publicKey, &existing); e != kErrorSuccess) {
      return e;
    }
    for (const posix::KeyLocation& location : existing) {
      if (location.keySpec == keySpec && posix::SameName(location.provider, found.name)) {
        result.containerName = location.container;
        return posix::SetKeyFlags(db, location.containerId, keySpec, flags);
      }
    }
    // A fresh container; a clash of random names is retried, however unlikely.
    posix::ContainerRow row;
    SysError e = kNteExists;
    for (int attempt = 0; attempt < 4 && e == kNteExists; ++attempt) {
      std::string name;
      if (SysError uuidErr = NewUuidString(&name); uuidErr != kErrorSuccess) return uuidErr;
      e = posix::CreateContainer(db, found.name, name, &row);
    }
    if (e != kErrorSuccess) return e;
    result.containerName = row.name;
    made = true;
    return posix::SaveKeyPair(db, row.id, keySpec, flags, key);
  });
  if (err != kErrorSuccess) return err;
  *link = std::move(result);
  if (created != nullptr) *created = made;
  return kErrorSuccess;
}

SysError ExportPrivateKey(const KeyProvInfo& link, SecretBytes* pkcs8) {
  std::unique_ptr<KeyContext> context;
  if (SysError err = AcquireKeyContext(link, &context); err != kErrorSuccess) return err;
  return context->ExportPrivateKeyPkcs8(link.keySpec, pkcs8);
}

SysError FindKeyByPublicKey(std::span<const uint8_t> spki,
                            const std::function<bool(const ProviderInfo&)>& accept,
                            KeyProvInfo* link) {
  std::vector<uint8_t> wanted;
  if (SysError err = common::PublicKeyBits(spki, &wanted); err != kErrorSuccess) return err;
  std::vector<posix::KeyLocation> locations;
  if (SysError err = posix::KeyDatabaseRead(
          [&](StateDatabase& db) { return posix::FindKeysByPublicKey(db, wanted, &locations); });
      err != kErrorSuccess) {
    return err;
  }
  if (locations.empty()) return kCryptENotFound;
  for (const ProviderInfo& provider : ListProviders()) {
    if (accept && !accept(provider)) continue;
    for (const posix::KeyLocation& location : locations) {
      if (posix::SameName(location.provider, provider.name)) {
        *link = KeyProvInfo{location.container, provider.name, provider.type, 0, location.keySpec};
        return kErrorSuccess;
      }
    }
  }
  return kCryptENotFound;
}

SysError PublicKeyMatches(const KeyProvInfo& link, std::span<const uint8_t> spki, bool* matches,
                          uint32_t* flags) {
  std::vector<uint8_t> wanted;
  if (SysError err = common::PublicKeyBits(spki, &wanted); err != kErrorSuccess) return err;
  // Run before every signature that uses a kept store: the key is read once, container and all.
  std::unique_ptr<KeyContext> context;
  if (SysError err = posix::AcquireLinkedKeyLazily(link, &context); err != kErrorSuccess) {
    return err;
  }
  // The stored public key is the RSAPublicKey that a SubjectPublicKeyInfo's bits hold.
  std::vector<uint8_t> own;
  uint32_t ownFlags = 0;
  if (SysError err = posix::StoredPublicKey(*context, link.keySpec, &own, &ownFlags);
      err != kErrorSuccess) {
    return err;
  }
  *matches = own == wanted;
  if (flags != nullptr) *flags = ownFlags;
  return kErrorSuccess;
}

SysError SignHashWithKey(const KeyProvInfo& link, uint32_t hashAlg, std::span<const uint8_t> hash,
                         std::vector<uint8_t>* signature) {
  std::unique_ptr<KeyContext> context;
  if (SysError err = AcquireKeyContext(link, &context); err != kErrorSuccess) return err;
  return context->SignHash(link.keySpec, hashAlg, hash, 0, signature);
}

}  // namespace zyq::platform
