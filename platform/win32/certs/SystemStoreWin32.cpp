// The current user's system certificate stores ("MY", "CA", "ROOT", ...) through CryptoAPI, as
// the storage behind CertStore::OpenSystem. Every operation opens the store afresh, so changes
// made by other processes are seen. After every change the store is committed
// (CERT_STORE_CTRL_COMMIT): some systems keep a change made to an existing certificate, or a
// deletion, only in memory until then, and the next opening would not see it.
#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <array>
#include <map>
#include <mutex>

#include "platform/common/certs/StoreBackend.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform::detail {
namespace {

using win32::CertOwner;
using win32::LastError;
using win32::StoreOwner;

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

using Thumbprint = std::array<uint8_t, 20>;

// Entry ids of this process: one per certificate (by SHA-1 thumbprint), stable while it runs.
class EntryIds {
 public:
  int64_t IdOf(const Thumbprint& t) {
    std::lock_guard lock(mutex_);
    auto [it, added] = ids_.try_emplace(t, static_cast<int64_t>(ids_.size() + 1));
    if (added) byId_[it->second] = t;
    return it->second;
  }
  bool ThumbprintOf(int64_t id, Thumbprint* t) {
    std::lock_guard lock(mutex_);
    auto it = byId_.find(id);
    if (it == byId_.end()) return false;
    *t = it->second;
    return true;
  }

 private:
  std::mutex mutex_;
  std::map<Thumbprint, int64_t> ids_;
  std::map<int64_t, Thumbprint> byId_;
};

EntryIds& Ids() {
  static EntryIds ids;
  return ids;
}

std::optional<KeyProvInfo> ReadKeyLink(PCCERT_CONTEXT ctx) {
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
  if (info->pwszContainerName != nullptr) {
    link.containerName = win32::WideToAnsiW(info->pwszContainerName);
  }
  if (info->pwszProvName != nullptr) link.providerName = win32::WideToAnsiW(info->pwszProvName);
  link.providerType = info->dwProvType;
  link.flags = info->dwFlags;
  link.keySpec = info->dwKeySpec;
  return link;
}

SysError WriteKeyLink(PCCERT_CONTEXT ctx, const std::optional<KeyProvInfo>& link) {
  if (!link) {
    return CertSetCertificateContextProperty(ctx, CERT_KEY_PROV_INFO_PROP_ID, 0, nullptr)
               ? kErrorSuccess
               : LastError();
  }
  std::wstring container = win32::AnsiToWideW(link->containerName);
  std::wstring provider = win32::AnsiToWideW(link->providerName);
  CRYPT_KEY_PROV_INFO info{};
  info.pwszContainerName = container.data();
  info.pwszProvName = provider.data();
  info.dwProvType = link->providerType;
  info.dwFlags = link->flags;
  info.dwKeySpec = link->keySpec;
  return CertSetCertificateContextProperty(ctx, CERT_KEY_PROV_INFO_PROP_ID, 0, &info)
             ? kErrorSuccess
             : LastError();
}

// Adds the certificate with its key link. The link is set on a context of its own before the
// add, so that it reaches the store with the certificate: some systems do not keep a property
// set on a context of a system store, not even after a commit.
SysError AddWithLink(HCERTSTORE store, const Bytes& encoded, const std::optional<KeyProvInfo>& link,
                     DWORD disposition, CertOwner* added) {
  CertOwner fresh(
      CertCreateCertificateContext(kEncoding, encoded.data(), static_cast<DWORD>(encoded.size())));
  if (!fresh) return LastError();
  if (link) {
    if (SysError err = WriteKeyLink(fresh.get(), link)) return err;
  }
  if (!CertAddCertificateContextToStore(store, fresh.get(), disposition, added->out())) {
    return LastError();
  }
  return kErrorSuccess;
}

Thumbprint ThumbprintOf(PCCERT_CONTEXT ctx) {
  Thumbprint t{};
  DWORD size = sizeof(t);
  CertGetCertificateContextProperty(ctx, CERT_SHA1_HASH_PROP_ID, t.data(), &size);
  return t;
}

class SystemStoreBackend final : public StoreBackend {
 public:
  explicit SystemStoreBackend(std::string name) : name_(std::move(name)) {}

  std::string Name() const override { return name_; }

 protected:
  SysError Atomically(const std::function<SysError()>& body) override {
    std::lock_guard lock(mutex_);
    return body();
  }

  SysError ListEntries(std::vector<StoredEntry>* out) override {
    StoreOwner store;
    if (SysError err = Open(&store)) return err;
    out->clear();
    PCCERT_CONTEXT ctx = nullptr;
    while ((ctx = CertEnumCertificatesInStore(store.get(), ctx)) != nullptr) {
      out->push_back(Entry(ctx));
    }
    return kErrorSuccess;
  }

  SysError FindEntry(const Bytes& issuer, const Bytes& serial,
                     std::optional<StoredEntry>* out) override {
    StoreOwner store;
    if (SysError err = Open(&store)) return err;
    CERT_INFO wanted{};
    wanted.Issuer = {static_cast<DWORD>(issuer.size()), const_cast<BYTE*>(issuer.data())};
    wanted.SerialNumber = {static_cast<DWORD>(serial.size()), const_cast<BYTE*>(serial.data())};
    CertOwner found(CertFindCertificateInStore(store.get(), kEncoding, 0, CERT_FIND_SUBJECT_CERT,
                                               &wanted, nullptr));
    out->reset();
    if (found) *out = Entry(found.get());
    return kErrorSuccess;
  }

  SysError InsertEntry(const DecodedCertificate& cert, const std::optional<KeyProvInfo>& link,
                       int64_t* id) override {
    StoreOwner store;
    if (SysError err = Open(&store)) return err;
    CertOwner added;
    if (SysError err =
            AddWithLink(store.get(), cert.encoded, link, CERT_STORE_ADD_ALWAYS, &added)) {
      return err;
    }
    *id = Ids().IdOf(ThumbprintOf(added.get()));
    return Commit(store.get());
  }

  SysError ReplaceEntry(int64_t id, const DecodedCertificate& cert,
                        const std::optional<KeyProvInfo>& link) override {
    StoreOwner store;
    if (SysError err = Open(&store)) return err;
    CertOwner old;
    if (SysError err = FindById(store.get(), id, &old)) return err;
    if (!CertDeleteCertificateFromStore(old.release())) return LastError();
    CertOwner added;
    if (SysError err =
            AddWithLink(store.get(), cert.encoded, link, CERT_STORE_ADD_ALWAYS, &added)) {
      return err;
    }
    Ids().IdOf(ThumbprintOf(added.get()));
    return Commit(store.get());
  }

  SysError UpdateKeyLink(int64_t id, const std::optional<KeyProvInfo>& link) override {
    StoreOwner store;
    if (SysError err = Open(&store)) return err;
    CertOwner ctx;
    if (SysError err = FindById(store.get(), id, &ctx)) return err;
    const Bytes encoded(ctx.get()->pbCertEncoded,
                        ctx.get()->pbCertEncoded + ctx.get()->cbCertEncoded);
    // Taken out and put back with the new link: some systems do not keep a replacement of a
    // certificate that is there already (CERT_STORE_ADD_REPLACE_EXISTING), while a deletion
    // and an add are kept.
    if (!CertDeleteCertificateFromStore(ctx.release())) return LastError();
    CertOwner replaced;
    if (SysError err = AddWithLink(store.get(), encoded, link, CERT_STORE_ADD_ALWAYS, &replaced)) {
      return err;
    }
    return Commit(store.get());
  }

  SysError RemoveEntry(int64_t id) override {
    StoreOwner store;
    if (SysError err = Open(&store)) return err;
    CertOwner ctx;
    if (SysError err = FindById(store.get(), id, &ctx)) return err;
    if (!CertDeleteCertificateFromStore(ctx.release())) return LastError();
    return Commit(store.get());
  }

 private:
  SysError Open(StoreOwner* store) const {
    store->Reset(CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                               name_.c_str()));
    return *store ? kErrorSuccess : LastError();
  }

  static SysError Commit(HCERTSTORE store) {
    CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    return kErrorSuccess;
  }

  static StoredEntry Entry(PCCERT_CONTEXT ctx) {
    StoredEntry e;
    e.encoded.assign(ctx->pbCertEncoded, ctx->pbCertEncoded + ctx->cbCertEncoded);
    e.keyLink = ReadKeyLink(ctx);
    e.id = Ids().IdOf(ThumbprintOf(ctx));
    return e;
  }

  static SysError FindById(HCERTSTORE store, int64_t id, CertOwner* out) {
    Thumbprint t;
    if (!Ids().ThumbprintOf(id, &t)) return kCryptENotFound;
    CRYPT_HASH_BLOB blob{static_cast<DWORD>(t.size()), t.data()};
    out->Reset(
        CertFindCertificateInStore(store, kEncoding, 0, CERT_FIND_SHA1_HASH, &blob, nullptr));
    return *out ? kErrorSuccess : kCryptENotFound;
  }

  std::string name_;
  std::mutex mutex_;
};

}  // namespace

SysError OpenDatabaseBackend(const std::string& name, std::shared_ptr<StoreBackend>* out) {
  StoreOwner probe(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, name.c_str()));
  if (!probe) return LastError();
  *out = std::make_shared<SystemStoreBackend>(name);
  return kErrorSuccess;
}

}  // namespace zyq::platform::detail
