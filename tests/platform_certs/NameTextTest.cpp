// Rendering of X.500 names as CertNameToStrA (X500, no quoting) and CertGetNameStringA give it.
#include <gtest/gtest.h>

#include "platform/Certificates.h"
#include "platform/Text.h"
#include "tests/platform_certs/TestCertificates.h"

namespace zyq::platform {
namespace {

using test::NameAttr;

// Hand-made DER, independent of the code under test.
Bytes Tlv(uint8_t tag, const Bytes& content) {
  Bytes out{tag};
  if (content.size() < 0x80) {
    out.push_back(static_cast<uint8_t>(content.size()));
  } else {
    out.push_back(0x82);
    out.push_back(static_cast<uint8_t>(content.size() >> 8));
    out.push_back(static_cast<uint8_t>(content.size()));
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Atv(const Bytes& oidContent, uint8_t type, const std::string& value) {
  return Tlv(0x30, Cat({Tlv(0x06, oidContent), Tlv(type, Bytes(value.begin(), value.end()))}));
}
const Bytes kCn{0x55, 0x04, 0x03};
const Bytes kOu{0x55, 0x04, 0x0b};
const Bytes kO{0x55, 0x04, 0x0a};

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::string X500(const Bytes& name, size_t buffer = 0) {
  std::string text = "unchanged";
  EXPECT_EQ(NameToX500Text(name, &text, buffer), kErrorSuccess);
  return text;
}

std::string Big5(const char* utf8) {
  return Utf8ToAnsi(utf8);
}

TEST(NameText, RendersEveryKnownKeyInEncodedOrder) {
  const Bytes name = test::EncodeName({
      {"2.5.4.6", 0x13, "TW"},
      {"2.5.4.8", 0x13, "Taiwan"},
      {"2.5.4.7", 0x13, "Taipei"},
      {"2.5.4.10", 0x13, "ZYQ Bank"},
      {"2.5.4.11", 0x13, "RA"},
      {"2.5.4.3", 0x13, "Wang Da"},
      {"1.2.840.113549.1.9.1", 0x16, "wang@example.tw"},
      {"2.5.4.9", 0x0c, "1 Main St"},
      {"2.5.4.12", 0x0c, "Clerk"},
      {"2.5.4.42", 0x0c, "Da"},
      {"2.5.4.43", 0x0c, "W"},
      {"2.5.4.4", 0x0c, "Wang"},
      {"0.9.2342.19200300.100.1.25", 0x16, "tw"},
      {"2.5.4.5", 0x13, "A123456789"},
      {"2.5.4.17", 0x0c, "100"},
  });
  EXPECT_EQ(X500(name),
            "C=TW, S=Taiwan, L=Taipei, O=ZYQ Bank, OU=RA, CN=Wang Da, E=wang@example.tw, "
            "STREET=1 Main St, T=Clerk, G=Da, I=W, SN=Wang, DC=tw, SERIALNUMBER=A123456789, "
            "PostalCode=100");
}

TEST(NameText, MultiValuedRdnKeepsEncodedAttributeOrder) {
  // One RDN holding OU then CN (not in DER's sorted order), then an O RDN.
  const Bytes name = Tlv(0x30, Cat({Tlv(0x31, Cat({Atv(kOu, 0x13, "RA"), Atv(kCn, 0x13, "Wang")})),
                                    Tlv(0x31, Atv(kO, 0x13, "Bank"))}));
  EXPECT_EQ(X500(name), "OU=RA + CN=Wang, O=Bank");
  // The same through OpenSSL's encoder.
  const Bytes viaOpenSsl = test::EncodeName(
      {{"2.5.4.6", 0x13, "TW"}, {"2.5.4.3", 0x13, "A"}, {"2.5.4.3", 0x13, "B", true}});
  EXPECT_EQ(X500(viaOpenSsl), "C=TW, CN=A + CN=B");
}

TEST(NameText, ChineseValuesConvertToTheAnsiCodePage) {
  const std::u16string chinese = u"中文憑證";
  const Bytes utf8 = test::EncodeName({{"2.5.4.3", 0x0c, "中文憑證"}, {"2.5.4.10", 0x0c, "測試"}});
  const Bytes bmp = test::EncodeName({{"2.5.4.3", 0x1e, test::Utf16Be(chinese)}});
  EXPECT_EQ(X500(utf8), Big5("CN=中文憑證, O=測試"));
  EXPECT_EQ(X500(bmp), Big5("CN=中文憑證"));
  if (AnsiCodePage() == 950) {
    EXPECT_EQ(X500(bmp), std::string("CN=\xa4\xa4\xa4\xe5\xbe\xcc\xc3\xd2"));
  }
  // A character without a code-page mapping becomes '?'.
  const Bytes hangul = test::EncodeName({{"2.5.4.3", 0x0c, "A한B"}});
  if (AnsiCodePage() == 950) {
    EXPECT_EQ(X500(hangul), "CN=A?B");
  }
}

TEST(NameText, UnknownTypesEmptyValuesAndSeparatorsInsideValues) {
  const Bytes name = test::EncodeName({
      {"1.2.3.4", 0x13, "x"},
      {"0.9.2342.19200300.100.1.1", 0x0c, "uid1"},
      {"2.5.4.97", 0x0c, "NTRTW-12345678"},
      {"2.5.4.10", 0x13, "Bank, Inc."},
      {"2.5.4.11", 0x13, "a + b"},
      {"2.5.4.3", 0x13, ""},
  });
  EXPECT_EQ(X500(name),
            "OID.1.2.3.4=x, OID.0.9.2342.19200300.100.1.1=uid1, OID.2.5.4.97=NTRTW-12345678, "
            "O=Bank, Inc., OU=a + b, CN=");
}

TEST(NameText, ValuesAreNotQuoted) {
  // Single-RDN names whose quoted forms CryptoAPI documents; without quoting they stand bare.
  EXPECT_EQ(X500(FromHex("300c310a30080603550403130131")), "CN=1");
  EXPECT_EQ(X500(FromHex("300e310c300a06035504031303203120")), "CN= 1 ");
  EXPECT_EQ(X500(FromHex("3011310f300d06035504031e06002200310022")), "CN=\"1\"");
  EXPECT_EQ(X500(FromHex("300e310c300a06035504031303312b32")), "CN=1+2");
  EXPECT_EQ(X500(FromHex("300d310b300906035504031e02003c")), "CN=<");
  EXPECT_EQ(X500(FromHex("3011310f300d06035504031e060061000a0062")), "CN=a\nb");
}

TEST(NameText, StringTypesDecodeAsCryptoApiDoes) {
  // T61String: UTF-8 when it is valid UTF-8, else 8-bit characters.
  const Bytes t61utf8 = Tlv(0x30, Tlv(0x31, Atv(kCn, 0x14, "中")));
  EXPECT_EQ(X500(t61utf8), Big5("CN=中"));
  const Bytes t61latin = Tlv(0x30, Tlv(0x31, Atv(kCn, 0x14, "caf\xe9")));
  EXPECT_EQ(X500(t61latin), WideToAnsi(u"CN=caf\u00e9"));
  // UniversalString (UTF-32BE).
  const Bytes universal =
      Tlv(0x30, Tlv(0x31, Atv(kCn, 0x1c, std::string("\0\0\x4e\x2d\0\0\0A", 8))));
  EXPECT_EQ(X500(universal), Big5("CN=中A"));
  // A value that is not a string is shown as '#' and the hexadecimal of its encoding.
  const Bytes octets = Tlv(0x30, Tlv(0x31, Atv(kCn, 0x04, "\x01\x02")));
  EXPECT_EQ(X500(octets), "CN=#04020102");
  // An empty name renders as an empty text.
  EXPECT_EQ(X500(Bytes{0x30, 0x00}), "");
}

TEST(NameText, TextThatDoesNotFitTheBufferIsEmpty) {
  const std::string value(508, 'x');  // "CN=" + 508 = 511 bytes, fits 512 with its NUL
  const Bytes fits = test::EncodeName({{"2.5.4.3", 0x13, value}});
  const Bytes tooLong = test::EncodeName({{"2.5.4.3", 0x13, value + "y"}});
  EXPECT_EQ(X500(fits, 512).size(), 511u);
  EXPECT_EQ(X500(tooLong, 512), "");
  EXPECT_EQ(X500(tooLong).size(), 512u);
  // The limit counts ANSI bytes: 254 Chinese characters are 508 bytes.
  std::string chinese;
  for (int i = 0; i < 254; ++i) chinese += "中";
  const Bytes wide = test::EncodeName({{"2.5.4.3", 0x0c, chinese}});
  if (AnsiCodePage() == 950) {
    EXPECT_EQ(X500(wide, 512).size(), 511u);
  }
}

TEST(NameText, CommonNameIsTheFirstInEncodedOrder) {
  const Bytes name = test::EncodeName({{"2.5.4.6", 0x13, "TW"},
                                       {"2.5.4.3", 0x1e, test::Utf16Be(u"王大明")},
                                       {"2.5.4.3", 0x13, "B"}});
  std::string cn;
  EXPECT_EQ(NameAttributeText(name, kOidCommonName, &cn), kErrorSuccess);
  EXPECT_EQ(cn, Big5("王大明"));
  const Bytes noCn = test::EncodeName({{"2.5.4.6", 0x13, "TW"}});
  EXPECT_EQ(NameAttributeText(noCn, kOidCommonName, &cn), kErrorSuccess);
  EXPECT_EQ(cn, "");
  const Bytes longCn = test::EncodeName({{"2.5.4.3", 0x13, std::string(100, 'c')}});
  EXPECT_EQ(NameAttributeText(longCn, kOidCommonName, &cn, 100), kErrorSuccess);
  EXPECT_EQ(cn, "");
  EXPECT_EQ(NameAttributeText(longCn, "1.2.840.113549.1.9.1", &cn, 100), kErrorSuccess);
  EXPECT_EQ(cn, "");
}

TEST(NameText, MalformedNamesGiveAnAsn1ErrorAndNoText) {
  std::string text = "x";
  EXPECT_EQ(NameToX500Text(Bytes{}, &text), kCryptEAsn1Eod);
  EXPECT_EQ(text, "");
  EXPECT_EQ(NameToX500Text(Bytes{0x31, 0x00}, &text), kCryptEAsn1Badtag);
  EXPECT_EQ(NameToX500Text(Bytes{0x30, 0x05, 0x31, 0x03}, &text), kCryptEAsn1Eod);
  EXPECT_EQ(NameToX500Text(Bytes{0x30, 0x84, 0x7f, 0xff, 0xff, 0xff}, &text), kCryptEAsn1Large);
  // An odd-length BMPString.
  const Bytes oddBmp = Tlv(0x30, Tlv(0x31, Atv(kCn, 0x1e, "abc")));
  EXPECT_EQ(NameToX500Text(oddBmp, &text), kCryptEAsn1Corrupt);
  EXPECT_EQ(text, "");
  // A broken OID.
  const Bytes badOid = Tlv(0x30, Tlv(0x31, Atv(Bytes{0x55, 0x84}, 0x13, "x")));
  EXPECT_NE(NameToX500Text(badOid, &text), kErrorSuccess);
  // Every prefix of a valid name fails cleanly.
  const Bytes good = test::EncodeName({{"2.5.4.6", 0x13, "TW"}, {"2.5.4.3", 0x0c, "中文"}});
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_NE(NameToX500Text(ByteView(good.data(), n), &text), kErrorSuccess) << n;
    EXPECT_NE(NameAttributeText(ByteView(good.data(), n), kOidCommonName, &text), kErrorSuccess);
  }
}

}  // namespace
}  // namespace zyq::platform
