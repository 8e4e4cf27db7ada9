// A bounds-checked reader and a small writer for the ASN.1 DER used by certificates, names,
// requests and PKCS#7 messages. The reader never reads past its input; every failure is one
// of CryptoAPI's ASN.1 error codes. BER indefinite lengths are accepted only when asked for
// (message decoding), with a nesting limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Certificates.h"
#include "platform/SystemErrors.h"

namespace zyq::platform::common::der {

// Universal tags (with the constructed bit where DER requires it).
inline constexpr uint8_t kBoolean = 0x01;
inline constexpr uint8_t kInteger = 0x02;
inline constexpr uint8_t kBitString = 0x03;
inline constexpr uint8_t kOctetString = 0x04;
inline constexpr uint8_t kNull = 0x05;
inline constexpr uint8_t kOid = 0x06;
inline constexpr uint8_t kUtf8String = 0x0c;
inline constexpr uint8_t kNumericString = 0x12;
inline constexpr uint8_t kPrintableString = 0x13;
inline constexpr uint8_t kT61String = 0x14;
inline constexpr uint8_t kVideotexString = 0x15;
inline constexpr uint8_t kIa5String = 0x16;
inline constexpr uint8_t kUtcTime = 0x17;
inline constexpr uint8_t kGeneralizedTime = 0x18;
inline constexpr uint8_t kGraphicString = 0x19;
inline constexpr uint8_t kVisibleString = 0x1a;
inline constexpr uint8_t kGeneralString = 0x1b;
inline constexpr uint8_t kUniversalString = 0x1c;
inline constexpr uint8_t kBmpString = 0x1e;
inline constexpr uint8_t kSequence = 0x30;
inline constexpr uint8_t kSet = 0x31;

inline constexpr uint8_t ContextConstructed(int n) {
  return static_cast<uint8_t>(0xa0 | n);
}
inline constexpr uint8_t ContextPrimitive(int n) {
  return static_cast<uint8_t>(0x80 | n);
}

struct Element {
  uint8_t tag = 0;
  ByteView whole;    // header and content (and end-of-contents octets for BER)
  ByteView content;  // the content octets only
  bool constructed() const { return (tag & 0x20) != 0; }
};

class Reader {
 public:
  explicit Reader(ByteView data, bool allowIndefinite = false)
      : data_(data), allowIndefinite_(allowIndefinite) {}

  bool AtEnd() const { return pos_ >= data_.size(); }
  // The tag of the next element, or 0 at the end.
  uint8_t PeekTag() const { return AtEnd() ? 0 : data_[pos_]; }

  // Reads the next element (any tag).
  SysError Next(Element* out);
  // Reads the next element and requires its tag (CRYPT_E_ASN1_BADTAG otherwise; _EOD at end).
  SysError Expect(uint8_t tag, Element* out);
  // Reads the next element when it has this tag; returns false (and reads nothing) otherwise.
  bool Optional(uint8_t tag, Element* out, SysError* error);

 private:
  ByteView data_;
  size_t pos_ = 0;
  bool allowIndefinite_ = false;
};

// Parses one element at the start of data; *consumed gets its whole size.
SysError ParseElement(ByteView data, bool allowIndefinite, Element* out, size_t* consumed);

// Requires that data holds exactly one element with this tag.
SysError ParseSingle(ByteView data, uint8_t tag, Element* out, bool allowIndefinite = false);

// OID content octets -> dotted text; CRYPT_E_ASN1_CORRUPT for bad encodings.
SysError OidToText(ByteView content, std::string* text);
// Dotted text -> OID content octets; false for a malformed text.
bool OidFromText(std::string_view text, Bytes* content);

// INTEGER content that fits a non-negative int64 (small version numbers, path lengths).
SysError SmallInteger(ByteView content, int64_t* value);

// UTCTime / GeneralizedTime content -> FILETIME.
SysError TimeToFileTime(uint8_t tag, ByteView content, FileTime* out);

// ---- writing ----

void AppendLength(Bytes& out, size_t length);
void AppendTlv(Bytes& out, uint8_t tag, ByteView content);
Bytes Tlv(uint8_t tag, ByteView content);
inline Bytes Tlv(uint8_t tag, const Bytes& content) {
  return Tlv(tag, ByteView(content));
}
// Concatenates encodings into the content of one constructed element.
Bytes Constructed(uint8_t tag, std::initializer_list<ByteView> parts);
// An OID element from dotted text (empty for a malformed text).
Bytes OidElement(std::string_view dotted);
// An INTEGER element from a big-endian unsigned magnitude (adds the 00 byte when needed,
// drops redundant leading zeros).
Bytes UnsignedInteger(ByteView bigEndian);
Bytes SmallIntegerElement(int64_t value);
// The elements sorted by their encodings and wrapped as a SET (DER's SET OF rule).
Bytes SetOf(std::vector<Bytes> elements, uint8_t tag = kSet);

}  // namespace zyq::platform::common::der
