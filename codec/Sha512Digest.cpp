#include "codec/Sha512Digest.h"

#include <bit>

#include "codec/CpuDispatch.h"
#include "codec/DigestCompress.h"

namespace zyq {
namespace codec {
namespace {

constexpr std::uint64_t kInitial[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                       0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                       0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};

alignas(64) constexpr std::uint64_t kK[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

}  // namespace

#define ZYQ_S512_BIG0(x) (std::rotr(x, 28) ^ std::rotr(x, 34) ^ std::rotr(x, 39))
#define ZYQ_S512_BIG1(x) (std::rotr(x, 14) ^ std::rotr(x, 18) ^ std::rotr(x, 41))
#define ZYQ_S512_SMALL0(x) (std::rotr(x, 1) ^ std::rotr(x, 8) ^ ((x) >> 7))
#define ZYQ_S512_SMALL1(x) (std::rotr(x, 19) ^ std::rotr(x, 61) ^ ((x) >> 6))
// Schedule word i (16 <= i < 80) in place of word i - 16.
#define ZYQ_S512_W(i) \
  (w[(i)&15] +=       \
   ZYQ_S512_SMALL1(w[((i) + 14) & 15]) + w[((i) + 9) & 15] + ZYQ_S512_SMALL0(w[((i) + 1) & 15]))
#define ZYQ_S512_LOADED(i) w[i]
// One round with the variables renamed: d and h receive the new e and a.
#define ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, i, word)                                   \
  {                                                                                       \
    const std::uint64_t t1 = h + ZYQ_S512_BIG1(e) + (g ^ (e & (f ^ g))) + kK[i] + (word); \
    d += t1;                                                                              \
    h = t1 + ZYQ_S512_BIG0(a) + ((a & b) ^ (c & (a ^ b)));                                \
  }
#define ZYQ_S512_EIGHT(i, W)                              \
  ZYQ_S512_ROUND(a, b, c, d, e, f, g, h, i, W(i))         \
  ZYQ_S512_ROUND(h, a, b, c, d, e, f, g, i + 1, W(i + 1)) \
  ZYQ_S512_ROUND(g, h, a, b, c, d, e, f, i + 2, W(i + 2)) \
  ZYQ_S512_ROUND(f, g, h, a, b, c, d, e, i + 3, W(i + 3)) \
  ZYQ_S512_ROUND(e, f, g, h, a, b, c, d, i + 4, W(i + 4)) \
  ZYQ_S512_ROUND(d, e, f, g, h, a, b, c, i + 5, W(i + 5)) \
  ZYQ_S512_ROUND(c, d, e, f, g, h, a, b, i + 6, W(i + 6)) \
  ZYQ_S512_ROUND(b, c, d, e, f, g, h, a, i + 7, W(i + 7))

void Sha512CompressPortable(std::uint64_t state[8], const unsigned char* blocks,
                            std::size_t count) {
  std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (; count > 0; --count, blocks += 128) {
    std::uint64_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBig64(blocks + 8 * i);
    ZYQ_S512_EIGHT(0, ZYQ_S512_LOADED)
    ZYQ_S512_EIGHT(8, ZYQ_S512_LOADED)
    ZYQ_S512_EIGHT(16, ZYQ_S512_W)
    ZYQ_S512_EIGHT(24, ZYQ_S512_W)
    ZYQ_S512_EIGHT(32, ZYQ_S512_W)
    ZYQ_S512_EIGHT(40, ZYQ_S512_W)
    ZYQ_S512_EIGHT(48, ZYQ_S512_W)
    ZYQ_S512_EIGHT(56, ZYQ_S512_W)
    ZYQ_S512_EIGHT(64, ZYQ_S512_W)
    ZYQ_S512_EIGHT(72, ZYQ_S512_W)
    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
  }
}

#undef ZYQ_S512_EIGHT
#undef ZYQ_S512_ROUND
#undef ZYQ_S512_LOADED
#undef ZYQ_S512_W
#undef ZYQ_S512_SMALL1
#undef ZYQ_S512_SMALL0
#undef ZYQ_S512_BIG1
#undef ZYQ_S512_BIG0

void Sha512Compress(std::uint64_t state[8], const unsigned char* blocks, std::size_t count) {
  Sha512CompressPortable(state, blocks, count);
}

}  // namespace codec

Sha512Digest::~Sha512Digest() {
  codec::Wipe(state_, sizeof state_);
  stream_.Wipe();
}

void Sha512Digest::Init() {
  for (int i = 0; i < 8; ++i) state_[i] = codec::kInitial[i];
  stream_.Reset();
}

void Sha512Digest::Update(const void* data, std::size_t n) {
  if (data == nullptr) return;
  stream_.Feed(static_cast<const unsigned char*>(data), n,
               [this](const unsigned char* blocks, std::size_t count) {
                 codec::Sha512Compress(state_, blocks, count);
               });
}

void Sha512Digest::Finish(unsigned char* digest) {
  stream_.Pad<16, true>([this](const unsigned char* blocks, std::size_t count) {
    codec::Sha512Compress(state_, blocks, count);
  });
  for (int i = 0; i < 8; ++i) codec::StoreBig64(digest + 8 * i, state_[i]);
  // The partial block may hold the end of a secret; the chaining values are overwritten by Init.
  stream_.Wipe();
  Init();
}

void Sha512Digest::Final() {
  unsigned char digest[kDigestLength];
  Finish(digest);
  result_.Append(digest, kDigestLength);
  codec::Wipe(digest, sizeof digest);
}

bool Sha512Digest::Compute(const void* data, std::size_t n) {
  Init();
  Update(data, n);
  unsigned char digest[kDigestLength];
  Finish(digest);
  codec::StoreDigest(&result_, digest, kDigestLength);
  codec::Wipe(digest, sizeof digest);
  return true;
}

}  // namespace zyq
