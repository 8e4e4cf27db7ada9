// CertContext and CertStore handles, and the disposition rules of adding to a store.
#include <algorithm>

#include "platform/CertStores.h"
#include "platform/common/certs/StoreBackend.h"

namespace zyq::platform {

namespace detail {

CertContext StoreBackend::MakeContext(const StoredEntry& entry,
                                      std::shared_ptr<const DecodedCertificate> decoded) {
  CertContext ctx;
  if (decoded == nullptr) {
    auto cert = std::make_shared<DecodedCertificate>();
    if (DecodeCertificate(entry.encoded, cert.get()) != kErrorSuccess) return ctx;
    decoded = std::move(cert);
  }
  ctx.cert_ = std::move(decoded);
  ctx.keyLink_ = entry.keyLink;
  ctx.owner_ = shared_from_this();
  ctx.entryId_ = entry.id;
  return ctx;
}

SysError StoreBackend::Enumerate(std::vector<CertContext>* out) {
  std::vector<StoredEntry> entries;
  if (SysError err = ListEntries(&entries)) return err;
  out->clear();
  for (const StoredEntry& e : entries) {
    CertContext ctx = MakeContext(e);
    // An entry that no longer decodes (written by something else) is passed over.
    if (!ctx.empty()) out->push_back(std::move(ctx));
  }
  return kErrorSuccess;
}

SysError StoreBackend::Add(const DecodedCertificate& cert, const std::optional<KeyProvInfo>& link,
                           uint32_t disposition, CertContext* added) {
  if (disposition < kCertStoreAddNew ||
      disposition > kCertStoreAddReplaceExistingInheritProperties) {
    return kEInvalidArg;
  }
  StoredEntry result;
  const SysError err = Atomically([&]() -> SysError {
    std::optional<StoredEntry> existing;
    if (disposition != kCertStoreAddAlways) {
      if (SysError e = FindEntry(cert.issuer, cert.serialNumber, &existing)) return e;
    }
    if (!existing) {
      result.encoded = cert.encoded;
      result.keyLink = link;
      return InsertEntry(cert, link, &result.id);
    }
    result.id = existing->id;
    switch (disposition) {
      case kCertStoreAddNew:
        return kCryptEExists;
      case kCertStoreAddUseExisting:
        result.encoded = existing->encoded;
        result.keyLink = existing->keyLink ? existing->keyLink : link;
        if (!existing->keyLink && link) return UpdateKeyLink(existing->id, link);
        return kErrorSuccess;
      case kCertStoreAddReplaceExisting:
        result.encoded = cert.encoded;
        result.keyLink = link;
        return ReplaceEntry(existing->id, cert, link);
      default:  // replace, inheriting the properties the new certificate lacks
        result.encoded = cert.encoded;
        result.keyLink = link ? link : existing->keyLink;
        return ReplaceEntry(existing->id, cert, result.keyLink);
    }
  });
  if (err) return err;
  if (added) *added = MakeContext(result);
  return kErrorSuccess;
}

SysError StoreBackend::Delete(const CertContext& cert) {
  if (cert.owner_.get() == this) return RemoveEntry(cert.entryId_);
  return Atomically([&]() -> SysError {
    std::optional<StoredEntry> existing;
    if (SysError e = FindEntry(cert.cert().issuer, cert.cert().serialNumber, &existing)) return e;
    if (!existing) return kCryptENotFound;
    return RemoveEntry(existing->id);
  });
}

SysError StoreBackend::FindExisting(const DecodedCertificate& cert, CertContext* found) {
  std::optional<StoredEntry> existing;
  if (SysError e = FindEntry(cert.issuer, cert.serialNumber, &existing)) return e;
  if (!existing) return kCryptENotFound;
  *found = MakeContext(*existing);
  return found->empty() ? kCryptENotFound : kErrorSuccess;
}

SysError StoreBackend::SetKeyLink(int64_t id, const std::optional<KeyProvInfo>& link) {
  return UpdateKeyLink(id, link);
}

}  // namespace detail

SysError CertContext::FromEncoded(ByteView der, CertContext* out) {
  auto cert = std::make_shared<DecodedCertificate>();
  if (SysError err = DecodeCertificate(der, cert.get())) return err;
  *out = CertContext{};
  out->cert_ = std::move(cert);
  return kErrorSuccess;
}

SysError CertContext::SetKeyLink(const std::optional<KeyProvInfo>& link) {
  if (empty()) return kEInvalidArg;
  if (owner_) {
    if (SysError err = owner_->SetKeyLink(entryId_, link)) return err;
  }
  keyLink_ = link;
  return kErrorSuccess;
}

SysError CertStore::OpenSystem(std::string_view name, CertStore* out) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return kErrorInvalidParameter;
  std::string upper(name);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  std::shared_ptr<detail::StoreBackend> backend;
  if (SysError err = detail::OpenDatabaseBackend(upper, &backend)) return err;
  out->backend_ = std::move(backend);
  return kErrorSuccess;
}

CertStore CertStore::OpenMemory() {
  CertStore store;
  store.backend_ = detail::NewMemoryBackend();
  return store;
}

std::string CertStore::name() const {
  return backend_ ? backend_->Name() : std::string();
}

SysError CertStore::Enumerate(std::vector<CertContext>* out) const {
  if (!backend_) return kErrorInvalidHandle;
  return backend_->Enumerate(out);
}

SysError CertStore::Add(const CertContext& cert, uint32_t disposition, CertContext* added) const {
  if (!backend_) return kErrorInvalidHandle;
  if (cert.empty()) return kEInvalidArg;
  return backend_->Add(cert.cert(), cert.keyLink(), disposition, added);
}

SysError CertStore::AddEncoded(ByteView der, uint32_t disposition, CertContext* added) const {
  if (!backend_) return kErrorInvalidHandle;
  CertContext ctx;
  if (SysError err = CertContext::FromEncoded(der, &ctx)) return err;
  return backend_->Add(ctx.cert(), std::nullopt, disposition, added);
}

SysError CertStore::Delete(const CertContext& cert) const {
  if (!backend_) return kErrorInvalidHandle;
  if (cert.empty()) return kEInvalidArg;
  return backend_->Delete(cert);
}

SysError CertStore::FindExisting(const CertContext& cert, CertContext* found) const {
  if (!backend_) return kErrorInvalidHandle;
  if (cert.empty()) return kEInvalidArg;
  return backend_->FindExisting(cert.cert(), found);
}

}  // namespace zyq::platform
