#include "codec/DesCipher.h"

#include <cstring>

#include "codec/DesCore.h"
#include "platform/Secret.h"

namespace zyq {
namespace {

// The key schedules of one call, wiped when the call ends.
struct Schedules {
  codec::DesKeySchedule stage[3];
  int stages = 1;
  ~Schedules() { SecureWipe(stage, sizeof stage); }
};

// Builds the schedules for the direction of the call. Triple DES encrypts with K1 forward, K2
// reversed, K3 forward, and decrypts with K3 reversed, K2 forward, K1 reversed.
void Prepare(std::uint32_t algorithm, const unsigned char* key, bool decrypt, Schedules* out) {
  if (algorithm == DesCipher::kCalgDes) {
    out->stages = 1;
    codec::DesMakeSchedule(key, decrypt, &out->stage[0]);
    return;
  }
  const unsigned char* k1 = key;
  const unsigned char* k2 = key + 8;
  const unsigned char* k3 = algorithm == DesCipher::kCalg3Des ? key + 16 : key;
  out->stages = 3;
  codec::DesMakeSchedule(decrypt ? k3 : k1, decrypt, &out->stage[0]);
  codec::DesMakeSchedule(k2, !decrypt, &out->stage[1]);
  codec::DesMakeSchedule(decrypt ? k1 : k3, decrypt, &out->stage[2]);
}

}  // namespace

DesCipher::~DesCipher() {
  key_.Clear();
  output_.Release();
}

void DesCipher::SetAlgorithm(std::uint32_t algId) {
  algorithm_ = (algId == kCalg3Des || algId == kCalg3Des112) ? algId : kCalgDes;
}

void DesCipher::SetKey(const void* key, int n) {
  key_.Clear();
  if (key == nullptr || n <= 0) return;
  const auto* bytes = static_cast<const unsigned char*>(key);
  key_.bytes().assign(bytes, bytes + n);
}

int DesCipher::RequiredKeyLength() const {
  switch (algorithm_) {
    case kCalg3Des:
      return 24;
    case kCalg3Des112:
      return 16;
    default:
      return 8;
  }
}

bool DesCipher::Encrypt(const void* data, int n) {
  output_.Release();
  if (data == nullptr || n <= 0 || static_cast<int>(key_.bytes().size()) < RequiredKeyLength()) {
    return false;
  }
  const int whole = n / 8;
  const int rest = n % 8;
  const std::int64_t outLength = std::int64_t{n} - rest + 8;
  if (outLength > INT32_MAX - 2 || !output_.Allocate(static_cast<int>(outLength))) return false;

  Schedules schedules;
  Prepare(algorithm_, key_.bytes().data(), false, &schedules);
  unsigned char chain[8];
  std::memcpy(chain, iv_, 8);
  const auto* in = static_cast<const unsigned char*>(data);
  unsigned char* out = output_.data();
  codec::DesCbcEncrypt(schedules.stage, schedules.stages, chain, in, out,
                       static_cast<std::size_t>(whole));

  unsigned char last[8];
  std::memcpy(last, in + 8 * static_cast<std::size_t>(whole), static_cast<std::size_t>(rest));
  std::memset(last + rest, 8 - rest, static_cast<std::size_t>(8 - rest));
  codec::DesCbcEncrypt(schedules.stage, schedules.stages, chain, last,
                       out + 8 * static_cast<std::size_t>(whole), 1);
  SecureWipe(last, sizeof last);
  return true;
}

bool DesCipher::Decrypt(const void* data, int n) {
  output_.Release();
  if (data == nullptr || n <= 0 || static_cast<int>(key_.bytes().size()) < RequiredKeyLength()) {
    return false;
  }
  // Every block but the last, whole, then the last, which may be cut short.
  const int before = (n - 1) / 8;
  if (!output_.Allocate(8 * before + 8)) return false;

  Schedules schedules;
  Prepare(algorithm_, key_.bytes().data(), true, &schedules);
  unsigned char chain[8];
  std::memcpy(chain, iv_, 8);
  const auto* in = static_cast<const unsigned char*>(data);
  unsigned char* out = output_.data();
  codec::DesCbcDecrypt(schedules.stage, schedules.stages, chain, in, out,
                       static_cast<std::size_t>(before));

  unsigned char last[8] = {};
  const int lastLength = n - 8 * before;
  std::memcpy(last, in + 8 * static_cast<std::size_t>(before),
              static_cast<std::size_t>(lastLength));
  unsigned char* lastOut = out + 8 * static_cast<std::size_t>(before);
  codec::DesCbcDecrypt(schedules.stage, schedules.stages, chain, last, lastOut, 1);

  const unsigned p = lastOut[7];
  int keep = 8;
  if (p >= 1 && p <= 8) keep = 8 - static_cast<int>(p);
  const int length = 8 * before + keep;
  // A lone block of padding leaves nothing: an empty output, and still true.
  output_.Truncate(length);
  return true;
}

}  // namespace zyq
