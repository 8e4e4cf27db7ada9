// The lines that name the fixtures of the certificate tests prepared on the Linux side for the
// Windows runs: the Windows side describes what a test asks for, make_cert_data (Linux) reads
// the same line and makes it with the OpenSSL library. Fields are separated by '|'.
//   cert|subjectKey|issuerKey|subject|issuer|serial|notBefore|notAfter|keyUsage|constraints
//   pfx|password|legacy|entries
// A name is its attributes, "oid,type,value,join" separated by ';' (value in hex, join 1 when
// the attribute joins the previous RDN); serial in hex; a password "-" when absent, else "="
// and the text; entries "certificate line,key name or -" separated by ';'.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tests/platform_certs/TestCertificates.h"

namespace zyq::test::prepared {

inline std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    out.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

inline std::string ToHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

inline std::string FromHex(std::string_view hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return out;
}

inline std::string DescribeName(const std::vector<NameAttr>& attrs) {
  std::string out;
  for (const NameAttr& a : attrs) {
    if (!out.empty()) out += ';';
    out += a.oid + "," + std::to_string(a.type) + "," + ToHex(a.value) + "," +
           (a.joinPrevious ? "1" : "0");
  }
  return out;
}

inline std::vector<NameAttr> ParseName(std::string_view text) {
  std::vector<NameAttr> attrs;
  if (text.empty()) return attrs;
  for (const std::string& attr : Split(text, ';')) {
    const std::vector<std::string> f = Split(attr, ',');
    if (f.size() != 4) continue;
    attrs.push_back(NameAttr{f[0], std::stoi(f[1]), FromHex(f[2]), f[3] == "1"});
  }
  return attrs;
}

inline std::string DescribeCertificate(const CertSpec& spec, const std::string& subjectKey,
                                       const std::string& issuerKey) {
  return "cert|" + subjectKey + "|" + issuerKey + "|" + DescribeName(spec.subject) + "|" +
         DescribeName(spec.issuer) + "|" + ToHex(ToString(spec.serial)) + "|" +
         std::to_string(spec.notBefore) + "|" + std::to_string(spec.notAfter) + "|" +
         spec.keyUsage + "|" + spec.basicConstraints;
}

// The spec and key names of a "cert" line; false when the line is not one.
inline bool ParseCertificate(std::string_view line, CertSpec* spec, std::string* subjectKey,
                             std::string* issuerKey) {
  const std::vector<std::string> f = Split(line, '|');
  if (f.size() != 10 || f[0] != "cert") return false;
  *subjectKey = f[1];
  *issuerKey = f[2];
  spec->subject = ParseName(f[3]);
  spec->issuer = ParseName(f[4]);
  spec->serial = ToBytes(FromHex(f[5]));
  spec->notBefore = std::stoll(f[6]);
  spec->notAfter = std::stoll(f[7]);
  spec->keyUsage = f[8];
  spec->basicConstraints = f[9];
  return true;
}

// One entry of a "pfx" line: the number of the certificate's line and the key's name ("-": none).
struct PreparedEntry {
  int certificate;
  std::string key;
};

inline std::string DescribePfx(const std::vector<PreparedEntry>& entries, const char* pass,
                               bool legacy) {
  std::string list;
  for (const PreparedEntry& e : entries) {
    if (!list.empty()) list += ';';
    list += std::to_string(e.certificate) + "," + e.key;
  }
  return std::string("pfx|") + (pass ? std::string("=") + pass : std::string("-")) + "|" +
         (legacy ? "1" : "0") + "|" + list;
}

// The entries, password and form of a "pfx" line; false when the line is not one.
inline bool ParsePfx(std::string_view line, std::vector<PreparedEntry>* entries, std::string* pass,
                     bool* hasPass, bool* legacy) {
  const std::vector<std::string> f = Split(line, '|');
  if (f.size() != 4 || f[0] != "pfx" || f[1].empty()) return false;
  *hasPass = f[1][0] == '=';
  *pass = *hasPass ? f[1].substr(1) : std::string();
  *legacy = f[2] == "1";
  entries->clear();
  for (const std::string& entry : Split(f[3], ';')) {
    const std::vector<std::string> e = Split(entry, ',');
    if (e.size() == 2) entries->push_back(PreparedEntry{std::stoi(e[0]), e[1]});
  }
  return true;
}

}  // namespace zyq::test::prepared
