// The returned certificate: the DER certificate that the latest certificate operation chose,
// read whole in Base64 or one field at a time as text. The readers never fail: no returned
// certificate, or bytes that are not a certificate, give the empty text.
#pragma once

#include <string>

#include "codec/ByteBuffer.h"
#include "platform/Certificates.h"

namespace zyq {

class ReturnedCertificate {
 public:
  enum class Field { kSubject, kSubjectCN, kIssuer, kSerial, kThumbprint, kNotBefore, kNotAfter };

  // Holds der from now on (empty: none).
  void Replace(const platform::Bytes& der);

  // The DER bytes held, empty when none.
  const ByteBuffer& der() const { return der_; }
  // The whole DER in Base64; "" when none.
  std::string Base64() const;
  // One text of the certificate. When several DER certificates follow one another (a query that
  // returned all of a user's signing certificates), the first of them is read.
  std::string Read(Field field) const;

 private:
  ByteBuffer der_;
};

}  // namespace zyq
