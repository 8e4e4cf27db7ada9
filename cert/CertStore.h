// CertStore: the owner of one open certificate store (the current user's personal store "MY", an
// empty memory store, or the content of a PKCS#12 file) and the certificate search over it.
//
// Each operation returns 0 or a result code of the engine's table (engine/ResultCodes.h) and keeps
// the system error of the failed step in lastError(), for the engine to copy into its own
// fields. A CertStore lives for one engine operation; destroying it closes the store.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "cert/SearchFlags.h"
#include "platform/CertStores.h"
#include "platform/KeyProvInfo.h"
#include "platform/SystemErrors.h"

namespace zyq {

// The result of a search: contexts that the caller owns (each one a shared handle of the port).
using CertContexts = std::vector<platform::CertContext>;

class CertStore {
 public:
  CertStore() = default;
  ~CertStore() { Close(); }
  CertStore(const CertStore&) = delete;
  CertStore& operator=(const CertStore&) = delete;

  // Closes the held store (if any); last error 0.
  void Close();
  // Closes, then opens the current user's personal store "MY". 0, or 5201 with the error.
  int32_t OpenPersonal();
  // Closes, then opens a new empty memory store. 0 (5226 is reserved for a store that cannot
  // be made; the port's memory stores always can).
  int32_t OpenMemory();
  // Closes, then opens the content of a PKCS#12 file: its certificates, with their private keys
  // imported into the current user's key containers (exportable; also user-protected when flags
  // has kPfxUserProtected). The path and password are ANSI text. An empty password also opens a
  // file protected with no password at all. Returns 0, 5005 (empty path), 5401 (the file cannot
  // be read, or is empty), 5207 (not a PKCS#12 file) or 5208 (wrong password, or the import
  // failed); a failure leaves the store closed and no container made.
  int32_t LoadPfx(std::string_view path, std::string_view password, int32_t flags);
  // The key containers that the last successful LoadPfx made (not those it reused for a key
  // that a container held already): what an operation that fails after the load deletes again.
  // Close keeps the list; the next LoadPfx replaces it.
  const std::vector<platform::KeyProvInfo>& createdContainers() const { return createdContainers_; }
  // Closes, then holds another handle of an open store of the port (one that an earlier
  // LoadPfx made, kept by its caller); last error 0.
  void Share(const platform::CertStore& store);

  // Chooses certificates of the held store (in the store's order) whose subject matches the
  // name filter (empty: every one), whose key usage covers keyUsage (when > 0), that are linked
  // to a private key of a provider whose name begins with "Microsoft", and, with
  // kFindCheckValidity, that are within their validity period now. With kFindKeepBest only the
  // best one (see SearchFlags.h; equal dates keep the earlier one) is kept in *out, replacing
  // what *out held; otherwise each one is appended.
  // Returns 0 when the search kept at least one context (last error 0); else, with *out
  // unchanged, the code of the last
  // candidate that passed the name filter and was rejected (5017 key usage, 5206 no key link,
  // 5205 provider, 5011 expired, 5012 not yet valid), or 5010 (also without a store or *out).
  int32_t FindCertificates(CertContexts* out, std::string_view filter, int32_t flags,
                           int32_t keyUsage);

  // The certificate's key link (CRYPT_KEY_PROV_INFO), or nullopt when it has none (last error
  // CRYPT_E_NOT_FOUND) or the context is empty (last error untouched).
  std::optional<platform::KeyProvInfo> GetKeyProvInfo(const platform::CertContext& context);

  bool isOpen() const { return store_.isOpen(); }
  // The port's handle of the held store, for operations that enumerate, add to or delete from it.
  const platform::CertStore& handle() const { return store_; }
  platform::SysError lastError() const { return lastError_; }

 private:
  platform::CertStore store_;
  platform::SysError lastError_ = 0;
  std::vector<platform::KeyProvInfo> createdContainers_;
};

}  // namespace zyq
