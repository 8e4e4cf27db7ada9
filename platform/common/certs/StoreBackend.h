// The storage behind a CertStore handle: entries (certificate encoding and key link) with a
// stable order, kept in memory or in the state database. The disposition rules of an add are
// written once here over a few primitive operations that each backend provides; a backend runs
// a whole add under its lock (memory) or inside one transaction (database), so concurrent adds
// from threads or processes cannot both insert "the first" copy.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CertStores.h"

namespace zyq::platform::detail {

struct StoredEntry {
  int64_t id = 0;
  Bytes encoded;
  std::optional<KeyProvInfo> keyLink;
};

class StoreBackend : public std::enable_shared_from_this<StoreBackend> {
 public:
  virtual ~StoreBackend() = default;

  // Upper-case system store name, or empty for a memory store.
  virtual std::string Name() const = 0;

  SysError Enumerate(std::vector<CertContext>* out);
  SysError Add(const DecodedCertificate& cert, const std::optional<KeyProvInfo>& link,
               uint32_t disposition, CertContext* added);
  SysError Delete(const CertContext& cert);
  SysError FindExisting(const DecodedCertificate& cert, CertContext* found);
  SysError SetKeyLink(int64_t id, const std::optional<KeyProvInfo>& link);

  // Makes a context for an entry of this store.
  CertContext MakeContext(const StoredEntry& entry,
                          std::shared_ptr<const DecodedCertificate> decoded = nullptr);

 protected:
  // Runs body atomically with respect to every other user of the store.
  virtual SysError Atomically(const std::function<SysError()>& body) = 0;
  virtual SysError ListEntries(std::vector<StoredEntry>* out) = 0;
  // The first entry with this issuer and serial (the store keeps both per entry), or none.
  virtual SysError FindEntry(const Bytes& issuer, const Bytes& serial,
                             std::optional<StoredEntry>* out) = 0;
  virtual SysError InsertEntry(const DecodedCertificate& cert,
                               const std::optional<KeyProvInfo>& link, int64_t* id) = 0;
  // Replaces the certificate and key link of an entry, keeping its place.
  virtual SysError ReplaceEntry(int64_t id, const DecodedCertificate& cert,
                                const std::optional<KeyProvInfo>& link) = 0;
  virtual SysError UpdateKeyLink(int64_t id, const std::optional<KeyProvInfo>& link) = 0;
  // CRYPT_E_NOT_FOUND when there is no entry with this id.
  virtual SysError RemoveEntry(int64_t id) = 0;
};

std::shared_ptr<StoreBackend> NewMemoryBackend();
// The system store of this (upper-case) name in the state database.
SysError OpenDatabaseBackend(const std::string& name, std::shared_ptr<StoreBackend>* out);

// The key link's encoding as a stored property value, and back (false: not a key link).
Bytes EncodeKeyLink(const KeyProvInfo& link);
bool DecodeKeyLink(const std::string& value, KeyProvInfo* link);

}  // namespace zyq::platform::detail
