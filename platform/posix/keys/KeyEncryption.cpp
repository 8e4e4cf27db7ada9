#include "platform/posix/keys/KeyEncryption.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <memory>

#include "platform/posix/OpenSslPtr.h"

namespace zyq::platform::posix {
namespace {

constexpr size_t kNonceSize = 12;
constexpr size_t kTagSize = 16;
constexpr size_t kHeaderSize = 1 + kNonceSize;

// EVP_CIPHER_CTX_free cleanses the context's key schedule.
using CipherPtr = OpenSslPtr<EVP_CIPHER_CTX>;

std::array<uint8_t, 13> AssociatedData(uint8_t version, KeyPlace place) {
  std::array<uint8_t, 13> aad{};
  aad[0] = version;
  const auto id = static_cast<uint64_t>(place.containerId);
  for (int i = 0; i < 8; ++i) aad[1 + i] = static_cast<uint8_t>(id >> (56 - 8 * i));
  for (int i = 0; i < 4; ++i) aad[9 + i] = static_cast<uint8_t>(place.keySpec >> (24 - 8 * i));
  return aad;
}

}  // namespace

bool IsUnsealedKey(std::span<const uint8_t> stored) {
  return !stored.empty() && stored[0] == 0x30;
}

SysError SealKey(const MasterKey& key, KeyPlace place, std::span<const uint8_t> pkcs8,
                 std::vector<uint8_t>* stored) {
  std::vector<uint8_t> out(kHeaderSize + pkcs8.size() + kTagSize);
  out[0] = kSealedKeyV1;
  if (RAND_bytes(out.data() + 1, kNonceSize) != 1) return kNteFail;
  const auto aad = AssociatedData(kSealedKeyV1, place);
  const CipherPtr ctx(EVP_CIPHER_CTX_new());
  int n = 0;
  int last = 0;
  if (!ctx ||
      EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.EncryptionKey().data(),
                         out.data() + 1) != 1 ||
      EVP_EncryptUpdate(ctx.get(), nullptr, &n, aad.data(), static_cast<int>(aad.size())) != 1 ||
      EVP_EncryptUpdate(ctx.get(), out.data() + kHeaderSize, &n, pkcs8.data(),
                        static_cast<int>(pkcs8.size())) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), out.data() + kHeaderSize + n, &last) != 1 ||
      static_cast<size_t>(n + last) != pkcs8.size() ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagSize,
                          out.data() + kHeaderSize + pkcs8.size()) != 1) {
    return kNteFail;
  }
  *stored = std::move(out);
  return kErrorSuccess;
}

SysError OpenSealedKey(const MasterKey& key, KeyPlace place, std::span<const uint8_t> stored,
                       SecretBytes* pkcs8) {
  if (stored.size() < kHeaderSize + kTagSize || stored[0] != kSealedKeyV1) {
    return kNteKeysetEntryBad;
  }
  const size_t length = stored.size() - kHeaderSize - kTagSize;
  SecretBytes out;
  out.bytes().resize(length);
  const auto aad = AssociatedData(stored[0], place);
  std::array<uint8_t, kTagSize> tag{};
  std::copy(stored.end() - kTagSize, stored.end(), tag.begin());
  const CipherPtr ctx(EVP_CIPHER_CTX_new());
  int n = 0;
  int last = 0;
  if (!ctx ||
      EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.EncryptionKey().data(),
                         stored.data() + 1) != 1 ||
      EVP_DecryptUpdate(ctx.get(), nullptr, &n, aad.data(), static_cast<int>(aad.size())) != 1 ||
      EVP_DecryptUpdate(ctx.get(), out.bytes().data(), &n, stored.data() + kHeaderSize,
                        static_cast<int>(length)) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag.data()) != 1 ||
      EVP_DecryptFinal_ex(ctx.get(), out.bytes().data() + n, &last) != 1) {
    return kNteKeysetEntryBad;  // out is wiped on the way out
  }
  *pkcs8 = std::move(out);
  return kErrorSuccess;
}

}  // namespace zyq::platform::posix
