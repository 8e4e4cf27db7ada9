#include "platform/win32/keys/RsaPrivateValues.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/Secret.h"

namespace zyq::platform::win32 {
namespace {

constexpr uint8_t kPrivateKeyBlob = 0x07;
constexpr uint32_t kRsa2 = 0x32415352;  // "RSA2"
constexpr size_t kHeader = 8 + 12;      // BLOBHEADER + RSAPUBKEY

uint32_t GetU32(std::span<const uint8_t> in, size_t at) {
  return uint32_t{in[at]} | uint32_t{in[at + 1]} << 8 | uint32_t{in[at + 2]} << 16 |
         uint32_t{in[at + 3]} << 24;
}

// A non-negative integer of 32-bit limbs, least significant first, without high zero limbs.
// The values are key material: every buffer is wiped when it is given up.
class Num {
 public:
  Num() = default;
  explicit Num(uint32_t v) {
    if (v != 0) limbs_.push_back(v);
  }
  Num(const Num& other) : limbs_(other.limbs_) {}
  Num(Num&& other) noexcept : limbs_(std::move(other.limbs_)) {}
  Num& operator=(Num other) noexcept {
    limbs_.swap(other.limbs_);
    return *this;
  }
  ~Num() { SecureWipe(limbs_.data(), limbs_.capacity() * sizeof(uint32_t)); }

  static Num FromLittleEndian(std::span<const uint8_t> bytes) {
    Num n;
    n.limbs_.assign((bytes.size() + 3) / 4, 0);
    for (size_t i = 0; i < bytes.size(); ++i) {
      n.limbs_[i / 4] |= uint32_t{bytes[i]} << (8 * (i % 4));
    }
    n.Trim();
    return n;
  }
  // False when the value needs more than out.size() bytes.
  bool ToLittleEndian(std::span<uint8_t> out) const {
    if (Bits() > out.size() * 8) return false;
    for (size_t i = 0; i < out.size(); ++i) {
      out[i] = i / 4 < limbs_.size() ? static_cast<uint8_t>(limbs_[i / 4] >> (8 * (i % 4))) : 0;
    }
    return true;
  }

  bool IsZero() const { return limbs_.empty(); }
  bool IsOne() const { return limbs_.size() == 1 && limbs_[0] == 1; }
  size_t Bits() const {
    if (limbs_.empty()) return 0;
    return limbs_.size() * 32 - static_cast<size_t>(__builtin_clz(limbs_.back()));
  }
  bool Bit(size_t i) const { return i / 32 < limbs_.size() && (limbs_[i / 32] >> (i % 32)) & 1; }

  friend int Compare(const Num& a, const Num& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (size_t i = a.limbs_.size(); i-- > 0;) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }
  friend bool operator==(const Num& a, const Num& b) { return Compare(a, b) == 0; }

  friend Num Add(const Num& a, const Num& b) {
    Num out;
    const size_t n = std::max(a.limbs_.size(), b.limbs_.size());
    out.limbs_.resize(n + 1);
    uint64_t carry = 0;
    for (size_t i = 0; i < n; ++i) {
      carry += uint64_t{a.Limb(i)} + b.Limb(i);
      out.limbs_[i] = static_cast<uint32_t>(carry);
      carry >>= 32;
    }
    out.limbs_[n] = static_cast<uint32_t>(carry);
    out.Trim();
    return out;
  }
  // a - b for a >= b.
  friend Num Sub(const Num& a, const Num& b) {
    Num out(a);
    out.SubtractInPlace(b);
    return out;
  }
  friend Num Mul(const Num& a, const Num& b) {
    Num out;
    if (a.IsZero() || b.IsZero()) return out;
    out.limbs_.assign(a.limbs_.size() + b.limbs_.size(), 0);
    for (size_t i = 0; i < a.limbs_.size(); ++i) {
      uint64_t carry = 0;
      for (size_t j = 0; j < b.limbs_.size(); ++j) {
        carry += uint64_t{a.limbs_[i]} * b.limbs_[j] + out.limbs_[i + j];
        out.limbs_[i + j] = static_cast<uint32_t>(carry);
        carry >>= 32;
      }
      out.limbs_[i + b.limbs_.size()] = static_cast<uint32_t>(carry);
    }
    out.Trim();
    return out;
  }
  // a = quotient * b + remainder, bit by bit; b must not be zero.
  friend void DivMod(const Num& a, const Num& b, Num* quotient, Num* remainder) {
    Num q, r;
    q.limbs_.assign(a.limbs_.size(), 0);
    for (size_t i = a.Bits(); i-- > 0;) {
      r.ShiftLeftOne(a.Bit(i));
      if (Compare(r, b) >= 0) {
        r.SubtractInPlace(b);
        q.limbs_[i / 32] |= uint32_t{1} << (i % 32);
      }
    }
    q.Trim();
    if (quotient != nullptr) *quotient = std::move(q);
    if (remainder != nullptr) *remainder = std::move(r);
  }
  friend Num Mod(const Num& a, const Num& m) {
    Num r;
    DivMod(a, m, nullptr, &r);
    return r;
  }

 private:
  uint32_t Limb(size_t i) const { return i < limbs_.size() ? limbs_[i] : 0; }
  void Trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }
  void ShiftLeftOne(bool low) {
    uint32_t carry = low ? 1 : 0;
    for (uint32_t& limb : limbs_) {
      const uint32_t next = limb >> 31;
      limb = limb << 1 | carry;
      carry = next;
    }
    if (carry != 0) limbs_.push_back(carry);
  }
  void SubtractInPlace(const Num& b) {
    int64_t borrow = 0;
    for (size_t i = 0; i < limbs_.size(); ++i) {
      int64_t v = int64_t{limbs_[i]} - b.Limb(i) - borrow;
      borrow = v < 0 ? 1 : 0;
      limbs_[i] = static_cast<uint32_t>(v + (borrow << 32));
    }
    Trim();
  }

  std::vector<uint32_t> limbs_;
};

Num Gcd(Num a, Num b) {
  while (!b.IsZero()) {
    Num r = Mod(a, b);
    a = std::move(b);
    b = std::move(r);
  }
  return a;
}

// a^-1 mod m by the extended Euclidean algorithm, the coefficients kept in [0, m).
bool ModInverse(const Num& a, const Num& m, Num* inverse) {
  Num r0 = m, r1 = Mod(a, m);
  Num s0, s1(1);
  while (!r1.IsZero()) {
    Num q, r2;
    DivMod(r0, r1, &q, &r2);
    const Num t = Mod(Mul(q, s1), m);
    Num s2 = Compare(s0, t) >= 0 ? Sub(s0, t) : Sub(Add(s0, m), t);
    r0 = std::move(r1);
    r1 = std::move(r2);
    s0 = std::move(s1);
    s1 = std::move(s2);
  }
  if (!r0.IsOne()) return false;
  *inverse = std::move(s0);
  return true;
}

// e * x = 1 (mod m).
bool InvertsModulo(const Num& x, const Num& e, const Num& m) {
  return Mod(Mul(x, e), m).IsOne();
}

}  // namespace

SysError RestoreRsaPrivateValues(std::span<uint8_t> blob, bool* repaired) {
  if (repaired != nullptr) *repaired = false;
  if (blob.size() < kHeader || blob[0] != kPrivateKeyBlob || GetU32(blob, 8) != kRsa2) {
    return kNteBadData;
  }
  const size_t bits = GetU32(blob, 12);
  const size_t width = (bits + 7) / 8, half = (bits + 15) / 16;
  if (bits == 0 || blob.size() < kHeader + 2 * width + 5 * half) return kNteBadData;
  const std::span<uint8_t> nField = blob.subspan(kHeader, width),
                           pField = blob.subspan(kHeader + width, half),
                           qField = blob.subspan(kHeader + width + half, half),
                           dpField = blob.subspan(kHeader + width + 2 * half, half),
                           dqField = blob.subspan(kHeader + width + 3 * half, half),
                           qInvField = blob.subspan(kHeader + width + 4 * half, half),
                           dField = blob.subspan(kHeader + width + 5 * half, width);
  const Num e(GetU32(blob, 16));
  const Num one(1);
  const Num n = Num::FromLittleEndian(nField), p = Num::FromLittleEndian(pField),
            q = Num::FromLittleEndian(qField);
  if (Compare(p, one) <= 0 || Compare(q, one) <= 0 || Compare(e, one) <= 0 || !(Mul(p, q) == n)) {
    return kNteBadKey;
  }
  const Num pMinus1 = Sub(p, one), qMinus1 = Sub(q, one);
  bool wrote = false;

  Num d = Num::FromLittleEndian(dField);
  if (!InvertsModulo(d, e, pMinus1) || !InvertsModulo(d, e, qMinus1)) {
    Num lcm;
    DivMod(Mul(pMinus1, qMinus1), Gcd(pMinus1, qMinus1), &lcm, nullptr);
    if (!ModInverse(e, lcm, &d) || !d.ToLittleEndian(dField)) return kNteBadKey;
    wrote = true;
  }
  for (auto [field, modulus] : {std::pair{dpField, &pMinus1}, std::pair{dqField, &qMinus1}}) {
    const Num wanted = Mod(d, *modulus);
    if (!(Num::FromLittleEndian(field) == wanted)) {
      if (!wanted.ToLittleEndian(field)) return kNteBadKey;
      wrote = true;
    }
  }
  const Num qInv = Num::FromLittleEndian(qInvField);
  if (Compare(qInv, p) >= 0 || !Mod(Mul(qInv, q), p).IsOne()) {
    Num wanted;
    if (!ModInverse(q, p, &wanted) || !wanted.ToLittleEndian(qInvField)) return kNteBadKey;
    wrote = true;
  }
  if (repaired != nullptr) *repaired = wrote;
  return kErrorSuccess;
}

}  // namespace zyq::platform::win32
