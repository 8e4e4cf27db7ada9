// PKCS#12 files through CryptoAPI's PFX functions.
//
// Import: PFXImportCertStore brings the keys in exportable; each key, its private exponent and
// CRT values checked against its primes (RsaPrivateValues.h), is then moved into a key
// container of the port's own naming (a fresh UUID, or the container that holds the same key
// already) with the key spec and flags asked for, and the certificate's link is set to it.
// That keeps one container per key on every system: some place every imported key in one
// default container with key spec 3, where the next import overwrites the previous one.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/CryptoKeys.h"
#include "platform/Pkcs12.h"
#include "platform/common/certs/Pkcs12Encoding.h"
#include "platform/win32/WinHandles.h"
#include "platform/win32/keys/KeyBlobs.h"
#include "platform/win32/keys/RsaPrivateValues.h"

namespace zyq::platform {
namespace {

using win32::LastError;
using win32::StoreOwner;

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The password as the PFX functions take it: a NUL-terminated wide text, or NULL.
class WidePassword {
 public:
  explicit WidePassword(PfxPassword password) : present_(password.has_value()) {
    if (present_) text_.assign(password->begin(), password->end());
  }
  ~WidePassword() { SecureWipe(text_.data(), text_.size() * sizeof(wchar_t)); }
  LPCWSTR get() const { return present_ ? text_.c_str() : nullptr; }

 private:
  bool present_;
  std::wstring text_;
};

std::optional<KeyProvInfo> KeyLinkOf(PCCERT_CONTEXT ctx) {
  DWORD size = 0;
  if (!CertGetCertificateContextProperty(ctx, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) {
    return std::nullopt;
  }
  std::vector<uint8_t> buffer(size);
  if (!CertGetCertificateContextProperty(ctx, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &size)) {
    return std::nullopt;
  }
  const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(buffer.data());
  KeyProvInfo link;
  if (info->pwszContainerName) link.containerName = win32::WideToAnsiW(info->pwszContainerName);
  if (info->pwszProvName) link.providerName = win32::WideToAnsiW(info->pwszProvName);
  link.providerType = info->dwProvType;
  link.flags = info->dwFlags;
  link.keySpec = info->dwKeySpec;
  return link;
}

// Imports into a CryptoAPI store; a NULL result with error 0 is a wrong password (what some
// systems report for it, where Windows gives ERROR_INVALID_PASSWORD).
SysError SystemImport(ByteView blob, PfxPassword password, DWORD flags, StoreOwner* store) {
  CRYPT_DATA_BLOB data{static_cast<DWORD>(blob.size()), const_cast<BYTE*>(blob.data())};
  WidePassword wide(password);
  SetLastError(0);
  store->Reset(PFXImportCertStore(&data, wide.get(), flags));
  if (*store) return kErrorSuccess;
  const DWORD e = GetLastError();
  if (e == 0 || e == ERROR_INVALID_PASSWORD) return kErrorInvalidPassword;
  return e;
}

// One key of a system import as PKCS#8, its private exponent and CRT values checked against its
// primes first: a system import may leave them unwritten (RsaPrivateValues.h).
SysError ExportSystemKey(const KeyProvInfo& link, SecretBytes* pkcs8) {
  std::unique_ptr<KeyContext> context;
  if (SysError err = AcquireKeyContext(link, &context)) return err;
  SecretBytes blob;
  if (SysError err = context->ExportPrivateKeyBlob(link.keySpec, &blob)) return err;
  if (SysError err = win32::RestoreRsaPrivateValues(blob.bytes())) return err;
  return win32::BlobToPkcs8(blob.bytes(), pkcs8);
}

// The private key that a system import linked to a certificate. Some systems record a key spec
// other than AT_KEYEXCHANGE or AT_SIGNATURE (3) for every imported key: the container's own
// keys are then tried, exchange key first. *keySpec is the spec the key was found under.
SysError ExportImportedKey(const KeyProvInfo& link, SecretBytes* pkcs8, uint32_t* keySpec) {
  if (link.keySpec == kAtKeyExchange || link.keySpec == kAtSignature) {
    *keySpec = link.keySpec;
    return ExportSystemKey(link, pkcs8);
  }
  SysError err = kNteNoKey;
  for (uint32_t spec : {kAtKeyExchange, kAtSignature}) {
    KeyProvInfo candidate = link;
    candidate.keySpec = spec;
    err = ExportSystemKey(candidate, pkcs8);
    if (err == kErrorSuccess) {
      *keySpec = spec;
      return err;
    }
  }
  return err;
}

// Deletes the containers that a system import made.
void DeleteImportedContainers(HCERTSTORE store) {
  PCCERT_CONTEXT ctx = nullptr;
  while ((ctx = CertEnumCertificatesInStore(store, ctx)) != nullptr) {
    if (auto link = KeyLinkOf(ctx)) {
      std::unique_ptr<KeyContext> gone;
      AcquireKeyContext(link->containerName, link->providerName, link->providerType,
                        kCryptDeleteKeyset | (link->flags & kCryptMachineKeyset), &gone);
    }
  }
}

}  // namespace

bool IsPfxBlob(ByteView blob) {
  if (blob.size() > kMaxEncodedSize) return false;
  CRYPT_DATA_BLOB data{static_cast<DWORD>(blob.size()), const_cast<BYTE*>(blob.data())};
  return PFXIsPFXBlob(&data) != FALSE;
}

bool VerifyPfxPassword(ByteView blob, PfxPassword password, SysError* error) {
  SysError ignored = 0;
  SysError& err = error != nullptr ? *error : ignored;
  if (!IsPfxBlob(blob)) {
    err = kCryptEAsn1Badtag;
    return false;
  }
  CRYPT_DATA_BLOB data{static_cast<DWORD>(blob.size()), const_cast<BYTE*>(blob.data())};
  WidePassword wide(password);
  if (PFXVerifyPassword(&data, wide.get(), 0)) return true;
  // Some systems answer FALSE for every password without checking; the import decides then.
  StoreOwner store;
  err = SystemImport(blob, password, 0, &store);
  if (err != kErrorSuccess) return false;
  DeleteImportedContainers(store.get());
  return true;
}

SysError ImportPfx(ByteView blob, PfxPassword password, uint32_t flags, CertStore* out,
                   std::vector<KeyProvInfo>* created) {
  if (created != nullptr) created->clear();
  constexpr uint32_t kKnown = kPfxExportable | kPfxUserProtected | kPfxMachineKeyset |
                              kPfxUserKeyset | kPfxAllowOverwriteKey;
  if ((flags & ~kKnown) != 0) return kNteBadFlags;
  if (!IsPfxBlob(blob)) return kCryptEAsn1Badtag;
  StoreOwner imported;
  if (SysError err = SystemImport(blob, password, CRYPT_EXPORTABLE, &imported)) return err;

  // First every certificate with the private key the system import linked to it...
  struct PendingKey {
    CertContext cert;
    SecretBytes pkcs8;
    uint32_t keySpec = kAtKeyExchange;
    ProviderInfo provider;
  };
  CertStore result = CertStore::OpenMemory();
  std::vector<PendingKey> keys;
  std::vector<KeyProvInfo> systemContainers;
  SysError failure = kErrorSuccess;
  PCCERT_CONTEXT ctx = nullptr;
  while (failure == kErrorSuccess &&
         (ctx = CertEnumCertificatesInStore(imported.get(), ctx)) != nullptr) {
    PendingKey pending;
    failure = result.AddEncoded(ByteView(ctx->pbCertEncoded, ctx->cbCertEncoded),
                                kCertStoreAddAlways, &pending.cert);
    if (failure != kErrorSuccess) break;
    const std::optional<KeyProvInfo> systemLink = KeyLinkOf(ctx);
    if (!systemLink) continue;
    failure = ExportImportedKey(*systemLink, &pending.pkcs8, &pending.keySpec);
    if (failure != kErrorSuccess) break;
    if (FindProvider(systemLink->providerName, &pending.provider) != kErrorSuccess ||
        pending.provider.type != systemLink->providerType) {
      pending.provider = ProviderInfo{kMsEnhancedProv, kProvRsaFull};
    }
    keys.push_back(std::move(pending));
    systemContainers.push_back(*systemLink);
  }
  if (ctx != nullptr) CertFreeCertificateContext(ctx);
  // ...then the containers the system import made are removed, before the keys are imported
  // again: the import reuses a container that holds the same key, and must not pick those (some
  // systems import every key into the user's default container, where the next import
  // overwrites it)...
  for (const KeyProvInfo& link : systemContainers) {
    std::unique_ptr<KeyContext> gone;
    AcquireKeyContext(link.containerName, link.providerName, link.providerType,
                      kCryptDeleteKeyset | (link.flags & kCryptMachineKeyset), &gone);
  }
  // ...and each key goes into a container of the port's naming, linked to its certificate.
  std::vector<KeyProvInfo> made;
  for (PendingKey& pending : keys) {
    if (failure != kErrorSuccess) break;
    KeyProvInfo link;
    bool fresh = false;
    failure = ImportPrivateKey(pending.pkcs8.bytes(), pending.provider.name, pending.provider.type,
                               pending.keySpec, flags & (kPfxExportable | kPfxUserProtected), &link,
                               &fresh);
    if (failure == kNteBadFlags && (flags & kPfxUserProtected) != 0) {
      // A provider that refuses protected keys gets the key unprotected; the dialog host's
      // key-access prompt stands in for the protection prompt.
      failure =
          ImportPrivateKey(pending.pkcs8.bytes(), pending.provider.name, pending.provider.type,
                           pending.keySpec, flags & kPfxExportable, &link, &fresh);
    }
    if (failure == kErrorSuccess && fresh) made.push_back(link);
    if (failure == kErrorSuccess) failure = pending.cert.SetKeyLink(link);
  }
  if (failure != kErrorSuccess) {
    DeleteKeyContainers(made);
    return failure;
  }
  *out = std::move(result);
  if (created != nullptr) *created = std::move(made);
  return kErrorSuccess;
}

SysError ExportPfx(const CertStore& store, PfxPassword password, uint32_t flags, Bytes* out) {
  if (!store.isOpen()) return kErrorInvalidHandle;
  constexpr uint32_t kKnown =
      kReportNoPrivateKey | kReportNotAbleToExportPrivateKey | kExportPrivateKeys;
  if ((flags & ~kKnown) != 0) return kNteBadFlags;
  std::vector<CertContext> certs;
  if (SysError err = store.Enumerate(&certs)) return err;

  // The certificates with their key links in a CryptoAPI memory store.
  StoreOwner memory(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!memory) return LastError();
  for (const CertContext& c : certs) {
    win32::CertOwner added;
    if (!CertAddEncodedCertificateToStore(memory.get(), kEncoding, c.encoded().data(),
                                          static_cast<DWORD>(c.encoded().size()),
                                          CERT_STORE_ADD_ALWAYS, added.out())) {
      return LastError();
    }
    if (c.keyLink()) {
      std::wstring container = win32::AnsiToWideW(c.keyLink()->containerName);
      std::wstring provider = win32::AnsiToWideW(c.keyLink()->providerName);
      CRYPT_KEY_PROV_INFO info{};
      info.pwszContainerName = container.data();
      info.pwszProvName = provider.data();
      info.dwProvType = c.keyLink()->providerType;
      info.dwFlags = c.keyLink()->flags;
      info.dwKeySpec = c.keyLink()->keySpec;
      if (!CertSetCertificateContextProperty(added.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info)) {
        return LastError();
      }
    }
  }

  WidePassword wide(password);
  CRYPT_DATA_BLOB pfx{0, nullptr};
  SetLastError(0);
  if (PFXExportCertStoreEx(memory.get(), &pfx, wide.get(), nullptr, flags) && pfx.cbData > 0) {
    Bytes bytes(pfx.cbData);
    pfx.pbData = bytes.data();
    if (!PFXExportCertStoreEx(memory.get(), &pfx, wide.get(), nullptr, flags)) return LastError();
    bytes.resize(pfx.cbData);
    *out = std::move(bytes);
    return kErrorSuccess;
  }
  const DWORD e = GetLastError();
  // A system whose export is a stub answers FALSE (or an empty size) and leaves no error: the
  // file is written by the project's own encoder, in the form Windows writes.
  if (e != 0) return e;
  return common::WritePkcs12(certs, password, flags, out);
}

}  // namespace zyq::platform
