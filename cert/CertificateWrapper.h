// CertificateWrapper: one X.509 certificate as the platform's certificate context, with a private
// copy of its DER encoding, and the text forms that the engine shows and returns (names, common
// names, serial number, SHA-1 thumbprint, validity dates) and its key-usage byte.
//
// A wrapper is loaded once, by its constructor, from bytes or from a context that a store
// returned. Bytes that are not a certificate leave it empty: every text getter then gives "".
// Nothing here fails loudly; the loaders answer true or false.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "codec/ByteBuffer.h"
#include "platform/CertStores.h"
#include "platform/SystemErrors.h"

namespace zyq {

class CertificateWrapper {
 public:
  // From DER bytes (n bytes at data); empty when they are not one certificate.
  CertificateWrapper(const void* data, int n);
  // From a context: the wrapper shares the caller's context (a context is a shared handle in
  // the port, so the caller's context stays usable after the wrapper is gone).
  explicit CertificateWrapper(const platform::CertContext& context);
  ~CertificateWrapper();

  CertificateWrapper(const CertificateWrapper&) = delete;
  CertificateWrapper& operator=(const CertificateWrapper&) = delete;

  // Empties the wrapper, then copies the n bytes and decodes them. False for null data, n <= 0,
  // or bytes that are not exactly one DER certificate (the wrapper then stays empty, and
  // lastError() tells why).
  bool LoadEncoded(const void* data, int n);
  // Empties the wrapper, then takes the context (false for an empty context).
  bool AttachContext(const platform::CertContext& context);
  // Drops the context and the encoded copy; key usage 0, last error 0.
  void Reset();

  // True while a certificate is held.
  bool valid() const { return !context_.empty(); }
  // The system error of the last attempt to decode bytes (0 after success).
  platform::SysError lastError() const { return lastError_; }
  // The held context (empty when not valid) and the private copy of its encoding.
  const platform::CertContext& context() const { return context_; }
  const ByteBuffer& encoded() const { return encoded_; }

  // First byte of the key-usage extension (CERT_*_KEY_USAGE bits); 0 without the extension.
  uint32_t GetKeyUsage() const { return keyUsage_; }

  // The subject / issuer as "C=TW, O=Bank, CN=Wang": X.500 keys, RDNs in encoded order,
  // values unquoted, in the ANSI code page. The whole name is returned however long it is.
  std::string GetSubject() const;
  std::string GetIssuer() const;
  // The first common name (2.5.4.3) of the subject / issuer; "" when there is none.
  std::string GetSubjectCN() const;
  std::string GetIssuerCN() const;
  // The serial number in upper-case hex, most significant byte first, leading zero bytes kept,
  // every byte of it (also beyond the 20 bytes that RFC 5280 allows).
  std::string GetSerial() const;
  // The SHA-1 thumbprint in upper-case hex (40 characters).
  std::string GetThumbprint() const;
  // Validity in the machine's local time: "YYYYMMDDhhmmss" and "YYYY/MM/DD"; "" when the time
  // has no local form.
  std::string GetNotBefore() const;
  std::string GetNotAfter() const;
  std::string GetNotBeforeDate() const;
  std::string GetNotAfterDate() const;

  // The length of the first DER element of the bytes (tag, definite length and content), or 0
  // when they do not begin with a complete one. Lets a caller pick the first certificate of
  // several DER certificates stored one after the other.
  static int LeadingElementLength(std::span<const uint8_t> bytes);

 private:
  ByteBuffer encoded_;
  uint32_t keyUsage_ = 0;
  platform::SysError lastError_ = 0;
  platform::CertContext context_;
};

}  // namespace zyq
