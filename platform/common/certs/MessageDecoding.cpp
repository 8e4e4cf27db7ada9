// Decoding of received PKCS#7 messages (DER or BER): the content type, the content of data and
// signed data, and the certificate list of signed data.
#include "platform/CryptMessages.h"
#include "platform/common/certs/Der.h"

namespace zyq::platform {
namespace {

namespace der = common::der;

struct TypeEntry {
  const char* oid;
  uint32_t type;
};
constexpr TypeEntry kTypes[] = {
    {"1.2.840.113549.1.7.1", kCmsgData},      {"1.2.840.113549.1.7.2", kCmsgSigned},
    {"1.2.840.113549.1.7.3", kCmsgEnveloped}, {"1.2.840.113549.1.7.4", kCmsgSignedAndEnveloped},
    {"1.2.840.113549.1.7.5", kCmsgHashed},    {"1.2.840.113549.1.7.6", kCmsgEncrypted},
};

// The bytes of an OCTET STRING, primitive or (BER) constructed from segments.
SysError OctetStringValue(const der::Element& e, Bytes* out, int depth = 0) {
  if (e.tag == der::kOctetString) {
    out->insert(out->end(), e.content.begin(), e.content.end());
    return kErrorSuccess;
  }
  if (e.tag != (der::kOctetString | 0x20)) return kCryptEAsn1Badtag;
  if (depth > 8) return kCryptEAsn1Large;
  der::Reader r(e.content, true);
  while (!r.AtEnd()) {
    der::Element part;
    if (SysError err = r.Next(&part)) return err;
    if (SysError err = OctetStringValue(part, out, depth + 1)) return err;
  }
  return kErrorSuccess;
}

SysError DecodeSignedData(ByteView body, DecodedMessage* out) {
  der::Element sd, e;
  if (SysError err = der::ParseSingle(body, der::kSequence, &sd, true)) return err;
  der::Reader r(sd.content, true);
  if (SysError err = r.Expect(der::kInteger, &e)) return err;
  if (SysError err = r.Expect(der::kSet, &e)) return err;  // digestAlgorithms
  der::Element inner, type;
  if (SysError err = r.Expect(der::kSequence, &inner)) return err;
  der::Reader ci(inner.content, true);
  if (SysError err = ci.Expect(der::kOid, &type)) return err;
  SysError err = kErrorSuccess;
  der::Element wrapped;
  if (ci.Optional(der::ContextConstructed(0), &wrapped, &err)) {
    if (err) return err;
    der::Reader w(wrapped.content, true);
    der::Element value;
    if (SysError e2 = w.Next(&value)) return e2;
    // Data content is an OCTET STRING; other inner types are kept as their encoding.
    if (value.tag == der::kOctetString || value.tag == (der::kOctetString | 0x20)) {
      if (SysError e2 = OctetStringValue(value, &out->content)) return e2;
    } else {
      out->content.assign(value.whole.begin(), value.whole.end());
    }
    out->hasContent = true;
  }
  der::Element certs;
  if (r.Optional(der::ContextConstructed(0), &certs, &err)) {
    if (err) return err;
    der::Reader c(certs.content, true);
    while (!c.AtEnd()) {
      der::Element cert;
      if (SysError e2 = c.Next(&cert)) return e2;
      // Only X.509 certificates (SEQUENCE); the older certificate choices are passed over.
      if (cert.tag == der::kSequence)
        out->certificates.emplace_back(cert.whole.begin(), cert.whole.end());
    }
  }
  der::Element crls;
  if (r.Optional(der::ContextConstructed(1), &crls, &err) && err) return err;
  der::Element signers;
  if (SysError e2 = r.Expect(der::kSet, &signers)) return e2;
  der::Reader s(signers.content, true);
  while (!s.AtEnd()) {
    der::Element si;
    if (SysError e2 = s.Expect(der::kSequence, &si)) return e2;
    ++out->signerCount;
  }
  if (!r.AtEnd()) return kCryptEAsn1Corrupt;
  return kErrorSuccess;
}

}  // namespace

SysError DecodeMessage(ByteView encoded, DecodedMessage* out) {
  *out = DecodedMessage{};
  der::Element info, oid;
  if (SysError err = der::ParseSingle(encoded, der::kSequence, &info, true)) return err;
  der::Reader r(info.content, true);
  if (SysError err = r.Expect(der::kOid, &oid)) return err;
  std::string type;
  if (SysError err = der::OidToText(oid.content, &type)) return err;
  uint32_t msgType = 0;
  for (const TypeEntry& t : kTypes) {
    if (type == t.oid) msgType = t.type;
  }
  if (msgType == 0) return kCryptEInvalidMsgType;
  der::Element wrapped, body;
  SysError err = kErrorSuccess;
  const bool hasBody = r.Optional(der::ContextConstructed(0), &wrapped, &err);
  if (err) return err;
  if (!r.AtEnd()) return kCryptEAsn1Corrupt;
  if (hasBody) {
    der::Reader w(wrapped.content, true);
    if (SysError e2 = w.Next(&body)) return e2;
    if (!w.AtEnd()) return kCryptEAsn1Corrupt;
  }
  DecodedMessage result;
  result.type = msgType;
  if (result.type == kCmsgData) {
    if (hasBody) {
      if (SysError e2 = OctetStringValue(body, &result.content)) return e2;
      result.hasContent = true;
    }
  } else if (result.type == kCmsgSigned) {
    if (!hasBody) return kCryptEAsn1Eod;
    if (SysError e2 = DecodeSignedData(body.whole, &result)) return e2;
  }
  *out = std::move(result);
  return kErrorSuccess;
}

SysError MessageCertificates(ByteView encoded, std::vector<Bytes>* certificates) {
  DecodedMessage msg;
  if (SysError err = DecodeMessage(encoded, &msg)) return err;
  if (msg.type != kCmsgSigned) return kCryptEInvalidMsgType;
  *certificates = std::move(msg.certificates);
  return kErrorSuccess;
}

}  // namespace zyq::platform
