// Provider contexts over the key tables: CryptAcquireContext, CryptGenKey, CryptGetUserKey,
// CryptExportPublicKeyInfo, CryptExportKey, CryptSignHash and PP_ENUMCONTAINERS.
#include <algorithm>
#include <array>
#include <span>

#include "platform/common/keys/PublicKeyInfo.h"
#include "platform/posix/keys/KeyCache.h"
#include "platform/posix/keys/KeyContextPosix.h"
#include "platform/posix/keys/KeyRules.h"
#include "platform/posix/keys/KeyStore.h"
#include "platform/posix/keys/RsaKey.h"

namespace zyq::platform {
namespace {

using posix::StateDatabase;
using posix::StoredKeyPair;

constexpr size_t kMaxContainerName = 260;  // MAX_PATH

// The DigestInfo prefix (algorithm identifier with NULL parameters, then the OCTET STRING
// header) and the value length of each hash algorithm that can be signed. Constant data with no
// destructor: a thread still signing while another runs the process's exit handlers reads it
// safely.
constexpr uint8_t kMd5Prefix[] = {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                  0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
constexpr uint8_t kSha1Prefix[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E,
                                   0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14};
constexpr uint8_t kSha256Prefix[] = {0x30, 0x31, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                     0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
constexpr uint8_t kSha384Prefix[] = {0x30, 0x41, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                     0x65, 0x03, 0x04, 0x02, 0x02, 0x05, 0x00, 0x04, 0x30};
constexpr uint8_t kSha512Prefix[] = {0x30, 0x51, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                     0x65, 0x03, 0x04, 0x02, 0x03, 0x05, 0x00, 0x04, 0x40};

struct HashRule {
  uint32_t algorithm;
  size_t valueLength;
  std::span<const uint8_t> prefix;
  bool aesProviderOnly;
};

constexpr HashRule kHashRules[] = {
    {kCalgMd5, 16, kMd5Prefix, false},      {kCalgSha1, 20, kSha1Prefix, false},
    {kCalgSslShaMd5, 36, {}, false},        {kCalgSha256, 32, kSha256Prefix, true},
    {kCalgSha384, 48, kSha384Prefix, true}, {kCalgSha512, 64, kSha512Prefix, true},
};

const HashRule* FindHashRule(uint32_t algorithm) {
  for (const HashRule& rule : kHashRules) {
    if (rule.algorithm == algorithm) return &rule;
  }
  return nullptr;
}

bool ValidKeySpec(uint32_t keySpec) {
  return keySpec == kAtKeyExchange || keySpec == kAtSignature;
}

class PosixKeyContext final : public KeyContext {
 public:
  PosixKeyContext(ProviderInfo provider, std::string container, bool verify, bool silent)
      : provider_(std::move(provider)),
        container_(std::move(container)),
        verify_(verify),
        silent_(silent) {}

  const std::string& ProviderName() const override { return provider_.name; }
  uint32_t ProviderType() const override { return provider_.type; }
  const std::string& ContainerName() const override { return container_; }
  bool IsVerifyContext() const override { return verify_; }

  SysError GenerateKey(uint32_t keySpec, uint32_t flags) override {
    if (!ValidKeySpec(keySpec)) return kNteBadAlgid;
    if ((flags & 0xFFFF) & ~(kCryptExportable | kCryptUserProtected)) return kNteBadFlags;
    if (verify_) return kNtePerm;
    uint32_t bits = flags >> 16;
    if (bits == 0) bits = posix::DefaultKeyBits(provider_);
    if (SysError err = posix::CheckGeneratedKeyBits(provider_, keySpec, bits);
        err != kErrorSuccess) {
      return err;
    }
    posix::RsaKeyRecord key;
    if (SysError err = posix::GenerateRsaKey(bits, &key); err != kErrorSuccess) return err;
    return posix::KeyDatabaseWrite([&](StateDatabase& db) {
      posix::ContainerRow row;
      if (SysError err = posix::FindContainer(db, provider_.name, container_, &row);
          err != kErrorSuccess) {
        return err;
      }
      return posix::SaveKeyPair(db, row.id, keySpec,
                                flags & (kCryptExportable | kCryptUserProtected), key);
    });
  }

  SysError GetKeyInfo(uint32_t keySpec, KeyPairInfo* info) override {
    StoredKeyPair pair;
    if (SysError err = Load(keySpec, false, &pair); err != kErrorSuccess) return err;
    info->keySpec = keySpec;
    info->bits = pair.bits;
    info->flags = pair.flags;
    info->algorithm = keySpec == kAtKeyExchange ? kCalgRsaKeyx : kCalgRsaSign;
    return kErrorSuccess;
  }

  SysError ExportPublicKeyInfo(uint32_t keySpec, std::vector<uint8_t>* spki) override {
    StoredKeyPair pair;
    if (SysError err = Load(keySpec, false, &pair); err != kErrorSuccess) return err;
    *spki = common::RsaPublicKeyInfo(pair.publicKey);
    return kErrorSuccess;
  }

  SysError ExportPublicKey(uint32_t keySpec, std::vector<uint8_t>* publicKey, uint32_t* flags) {
    StoredKeyPair pair;
    if (SysError err = Load(keySpec, false, &pair); err != kErrorSuccess) return err;
    *publicKey = std::move(pair.publicKey);
    *flags = pair.flags;
    return kErrorSuccess;
  }

  SysError ExportPrivateKeyBlob(uint32_t keySpec, SecretBytes* blob) override {
    StoredKeyPair pair;
    if (SysError err = LoadForExport(keySpec, &pair); err != kErrorSuccess) return err;
    return posix::RsaPrivateKeyBlob(pair.pkcs8.bytes(),
                                    keySpec == kAtKeyExchange ? kCalgRsaKeyx : kCalgRsaSign, blob);
  }

  SysError ExportPrivateKeyPkcs8(uint32_t keySpec, SecretBytes* pkcs8) override {
    StoredKeyPair pair;
    if (SysError err = LoadForExport(keySpec, &pair); err != kErrorSuccess) return err;
    *pkcs8 = std::move(pair.pkcs8);
    return kErrorSuccess;
  }

  SysError SignHash(uint32_t keySpec, uint32_t hashAlg, std::span<const uint8_t> hash,
                    uint32_t flags, std::vector<uint8_t>* signature) override {
    if (!ValidKeySpec(keySpec)) return kNteBadAlgid;
    if (flags & ~kCryptNoHashOid) return kNteBadFlags;
    const HashRule* rule = FindHashRule(hashAlg);
    if (rule == nullptr || (rule->aesProviderOnly && provider_.type != kProvRsaAes)) {
      return kNteBadAlgid;
    }
    if (hash.size() != rule->valueLength) return kNteBadHash;
    std::shared_ptr<const posix::RsaSigningKey> key;
    if (SysError err = LoadSigningKey(keySpec, &key); err != kErrorSuccess) return err;
    std::vector<uint8_t> block;
    if ((flags & kCryptNoHashOid) == 0) block.assign(rule->prefix.begin(), rule->prefix.end());
    block.insert(block.end(), hash.begin(), hash.end());
    std::vector<uint8_t> bigEndian;
    if (SysError err = key->SignPkcs1(block, &bigEndian); err != kErrorSuccess) return err;
    std::reverse(bigEndian.begin(), bigEndian.end());
    *signature = std::move(bigEndian);
    return kErrorSuccess;
  }

  SysError EnumContainers(std::vector<std::string>* names) override {
    return posix::KeyDatabaseRead(
        [&](StateDatabase& db) { return posix::ListContainers(db, provider_.name, names); });
  }

 private:
  SysError Load(uint32_t keySpec, bool withPrivateKey, StoredKeyPair* pair) {
    if (verify_ || !ValidKeySpec(keySpec)) return kNteNoKey;
    return posix::KeyDatabaseRead([&](StateDatabase& db) {
      const SysError err =
          posix::LoadKeyPair(db, provider_.name, container_, keySpec, withPrivateKey, pair);
      if (err == kNteBadKeyset) posix::ForgetCachedKeys(db.folder(), provider_.name, container_);
      return err;
    });
  }

  // The private key to sign with, after the user agreed when the key is user-protected: the
  // key decoded before while the container has not changed since, else the stored key decoded
  // now (and kept for the next signature).
  SysError LoadSigningKey(uint32_t keySpec, std::shared_ptr<const posix::RsaSigningKey>* key) {
    if (verify_) return kNteNoKey;
    posix::SigningKeyRow row;
    std::string folder;
    SysError err = posix::KeyDatabaseRead([&](StateDatabase& db) {
      const auto need = [&](int64_t containerId, int64_t generation) {
        *key = posix::FindCachedKey({db.folder(), provider_.name, container_, containerId, keySpec},
                                    generation);
        if (*key) return false;
        folder = db.folder();
        return true;
      };
      const SysError loaded =
          posix::LoadSigningKey(db, provider_.name, container_, keySpec, need, &row);
      if (loaded == kNteBadKeyset) {
        posix::ForgetCachedKeys(db.folder(), provider_.name, container_);
      } else if (loaded == kNteNoKey) {
        posix::ForgetCachedKey(db.folder(), row.containerId, keySpec);
      }
      return loaded;
    });
    if (err == kErrorSuccess) err = posix::ConfirmPrivateKeyUse(row.flags, silent_, container_);
    if (err != kErrorSuccess || *key) return err;
    if (SysError decodeErr = posix::RsaSigningKey::Decode(row.pkcs8.bytes(), key);
        decodeErr != kErrorSuccess) {
      return decodeErr;
    }
    posix::CacheKey({folder, provider_.name, container_, row.containerId, keySpec}, row.generation,
                    *key);
    return kErrorSuccess;
  }

  // The private key for export: only for exportable keys, and only after the user agreed when
  // the key is user-protected.
  SysError LoadForExport(uint32_t keySpec, StoredKeyPair* pair) {
    if (SysError err = Load(keySpec, true, pair); err != kErrorSuccess) return err;
    if ((pair->flags & kCryptExportable) == 0) {
      pair->pkcs8.Clear();
      return kNteBadKeyState;
    }
    if (SysError err = posix::ConfirmPrivateKeyUse(pair->flags, silent_, container_);
        err != kErrorSuccess) {
      pair->pkcs8.Clear();
      return err;
    }
    return kErrorSuccess;
  }

  ProviderInfo provider_;
  std::string container_;
  bool verify_;
  bool silent_;
};

// AcquireKeyContext; with lookUpNow false, an existing container is not looked up here but at
// the context's first use, which then fails as the look-up would have (NTE_BAD_KEYSET).
SysError Acquire(std::string_view container, std::string_view provider, uint32_t providerType,
                 uint32_t flags, bool lookUpNow, std::unique_ptr<KeyContext>* context) {
  constexpr uint32_t kKnown = kCryptNewKeyset | kCryptDeleteKeyset | kCryptMachineKeyset |
                              kCryptSilent | kCryptVerifyContext;
  if (flags & ~kKnown) return kNteBadFlags;
  const uint32_t verifyBits = flags & kCryptVerifyContext;
  if (verifyBits != 0 && verifyBits != kCryptVerifyContext) return kNteBadFlags;
  const bool verify = verifyBits != 0;
  const bool silent = (flags & kCryptSilent) != 0;

  ProviderInfo found;
  if (SysError err = posix::ResolveProvider(provider, providerType, &found); err != kErrorSuccess) {
    return err;
  }

  if (verify) {
    if (!container.empty() || (flags & kCryptDeleteKeyset)) return kNteBadFlags;
    *context = std::make_unique<PosixKeyContext>(std::move(found), std::string(), true, silent);
    return kErrorSuccess;
  }
  if ((flags & kCryptNewKeyset) && (flags & kCryptDeleteKeyset)) return kNteBadFlags;

  const std::string name =
      container.empty() ? posix::DefaultContainerName() : std::string(container);
  if (name.size() > kMaxContainerName || name.find('\0') != std::string::npos) {
    return kNteBadKeysetParam;
  }

  if (flags & kCryptDeleteKeyset) {
    const SysError err = posix::KeyDatabaseWrite([&](StateDatabase& db) {
      posix::ForgetCachedKeys(db.folder(), found.name, name);
      return posix::DeleteContainer(db, found.name, name);
    });
    if (err == kErrorSuccess) context->reset();
    return err;
  }

  if (!lookUpNow && (flags & kCryptNewKeyset) == 0) {
    *context = std::make_unique<PosixKeyContext>(std::move(found), name, false, silent);
    return kErrorSuccess;
  }
  posix::ContainerRow row;
  SysError err;
  if (flags & kCryptNewKeyset) {
    err = posix::KeyDatabaseWrite(
        [&](StateDatabase& db) { return posix::CreateContainer(db, found.name, name, &row); });
  } else {
    err = posix::KeyDatabaseRead(
        [&](StateDatabase& db) { return posix::FindContainer(db, found.name, name, &row); });
  }
  if (err != kErrorSuccess) return err;
  *context = std::make_unique<PosixKeyContext>(std::move(found), row.name, false, silent);
  return kErrorSuccess;
}

}  // namespace

SysError AcquireKeyContext(std::string_view container, std::string_view provider,
                           uint32_t providerType, uint32_t flags,
                           std::unique_ptr<KeyContext>* context) {
  return Acquire(container, provider, providerType, flags, true, context);
}

SysError AcquireKeyContext(const KeyProvInfo& link, std::unique_ptr<KeyContext>* context) {
  return AcquireKeyContext(link.containerName, link.providerName, link.providerType,
                           link.flags & (kCryptSilent | kCryptMachineKeyset), context);
}

namespace posix {

SysError AcquireLinkedKeyLazily(const KeyProvInfo& link, std::unique_ptr<KeyContext>* context) {
  return Acquire(link.containerName, link.providerName, link.providerType,
                 link.flags & (kCryptSilent | kCryptMachineKeyset), false, context);
}

SysError StoredPublicKey(KeyContext& context, uint32_t keySpec, std::vector<uint8_t>* publicKey,
                         uint32_t* flags) {
  return static_cast<PosixKeyContext&>(context).ExportPublicKey(keySpec, publicKey, flags);
}

}  // namespace posix

}  // namespace zyq::platform
