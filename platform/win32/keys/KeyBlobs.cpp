#include "platform/win32/keys/KeyBlobs.h"

#include <algorithm>
#include <cstring>

#include "platform/Certificates.h"
#include "platform/common/certs/Der.h"

namespace zyq::platform::win32 {
namespace {

namespace der = common::der;

constexpr uint8_t kPrivateKeyBlob = 0x07;
constexpr uint8_t kPublicKeyBlob = 0x06;
constexpr uint32_t kRsa1 = 0x31415352;  // "RSA1"
constexpr uint32_t kRsa2 = 0x32415352;  // "RSA2"
constexpr size_t kHeader = 8 + 12;      // BLOBHEADER + RSAPUBKEY

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(std::span<const uint8_t> in, size_t at) {
  return uint32_t{in[at]} | uint32_t{in[at + 1]} << 8 | uint32_t{in[at + 2]} << 16 |
         uint32_t{in[at + 3]} << 24;
}

// Big-endian magnitude (leading zeros allowed) -> little-endian of exactly width bytes.
bool PutLittle(std::vector<uint8_t>& out, ByteView bigEndian, size_t width) {
  while (!bigEndian.empty() && bigEndian.front() == 0) bigEndian = bigEndian.subspan(1);
  if (bigEndian.size() > width) return false;
  for (size_t i = 0; i < width; ++i) {
    out.push_back(i < bigEndian.size() ? bigEndian[bigEndian.size() - 1 - i] : 0);
  }
  return true;
}

Bytes BigEndian(std::span<const uint8_t> little) {
  return Bytes(little.rbegin(), little.rend());
}

// Reads an INTEGER that must be non-negative.
SysError ReadUnsigned(der::Reader& r, ByteView* value) {
  der::Element e;
  if (r.Expect(der::kInteger, &e) != kErrorSuccess || e.content.empty() ||
      (e.content[0] & 0x80) != 0) {
    return kNteBadData;
  }
  *value = e.content;
  return kErrorSuccess;
}

// The RSAPrivateKey inside der (PKCS#8 or bare).
SysError FindRsaPrivateKey(ByteView data, ByteView* rsaKey) {
  der::Element outer;
  if (der::ParseSingle(data, der::kSequence, &outer) != kErrorSuccess) return kNteBadData;
  der::Reader r(outer.content);
  der::Element version, second;
  if (r.Expect(der::kInteger, &version) != kErrorSuccess) return kNteBadData;
  if (r.PeekTag() == der::kInteger) {  // RSAPrivateKey itself
    *rsaKey = data;
    return kErrorSuccess;
  }
  if (r.Expect(der::kSequence, &second) != kErrorSuccess) return kNteBadData;
  der::Reader alg(second.content);
  der::Element oid, key;
  if (alg.Expect(der::kOid, &oid) != kErrorSuccess) return kNteBadData;
  std::string dotted;
  if (der::OidToText(oid.content, &dotted) != kErrorSuccess) return kNteBadData;
  if (dotted != kOidRsaEncryption) return kNteBadAlgid;
  if (r.Expect(der::kOctetString, &key) != kErrorSuccess) return kNteBadData;
  *rsaKey = key.content;
  return kErrorSuccess;
}

}  // namespace

SysError PrivateKeyDerToBlob(std::span<const uint8_t> data, uint32_t aiKeyAlg, SecretBytes* blob) {
  ByteView rsaKey;
  if (SysError err = FindRsaPrivateKey(data, &rsaKey)) return err;
  der::Element seq;
  if (der::ParseSingle(rsaKey, der::kSequence, &seq) != kErrorSuccess) return kNteBadData;
  der::Reader r(seq.content);
  ByteView version, n, e, d, p, q, dp, dq, qinv;
  for (ByteView* v : {&version, &n, &e, &d, &p, &q, &dp, &dq, &qinv}) {
    if (SysError err = ReadUnsigned(r, v)) return err;
  }
  while (!n.empty() && n.front() == 0) n = n.subspan(1);
  while (!e.empty() && e.front() == 0) e = e.subspan(1);
  const size_t bits = n.empty() ? 0 : n.size() * 8 - static_cast<size_t>(__builtin_clz(n[0]) - 24);
  if (bits < 384 || bits > 16384 || e.size() > 4) return kNteBadKey;
  const size_t width = (bits + 7) / 8, half = (bits + 15) / 16;
  std::vector<uint8_t> out = {kPrivateKeyBlob, 2, 0, 0};
  PutU32(out, aiKeyAlg);
  PutU32(out, kRsa2);
  PutU32(out, static_cast<uint32_t>(bits));
  uint32_t exponent = 0;
  for (uint8_t b : e) exponent = exponent << 8 | b;
  PutU32(out, exponent);
  bool ok = PutLittle(out, n, width) && PutLittle(out, p, half) && PutLittle(out, q, half) &&
            PutLittle(out, dp, half) && PutLittle(out, dq, half) && PutLittle(out, qinv, half) &&
            PutLittle(out, d, width);
  if (!ok) {
    SecretBytes wipe(std::move(out));
    return kNteBadKey;
  }
  *blob = SecretBytes(std::move(out));
  return kErrorSuccess;
}

SysError BlobToPkcs8(std::span<const uint8_t> blob, SecretBytes* pkcs8) {
  if (blob.size() < kHeader || blob[0] != kPrivateKeyBlob || GetU32(blob, 8) != kRsa2) {
    return kNteBadData;
  }
  const size_t bits = GetU32(blob, 12);
  const size_t width = (bits + 7) / 8, half = (bits + 15) / 16;
  if (bits == 0 || blob.size() < kHeader + 2 * width + 5 * half) return kNteBadData;
  const uint32_t exponent = GetU32(blob, 16);
  const uint8_t e[4] = {static_cast<uint8_t>(exponent >> 24), static_cast<uint8_t>(exponent >> 16),
                        static_cast<uint8_t>(exponent >> 8), static_cast<uint8_t>(exponent)};
  size_t at = kHeader;
  auto take = [&](size_t n) {
    Bytes v = BigEndian(blob.subspan(at, n));
    at += n;
    return v;
  };
  Bytes n = take(width), p = take(half), q = take(half), dp = take(half), dq = take(half),
        qinv = take(half), d = take(width);
  Bytes rsaKey = der::Constructed(
      der::kSequence,
      {der::SmallIntegerElement(0), der::UnsignedInteger(n), der::UnsignedInteger(ByteView(e, 4)),
       der::UnsignedInteger(d), der::UnsignedInteger(p), der::UnsignedInteger(q),
       der::UnsignedInteger(dp), der::UnsignedInteger(dq), der::UnsignedInteger(qinv)});
  const Bytes algorithm = der::Constructed(
      der::kSequence, {der::OidElement(kOidRsaEncryption), der::Tlv(der::kNull, Bytes{})});
  Bytes info = der::Constructed(der::kSequence, {der::SmallIntegerElement(0), algorithm,
                                                 der::Tlv(der::kOctetString, rsaKey)});
  for (Bytes* secret : {&rsaKey, &d, &p, &q, &dp, &dq, &qinv}) {
    SecureWipe(secret->data(), secret->size());
  }
  *pkcs8 = SecretBytes(std::vector<unsigned char>(info.begin(), info.end()));
  SecureWipe(info.data(), info.size());
  return kErrorSuccess;
}

SysError BlobToRsaPublicKey(std::span<const uint8_t> blob, std::vector<uint8_t>* rsaPublicKey) {
  if (blob.size() < kHeader || (blob[0] != kPrivateKeyBlob && blob[0] != kPublicKeyBlob)) {
    return kNteBadData;
  }
  const uint32_t magic = GetU32(blob, 8);
  if (magic != kRsa1 && magic != kRsa2) return kNteBadData;
  const size_t width = (GetU32(blob, 12) + 7) / 8;
  if (width == 0 || blob.size() < kHeader + width) return kNteBadData;
  const uint32_t exponent = GetU32(blob, 16);
  const uint8_t e[4] = {static_cast<uint8_t>(exponent >> 24), static_cast<uint8_t>(exponent >> 16),
                        static_cast<uint8_t>(exponent >> 8), static_cast<uint8_t>(exponent)};
  const Bytes n = BigEndian(blob.subspan(kHeader, width));
  *rsaPublicKey = der::Constructed(der::kSequence,
                                   {der::UnsignedInteger(n), der::UnsignedInteger(ByteView(e, 4))});
  return kErrorSuccess;
}

}  // namespace zyq::platform::win32
