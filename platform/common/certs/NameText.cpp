// Rendering of encoded X.500 names as CertNameToStrA (CERT_X500_NAME_STR |
// CERT_NAME_STR_NO_QUOTING_FLAG) and CertGetNameStringA (CERT_NAME_ATTR_TYPE) render them.
#include <cstdio>
#include <functional>

#include "platform/Certificates.h"
#include "platform/Text.h"
#include "platform/common/certs/Der.h"

namespace zyq::platform {
namespace {

using common::der::Element;
using common::der::Reader;
namespace der = common::der;

struct AttributeKey {
  const char* oid;
  const char* key;
};

// CryptoAPI's keys for RDN attributes (the first name registered for each OID).
constexpr AttributeKey kKeys[] = {
    {"2.5.4.3", "CN"},
    {"2.5.4.7", "L"},
    {"2.5.4.10", "O"},
    {"2.5.4.11", "OU"},
    {"1.2.840.113549.1.9.1", "E"},
    {"2.5.4.6", "C"},
    {"2.5.4.8", "S"},
    {"2.5.4.9", "STREET"},
    {"2.5.4.12", "T"},
    {"2.5.4.42", "G"},
    {"2.5.4.43", "I"},
    {"2.5.4.4", "SN"},
    {"0.9.2342.19200300.100.1.25", "DC"},
    {"2.5.4.13", "Description"},
    {"2.5.4.17", "PostalCode"},
    {"2.5.4.18", "POBox"},
    {"2.5.4.20", "Phone"},
    {"2.5.4.24", "X21Address"},
    {"2.5.4.46", "dnQualifier"},
    {"2.5.4.5", "SERIALNUMBER"},
};

std::string KeyFor(const std::string& oid) {
  for (const AttributeKey& k : kKeys) {
    if (oid == k.oid) return k.key;
  }
  return "OID." + oid;
}

std::u16string Latin1ToWide(ByteView bytes) {
  return std::u16string(bytes.begin(), bytes.end());
}

// Strict UTF-8 check (no overlongs, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(ByteView s) {
  size_t i = 0;
  while (i < s.size()) {
    const uint8_t b = s[i];
    size_t n = 0;
    uint32_t cp = 0, min = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xe0) == 0xc0) {
      n = 1, cp = b & 0x1f, min = 0x80;
    } else if ((b & 0xf0) == 0xe0) {
      n = 2, cp = b & 0x0f, min = 0x800;
    } else if ((b & 0xf8) == 0xf0) {
      n = 3, cp = b & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (s.size() - i <= n) return false;
    for (size_t k = 1; k <= n; ++k) {
      if ((s[i + k] & 0xc0) != 0x80) return false;
      cp = (cp << 6) | (s[i + k] & 0x3f);
    }
    if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
    i += n + 1;
  }
  return true;
}

std::string Hex(ByteView bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// The value of one attribute as UTF-16, decoded by its string type.
SysError ValueToWide(const Element& value, std::u16string* out) {
  const ByteView c = value.content;
  switch (value.tag) {
    case der::kPrintableString:
    case der::kIa5String:
    case der::kNumericString:
    case der::kVideotexString:
    case der::kGraphicString:
    case der::kVisibleString:
    case der::kGeneralString:
      *out = Latin1ToWide(c);
      return kErrorSuccess;
    case der::kT61String:
      // Teletex values are tried as UTF-8 first, then taken as 8-bit characters.
      if (IsValidUtf8(c)) {
        *out = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(c.data()), c.size()));
      } else {
        *out = Latin1ToWide(c);
      }
      return kErrorSuccess;
    case der::kUtf8String:
      *out = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(c.data()), c.size()));
      return kErrorSuccess;
    case der::kBmpString:
      if (c.size() % 2 != 0) return kCryptEAsn1Corrupt;
      out->clear();
      for (size_t i = 0; i < c.size(); i += 2) {
        out->push_back(static_cast<char16_t>((c[i] << 8) | c[i + 1]));
      }
      return kErrorSuccess;
    case der::kUniversalString:
      if (c.size() % 4 != 0) return kCryptEAsn1Corrupt;
      out->clear();
      for (size_t i = 0; i < c.size(); i += 4) {
        uint32_t cp = (uint32_t{c[i]} << 24) | (uint32_t{c[i + 1]} << 16) |
                      (uint32_t{c[i + 2]} << 8) | c[i + 3];
        if (cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) cp = 0xfffd;
        if (cp >= 0x10000) {
          cp -= 0x10000;
          out->push_back(static_cast<char16_t>(0xd800 + (cp >> 10)));
          out->push_back(static_cast<char16_t>(0xdc00 + (cp & 0x3ff)));
        } else {
          out->push_back(static_cast<char16_t>(cp));
        }
      }
      return kErrorSuccess;
    default: {
      // Other types (OCTET STRING, structured values) are shown as '#' and the hexadecimal
      // of their whole encoding.
      const std::string hex = "#" + Hex(value.whole);
      *out = std::u16string(hex.begin(), hex.end());
      return kErrorSuccess;
    }
  }
}

using AttributeVisitor = std::function<bool(size_t rdnIndex, size_t attrIndex,
                                            const std::string& oid, const Element& value)>;

// Walks every attribute of the name in encoded order; stops when the visitor returns false.
SysError WalkName(ByteView encodedName, const AttributeVisitor& visit) {
  Element name;
  if (SysError err = der::ParseSingle(encodedName, der::kSequence, &name)) return err;
  Reader rdns(name.content);
  size_t rdnIndex = 0;
  while (!rdns.AtEnd()) {
    Element rdn;
    if (SysError err = rdns.Expect(der::kSet, &rdn)) return err;
    Reader attrs(rdn.content);
    size_t attrIndex = 0;
    while (!attrs.AtEnd()) {
      Element atv, type, value;
      if (SysError err = attrs.Expect(der::kSequence, &atv)) return err;
      Reader parts(atv.content);
      if (SysError err = parts.Expect(der::kOid, &type)) return err;
      if (SysError err = parts.Next(&value)) return err;
      if (!parts.AtEnd()) return kCryptEAsn1Corrupt;
      std::string oid;
      if (SysError err = der::OidToText(type.content, &oid)) return err;
      if (!visit(rdnIndex, attrIndex, oid, value)) return kErrorSuccess;
      ++attrIndex;
    }
    ++rdnIndex;
  }
  return kErrorSuccess;
}

void FitBuffer(std::string* text, size_t bufferChars) {
  if (bufferChars != 0 && text->size() + 1 > bufferChars) text->clear();
}

}  // namespace

SysError NameToX500Text(ByteView encodedName, std::string* text, size_t bufferChars) {
  text->clear();
  std::u16string wide;
  SysError valueError = kErrorSuccess;
  const SysError err = WalkName(
      encodedName, [&](size_t rdn, size_t attr, const std::string& oid, const Element& value) {
        if (attr > 0) {
          wide += u" + ";
        } else if (rdn > 0) {
          wide += u", ";
        }
        const std::string key = KeyFor(oid);
        wide.append(key.begin(), key.end());
        wide += u'=';
        std::u16string v;
        valueError = ValueToWide(value, &v);
        wide += v;
        return valueError == kErrorSuccess;
      });
  if (err || valueError) return err ? err : valueError;
  *text = WideToAnsi(wide);
  FitBuffer(text, bufferChars);
  return kErrorSuccess;
}

SysError NameAttributeText(ByteView encodedName, std::string_view oid, std::string* text,
                           size_t bufferChars) {
  text->clear();
  std::u16string wide;
  SysError valueError = kErrorSuccess;
  const SysError err =
      WalkName(encodedName, [&](size_t, size_t, const std::string& type, const Element& value) {
        if (type != oid) return true;
        valueError = ValueToWide(value, &wide);
        return false;
      });
  if (err || valueError) return err ? err : valueError;
  *text = WideToAnsi(wide);
  FitBuffer(text, bufferChars);
  return kErrorSuccess;
}

}  // namespace zyq::platform
