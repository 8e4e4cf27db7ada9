// A signed 128-bit integer for the DECIMAL conversions of the dispatcher: the compiler's own
// where it has one, else a small two's-complement class with the operations those conversions
// use (the 32-bit targets have no __int128).
#pragma once

#include <cstdint>

namespace zyq::com {

#if defined(__SIZEOF_INT128__)

using Int128 = __int128;

#else

class Int128 {
 public:
  constexpr Int128() = default;
  constexpr Int128(int64_t v) : hi_(v < 0 ? ~uint64_t{0} : 0), lo_(static_cast<uint64_t>(v)) {}
  constexpr Int128(int v) : Int128(static_cast<int64_t>(v)) {}
  constexpr Int128(uint64_t v) : hi_(0), lo_(v) {}
  constexpr Int128(uint32_t v) : hi_(0), lo_(v) {}

  explicit constexpr operator int64_t() const { return static_cast<int64_t>(lo_); }
  explicit constexpr operator int32_t() const { return static_cast<int32_t>(lo_); }

  friend constexpr bool operator==(Int128 a, Int128 b) { return a.hi_ == b.hi_ && a.lo_ == b.lo_; }
  friend constexpr bool operator<(Int128 a, Int128 b) {
    const auto ah = static_cast<int64_t>(a.hi_), bh = static_cast<int64_t>(b.hi_);
    return ah != bh ? ah < bh : a.lo_ < b.lo_;
  }
  friend constexpr bool operator>(Int128 a, Int128 b) { return b < a; }
  friend constexpr bool operator<=(Int128 a, Int128 b) { return !(b < a); }
  friend constexpr bool operator>=(Int128 a, Int128 b) { return !(a < b); }

  friend constexpr Int128 operator+(Int128 a, Int128 b) {
    Int128 r;
    r.lo_ = a.lo_ + b.lo_;
    r.hi_ = a.hi_ + b.hi_ + (r.lo_ < a.lo_ ? 1 : 0);
    return r;
  }
  constexpr Int128 operator-() const { return Int128(~hi_, ~lo_) + Int128(int64_t{1}); }
  friend constexpr Int128 operator-(Int128 a, Int128 b) { return a + -b; }
  Int128& operator++() { return *this = *this + Int128(int64_t{1}); }
  Int128& operator*=(Int128 b) { return *this = *this * b; }
  Int128& operator/=(Int128 b) { return *this = *this / b; }

  friend constexpr Int128 operator*(Int128 a, Int128 b) {
    // The low 128 bits of the product, from 32-bit pieces.
    const uint64_t a0 = a.lo_ & 0xffffffffu, a1 = a.lo_ >> 32, b0 = b.lo_ & 0xffffffffu,
                   b1 = b.lo_ >> 32;
    const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
    Int128 r;
    r.lo_ = (middle << 32) | (p00 & 0xffffffffu);
    r.hi_ = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32) + a.hi_ * b.lo_ + a.lo_ * b.hi_;
    return r;
  }

  // Truncating division and its remainder, as the built-in types divide.
  friend constexpr Int128 operator/(Int128 a, Int128 b) { return DivMod(a, b, false); }
  friend constexpr Int128 operator%(Int128 a, Int128 b) { return DivMod(a, b, true); }

  friend constexpr Int128 operator<<(Int128 a, int n) {
    if (n == 0) return a;
    if (n >= 64) return Int128(a.lo_ << (n - 64), uint64_t{0});
    return Int128((a.hi_ << n) | (a.lo_ >> (64 - n)), a.lo_ << n);
  }
  friend constexpr Int128 operator|(Int128 a, Int128 b) {
    return Int128(a.hi_ | b.hi_, a.lo_ | b.lo_);
  }
  friend constexpr Int128 operator&(Int128 a, Int128 b) {
    return Int128(a.hi_ & b.hi_, a.lo_ & b.lo_);
  }

 private:
  constexpr Int128(uint64_t hi, uint64_t lo) : hi_(hi), lo_(lo) {}
  constexpr bool Negative() const { return static_cast<int64_t>(hi_) < 0; }

  static constexpr Int128 DivMod(Int128 a, Int128 b, bool remainder) {
    const bool negA = a.Negative(), negB = b.Negative();
    Int128 n = negA ? -a : a, d = negB ? -b : b;
    Int128 q, r;
    for (int bit = 127; bit >= 0; --bit) {
      r = r << 1;
      const uint64_t word = bit >= 64 ? n.hi_ : n.lo_;
      r.lo_ |= (word >> (bit % 64)) & 1;
      if (!(r < d)) {
        r = r - d;
        if (bit >= 64) {
          q.hi_ |= uint64_t{1} << (bit - 64);
        } else {
          q.lo_ |= uint64_t{1} << bit;
        }
      }
    }
    if (remainder) return negA ? -r : r;
    return negA != negB ? -q : q;
  }

  uint64_t hi_ = 0;
  uint64_t lo_ = 0;
};

#endif

}  // namespace zyq::com
