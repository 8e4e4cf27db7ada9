// Key containers of the installed cryptographic service providers, through CryptoAPI.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/CryptoKeys.h"
#include "platform/common/keys/PublicKeyInfo.h"
#include "platform/win32/WinHandles.h"
#include "platform/win32/keys/KeyBlobs.h"

namespace zyq::platform {
namespace {

using win32::HashOwner;
using win32::KeyOwner;
using win32::LastError;
using win32::ProvOwner;

size_t HashSize(uint32_t hashAlg) {
  switch (hashAlg) {
    case kCalgMd5:
      return 16;
    case kCalgSha1:
      return 20;
    case kCalgSslShaMd5:
      return 36;
    case kCalgSha256:
      return 32;
    case kCalgSha384:
      return 48;
    case kCalgSha512:
      return 64;
    default:
      return 0;
  }
}

std::string ProvText(HCRYPTPROV prov, DWORD param) {
  DWORD size = 0;
  if (!CryptGetProvParam(prov, param, nullptr, &size, 0) || size == 0) return {};
  std::string text(size, '\0');
  if (!CryptGetProvParam(prov, param, reinterpret_cast<BYTE*>(text.data()), &size, 0)) return {};
  text.resize(strnlen(text.c_str(), size));
  return text;
}

class WindowsKeyContext final : public KeyContext {
 public:
  WindowsKeyContext(ProvOwner prov, std::string provider, uint32_t type, uint32_t flags,
                    bool verify)
      : prov_(std::move(prov)),
        provider_(std::move(provider)),
        type_(type),
        flags_(flags & (kCryptMachineKeyset | kCryptSilent)),
        verify_(verify) {
    if (provider_.empty()) provider_ = ProvText(prov_.get(), PP_NAME);
    if (!verify_) container_ = ProvText(prov_.get(), PP_CONTAINER);
  }

  const std::string& ProviderName() const override { return provider_; }
  uint32_t ProviderType() const override { return type_; }
  const std::string& ContainerName() const override { return container_; }
  bool IsVerifyContext() const override { return verify_; }

  SysError GenerateKey(uint32_t keySpec, uint32_t flags) override {
    if (keySpec != kAtKeyExchange && keySpec != kAtSignature) return kNteBadAlgid;
    if (verify_) return kNtePerm;
    KeyOwner key;
    if (!CryptGenKey(prov_.get(), keySpec, flags, key.out())) return LastError();
    key.Reset();
    return Reopen();
  }

  SysError GetKeyInfo(uint32_t keySpec, KeyPairInfo* info) override {
    KeyOwner key;
    if (SysError err = UserKey(keySpec, &key)) return err;
    DWORD bits = 0, permissions = 0, algorithm = 0, size = sizeof(DWORD);
    CryptGetKeyParam(key.get(), KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &size, 0);
    size = sizeof(DWORD);
    CryptGetKeyParam(key.get(), KP_PERMISSIONS, reinterpret_cast<BYTE*>(&permissions), &size, 0);
    size = sizeof(DWORD);
    CryptGetKeyParam(key.get(), KP_ALGID, reinterpret_cast<BYTE*>(&algorithm), &size, 0);
    info->keySpec = keySpec;
    info->bits = bits;
    info->flags = (permissions & CRYPT_EXPORT) != 0 ? kCryptExportable : 0;
    info->algorithm = algorithm;
    return kErrorSuccess;
  }

  SysError ExportPublicKeyInfo(uint32_t keySpec, std::vector<uint8_t>* spki) override {
    KeyOwner key;
    if (SysError err = UserKey(keySpec, &key)) return err;
    std::vector<uint8_t> blob;
    if (SysError err = Export(key.get(), PUBLICKEYBLOB, &blob)) return err;
    std::vector<uint8_t> rsaPublicKey;
    if (SysError err = win32::BlobToRsaPublicKey(blob, &rsaPublicKey)) return err;
    *spki = common::RsaPublicKeyInfo(rsaPublicKey);
    return kErrorSuccess;
  }

  SysError ExportPrivateKeyBlob(uint32_t keySpec, SecretBytes* blob) override {
    KeyOwner key;
    if (SysError err = UserKey(keySpec, &key)) return err;
    std::vector<uint8_t> bytes;
    const SysError err = Export(key.get(), PRIVATEKEYBLOB, &bytes);
    SecretBytes owned(std::vector<unsigned char>(bytes.begin(), bytes.end()));
    SecureWipe(bytes.data(), bytes.size());
    if (err != kErrorSuccess) return err;
    *blob = std::move(owned);
    return kErrorSuccess;
  }

  SysError ExportPrivateKeyPkcs8(uint32_t keySpec, SecretBytes* pkcs8) override {
    SecretBytes blob;
    if (SysError err = ExportPrivateKeyBlob(keySpec, &blob)) return err;
    return win32::BlobToPkcs8(blob.bytes(), pkcs8);
  }

  SysError SignHash(uint32_t keySpec, uint32_t hashAlg, std::span<const uint8_t> hash,
                    uint32_t flags, std::vector<uint8_t>* signature) override {
    if (keySpec != kAtKeyExchange && keySpec != kAtSignature) return kNteBadAlgid;
    const size_t expected = HashSize(hashAlg);
    if (expected == 0) return kNteBadAlgid;
    HashOwner h;
    if (!CryptCreateHash(prov_.get(), hashAlg, 0, 0, h.out())) return LastError();
    if (hash.size() != expected) return kNteBadHash;
    if (!CryptSetHashParam(h.get(), HP_HASHVAL, hash.data(), 0)) return LastError();
    DWORD size = 0;
    if (!CryptSignHashA(h.get(), keySpec, nullptr, flags, nullptr, &size)) return LastError();
    std::vector<uint8_t> sig(size);
    if (!CryptSignHashA(h.get(), keySpec, nullptr, flags, sig.data(), &size)) return LastError();
    sig.resize(size);
    *signature = std::move(sig);
    return kErrorSuccess;
  }

  SysError EnumContainers(std::vector<std::string>* names) override {
    std::vector<std::string> out;
    DWORD max = 0;
    if (!CryptGetProvParam(prov_.get(), PP_ENUMCONTAINERS, nullptr, &max, CRYPT_FIRST)) {
      const DWORD e = GetLastError();
      if (e == ERROR_NO_MORE_ITEMS) {
        names->clear();
        return kErrorSuccess;
      }
      return e != 0 ? e : kErrorGenFailure;
    }
    std::string name(std::max<DWORD>(max, MAX_PATH) + 1, '\0');
    for (DWORD flag = CRYPT_FIRST;; flag = CRYPT_NEXT) {
      DWORD n = static_cast<DWORD>(name.size());
      if (!CryptGetProvParam(prov_.get(), PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(name.data()),
                             &n, flag)) {
        const DWORD e = GetLastError();
        if (e == ERROR_NO_MORE_ITEMS) break;
        return e != 0 ? e : kErrorGenFailure;
      }
      out.emplace_back(name.c_str());
    }
    *names = std::move(out);
    return kErrorSuccess;
  }

 private:
  SysError UserKey(uint32_t keySpec, KeyOwner* key) {
    if (keySpec != kAtKeyExchange && keySpec != kAtSignature) return kNteNoKey;
    if (verify_) return kNteNoKey;
    if (!CryptGetUserKey(prov_.get(), keySpec, key->out())) return LastError();
    return kErrorSuccess;
  }

  // Opens the container again. Some providers write a new key to the container's storage only
  // when the handle that made it is released; until then other handles (and other processes)
  // see the container without it.
  SysError Reopen() {
    ProvOwner again;
    prov_.Reset();
    if (!CryptAcquireContextA(again.out(), container_.c_str(), provider_.c_str(), type_, flags_)) {
      return LastError();
    }
    prov_ = std::move(again);
    return kErrorSuccess;
  }

  static SysError Export(HCRYPTKEY key, DWORD type, std::vector<uint8_t>* out) {
    DWORD size = 0;
    if (!CryptExportKey(key, 0, type, 0, nullptr, &size)) return LastError();
    std::vector<uint8_t> bytes(size);
    if (!CryptExportKey(key, 0, type, 0, bytes.data(), &size)) {
      SecureWipe(bytes.data(), bytes.size());
      return LastError();
    }
    bytes.resize(size);
    *out = std::move(bytes);
    return kErrorSuccess;
  }

  ProvOwner prov_;
  std::string provider_;
  std::string container_;
  uint32_t type_;
  uint32_t flags_;
  bool verify_;
};

}  // namespace

SysError AcquireKeyContext(std::string_view container, std::string_view provider,
                           uint32_t providerType, uint32_t flags,
                           std::unique_ptr<KeyContext>* context) {
  if (providerType == 0 || providerType > kMaxProvType) return kNteBadProvType;
  const bool verify = (flags & kCryptVerifyContext) == kCryptVerifyContext;
  if (verify && !container.empty()) return kNteBadFlags;
  if (container.size() > 260 || container.find('\0') != std::string_view::npos) {
    return kNteBadKeysetParam;
  }
  const std::string c(container), p(provider);
  ProvOwner prov;
  if (!CryptAcquireContextA(prov.out(), c.empty() ? nullptr : c.c_str(),
                            p.empty() ? nullptr : p.c_str(), providerType, flags)) {
    return LastError();
  }
  if ((flags & kCryptDeleteKeyset) != 0) {
    prov.release();  // the deletion released the context
    context->reset();
    return kErrorSuccess;
  }
  *context = std::make_unique<WindowsKeyContext>(std::move(prov), p, providerType, flags, verify);
  return kErrorSuccess;
}

SysError AcquireKeyContext(const KeyProvInfo& link, std::unique_ptr<KeyContext>* context) {
  return AcquireKeyContext(link.containerName, link.providerName, link.providerType, link.flags,
                           context);
}

}  // namespace zyq::platform
