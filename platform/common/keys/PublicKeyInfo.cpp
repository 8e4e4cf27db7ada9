#include "platform/common/keys/PublicKeyInfo.h"

namespace zyq::platform::common {
namespace {

void AppendLength(std::vector<uint8_t>& out, size_t n) {
  if (n < 0x80) {
    out.push_back(static_cast<uint8_t>(n));
    return;
  }
  uint8_t bytes[sizeof(size_t)];
  int count = 0;
  for (size_t v = n; v != 0; v >>= 8) bytes[count++] = static_cast<uint8_t>(v & 0xFF);
  out.push_back(static_cast<uint8_t>(0x80 | count));
  while (count > 0) out.push_back(bytes[--count]);
}

void AppendTlv(std::vector<uint8_t>& out, uint8_t tag, std::span<const uint8_t> value) {
  out.push_back(tag);
  AppendLength(out, value.size());
  out.insert(out.end(), value.begin(), value.end());
}

// Reads one DER element (definite length) from the front of in.
SysError ReadTlv(std::span<const uint8_t>& in, uint8_t expectedTag,
                 std::span<const uint8_t>* value) {
  if (in.size() < 2) return kCryptEAsn1Eod;
  if (in[0] != expectedTag) return kCryptEAsn1Badtag;
  size_t pos = 2;
  size_t length = in[1];
  if (length & 0x80) {
    const size_t count = length & 0x7F;
    if (count == 0 || count > 4) return kCryptEAsn1Corrupt;
    if (in.size() < 2 + count) return kCryptEAsn1Eod;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = (length << 8) | in[2 + i];
    pos += count;
  }
  if (in.size() - pos < length) return kCryptEAsn1Eod;
  *value = in.subspan(pos, length);
  in = in.subspan(pos + length);
  return kErrorSuccess;
}

}  // namespace

std::vector<uint8_t> RsaPublicKeyInfo(std::span<const uint8_t> rsaPublicKey) {
  static constexpr uint8_t kRsaAlgorithm[] = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                              0xF7, 0x0D, 0x01, 0x01, 0x01, 0x05, 0x00};
  std::vector<uint8_t> bitString;
  bitString.reserve(rsaPublicKey.size() + 1);
  bitString.push_back(0);  // no unused bits
  bitString.insert(bitString.end(), rsaPublicKey.begin(), rsaPublicKey.end());
  std::vector<uint8_t> body(std::begin(kRsaAlgorithm), std::end(kRsaAlgorithm));
  AppendTlv(body, 0x03, bitString);
  std::vector<uint8_t> out;
  AppendTlv(out, 0x30, body);
  return out;
}

SysError PublicKeyBits(std::span<const uint8_t> spki, std::vector<uint8_t>* bits) {
  std::span<const uint8_t> outer;
  if (SysError err = ReadTlv(spki, 0x30, &outer); err != kErrorSuccess) return err;
  if (!spki.empty()) return kCryptEAsn1Badtag;
  std::span<const uint8_t> algorithm;
  if (SysError err = ReadTlv(outer, 0x30, &algorithm); err != kErrorSuccess) return err;
  std::span<const uint8_t> bitString;
  if (SysError err = ReadTlv(outer, 0x03, &bitString); err != kErrorSuccess) return err;
  if (!outer.empty()) return kCryptEAsn1Badtag;
  if (bitString.empty() || bitString[0] != 0) return kCryptEAsn1Corrupt;
  bits->assign(bitString.begin() + 1, bitString.end());
  return kErrorSuccess;
}

}  // namespace zyq::platform::common
