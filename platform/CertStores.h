// Certificate stores and certificate contexts, with CryptoAPI's meanings.
//
// A CertContext is one certificate as a store holds it: the decoded certificate and its
// properties (the SHA-1 thumbprint, derived from the encoding, and the CRYPT_KEY_PROV_INFO key
// link). A context made from bytes belongs to no store; one returned by a store remembers its
// entry, and changing its key link changes the stored entry too.
//
// A CertStore is a handle (copies share the store): either one of the current user's system
// stores ("MY", "CA", "ROOT"; any name, letter case ignored), kept in the state database and
// shared with every process of the user, or a memory store that lives while a handle to it
// does. Stores enumerate in insertion order; an entry replaced by an add keeps its place.
//
// Every function returns kErrorSuccess (0) or a Windows error code; nothing throws.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Certificates.h"
#include "platform/KeyProvInfo.h"
#include "platform/SystemErrors.h"

namespace zyq::platform {

namespace detail {
class StoreBackend;
}

class KeyContext;

// CertAddCertificateContextToStore dispositions.
inline constexpr uint32_t kCertStoreAddNew = 1;
inline constexpr uint32_t kCertStoreAddUseExisting = 2;
inline constexpr uint32_t kCertStoreAddReplaceExisting = 3;
inline constexpr uint32_t kCertStoreAddAlways = 4;
inline constexpr uint32_t kCertStoreAddReplaceExistingInheritProperties = 5;

// System store names.
inline constexpr const char* kStoreMy = "MY";
inline constexpr const char* kStoreCa = "CA";
inline constexpr const char* kStoreRoot = "ROOT";

class CertContext {
 public:
  CertContext() = default;

  // CertCreateCertificateContext: a context of its own (in no store). Errors of
  // DecodeCertificate.
  static SysError FromEncoded(ByteView der, CertContext* out);

  bool empty() const { return cert_ == nullptr; }
  // The decoded certificate; the context must not be empty.
  const DecodedCertificate& cert() const { return *cert_; }
  const Bytes& encoded() const { return cert_->encoded; }
  // CERT_SHA1_HASH_PROP_ID.
  const std::array<uint8_t, 20>& sha1Thumbprint() const { return cert_->sha1Thumbprint; }

  // CERT_KEY_PROV_INFO_PROP_ID: the key link, absent when the certificate has none.
  const std::optional<KeyProvInfo>& keyLink() const { return keyLink_; }
  // CertSetCertificateContextProperty(CERT_KEY_PROV_INFO_PROP_ID): sets the key link, or removes
  // it with nullopt; written to the store entry the context came from (CRYPT_E_NOT_FOUND when
  // that entry was deleted meanwhile; state database errors for a system store).
  SysError SetKeyLink(const std::optional<KeyProvInfo>& link);

  // True when the context came from a store (rather than from bytes).
  bool inStore() const { return owner_ != nullptr; }
  // True when both contexts name the same store entry.
  bool SameEntry(const CertContext& other) const {
    return owner_ != nullptr && owner_ == other.owner_ && entryId_ == other.entryId_;
  }

 private:
  friend class CertStore;
  friend class detail::StoreBackend;

  std::shared_ptr<const DecodedCertificate> cert_;
  std::optional<KeyProvInfo> keyLink_;
  std::shared_ptr<detail::StoreBackend> owner_;
  int64_t entryId_ = 0;
};

class CertStore {
 public:
  CertStore() = default;  // closed

  // CertOpenSystemStoreA: the current user's system store of this name ("MY", "CA", "ROOT", or
  // any other non-empty name, which is created). Errors: kErrorInvalidParameter for an empty
  // name, state database errors (the database cannot be opened or written).
  static SysError OpenSystem(std::string_view name, CertStore* out);
  // CertOpenStore(CERT_STORE_PROV_MEMORY): a new empty memory store.
  static CertStore OpenMemory();

  bool isOpen() const { return backend_ != nullptr; }
  // The system store's name in upper case; empty for a memory store.
  std::string name() const;
  // CertCloseStore: drops this handle (contexts keep their certificates).
  void Close() { backend_.reset(); }

  // CertEnumCertificatesInStore: every certificate in insertion order. kErrorInvalidHandle for
  // a closed store.
  SysError Enumerate(std::vector<CertContext>* out) const;

  // CertAddCertificateContextToStore: adds the certificate with the context's properties.
  // "Equal" means the same issuer name and serial number. Dispositions:
  //   kCertStoreAddNew: CRYPT_E_EXISTS when an equal certificate is there;
  //   kCertStoreAddUseExisting: keeps the existing one, adding the properties it lacks;
  //   kCertStoreAddReplaceExisting: replaces it (in its place) with the new one;
  //   kCertStoreAddAlways: adds a further copy whatever is there;
  //   kCertStoreAddReplaceExistingInheritProperties: replaces it, and the new certificate takes
  //     over the existing one's properties that it does not have itself.
  // *added (optional) receives the context now in the store. E_INVALIDARG for another
  // disposition or an empty context, kErrorInvalidHandle for a closed store.
  SysError Add(const CertContext& cert, uint32_t disposition, CertContext* added = nullptr) const;
  // CertAddEncodedCertificateToStore: the same for DER bytes (decoding errors first).
  SysError AddEncoded(ByteView der, uint32_t disposition, CertContext* added = nullptr) const;

  // CertDeleteCertificateFromStore: removes the entry the context came from when it is from
  // this store, else the equal certificate of this store. CRYPT_E_NOT_FOUND when there is none.
  SysError Delete(const CertContext& cert) const;

  // CertFindCertificateInStore(CERT_FIND_EXISTING): the first equal certificate.
  // CRYPT_E_NOT_FOUND when there is none.
  SysError FindExisting(const CertContext& cert, CertContext* found) const;

 private:
  std::shared_ptr<detail::StoreBackend> backend_;
};

// CryptAcquireCertificatePrivateKey: opens the key container that the certificate's key link
// names and returns it with the key spec. CRYPT_E_NO_KEY_PROPERTY when the certificate has no
// key link; the errors of AcquireKeyContext (NTE_BAD_KEYSET for a missing container...);
// NTE_NO_KEY when the container holds no key of the link's spec. As without
// CRYPT_ACQUIRE_COMPARE_KEY_FLAG, the key is not compared with the certificate's public key.
SysError AcquireCertificatePrivateKey(const CertContext& cert, std::unique_ptr<KeyContext>* context,
                                      uint32_t* keySpec);

}  // namespace zyq::platform
