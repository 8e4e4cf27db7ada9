#include "pfx/MobileRecord.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "cert/CertificateWrapper.h"
#include "codec/ByteBuffer.h"
#include "codec/DesCipher.h"
#include "codec/Sha1Digest.h"
#include "engine/ResultCodes.h"

namespace zyq {
namespace {

// PRIVATEKEYBLOB: BLOBHEADER (8 bytes), RSAPUBKEY (magic "RSA2", bit length, public exponent),
// then the seven numbers.
constexpr size_t kBlobBitLengthOffset = 12;
constexpr size_t kBlobExponentOffset = 16;
constexpr size_t kBlobNumbersOffset = 20;
constexpr uint8_t kPrivateKeyBlobType = 0x07;

uint32_t ReadLittleEndian32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void AppendBigEndian32(std::vector<unsigned char>& out, uint32_t value) {
  out.push_back(static_cast<unsigned char>(value >> 24));
  out.push_back(static_cast<unsigned char>(value >> 16));
  out.push_back(static_cast<unsigned char>(value >> 8));
  out.push_back(static_cast<unsigned char>(value));
}

// Appends `size` bytes of the blob from *offset in reverse order, advancing *offset.
void AppendReversed(std::vector<unsigned char>& out, const std::vector<unsigned char>& blob,
                    size_t* offset, size_t size) {
  for (size_t i = 0; i < size; ++i) out.push_back(blob[*offset + size - 1 - i]);
  *offset += size;
}

void AppendBytes(std::vector<unsigned char>& out, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  out.insert(out.end(), p, p + size);
}

void AppendCounted(std::vector<unsigned char>& out, const void* data, size_t size) {
  AppendBigEndian32(out, static_cast<uint32_t>(size));
  AppendBytes(out, data, size);
}

}  // namespace

bool BuildMobileRecord(const platform::CertContext& cert, const SecretBytes& privateKeyBlob,
                       SecretBytes* record) {
  const std::vector<unsigned char>& blob = privateKeyBlob.bytes();
  if (cert.empty() || blob.size() < kBlobNumbersOffset || blob[0] != kPrivateKeyBlobType) {
    return false;
  }
  const uint32_t bits = ReadLittleEndian32(&blob[kBlobBitLengthOffset]);
  const uint32_t exponent = ReadLittleEndian32(&blob[kBlobExponentOffset]);
  const size_t full = bits / 8;
  const size_t half = bits / 16;
  if (full == 0 || blob.size() < kBlobNumbersOffset + 2 * full + 5 * half) return false;

  const CertificateWrapper wrapper(cert);
  if (!wrapper.valid()) return false;
  const std::string commonName = wrapper.GetSubjectCN();
  const std::string notBefore = wrapper.GetNotBefore();
  const std::string notAfter = wrapper.GetNotAfter();
  const platform::Bytes serial = cert.cert().SerialBigEndian();
  const platform::Bytes& der = cert.encoded();

  std::vector<unsigned char> out;
  out.reserve(72 + 2 * full + 5 * half + commonName.size() + serial.size() + der.size());
  AppendBytes(out, kMobileRecordMagic, sizeof kMobileRecordMagic);
  AppendBigEndian32(out, bits);
  AppendBigEndian32(out, exponent);
  size_t offset = kBlobNumbersOffset;
  AppendReversed(out, blob, &offset, full);                              // modulus
  for (int i = 0; i < 5; ++i) AppendReversed(out, blob, &offset, half);  // p, q, dp, dq, qinv
  AppendReversed(out, blob, &offset, full);                              // d
  AppendCounted(out, commonName.data(), commonName.size());
  AppendCounted(out, serial.data(), serial.size());
  AppendBytes(out, cert.sha1Thumbprint().data(), cert.sha1Thumbprint().size());
  AppendBytes(out, notBefore.data(), notBefore.size());
  AppendBytes(out, notAfter.data(), notAfter.size());
  AppendCounted(out, der.data(), der.size());
  *record = SecretBytes(std::move(out));
  return true;
}

int32_t ProtectMobileRecord(const SecretBytes& record, const SecretString& password,
                            std::string* base64) {
  Sha1Digest digest;
  if (digest.Compute(password.str()).size() != 20) {
    return result::kDigestError;
  }
  unsigned char key[24];
  std::memcpy(key, digest.result().data(), 20);
  std::memcpy(key + 20, kMobileRecordMagic, sizeof kMobileRecordMagic);

  DesCipher cipher;
  cipher.SetAlgorithm(DesCipher::kCalg3Des);
  cipher.SetKey(key, sizeof key);
  SecureWipe(key, sizeof key);
  const std::vector<unsigned char>& plain = record.bytes();
  if (!cipher.Encrypt(plain.data(), static_cast<int>(plain.size()))) return result::kEncryptFailed;
  ByteBuffer text;
  if (!text.EncodeBase64(cipher.GetOutputData(), cipher.GetOutputLength()) || text.size() == 0) {
    return result::kEncryptFailed;
  }
  base64->assign(text.view());
  return result::kSuccess;
}

int32_t MakeMobileRecordText(const platform::CertContext& cert, const SecretBytes& privateKeyBlob,
                             const SecretString& password, std::string* base64) {
  SecretBytes record;
  if (!BuildMobileRecord(cert, privateKeyBlob, &record)) return result::kEncryptFailed;
  return ProtectMobileRecord(record, password, base64);
}

}  // namespace zyq
