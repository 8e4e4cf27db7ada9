// Zeroing of secret bytes at memset speed. The empty asm statement claims to read the memory,
// so the compiler cannot drop the memset as a dead store even when the bytes are freed or go out
// of scope right after; a byte-wise volatile loop gives the same guarantee at a fraction of the
// speed, which matters for megabyte buffers and for digests of short messages.
#pragma once

#include <cstddef>
#include <cstring>

namespace zyq::codec {

inline void Wipe(void* p, std::size_t n) {
  if (p == nullptr || n == 0) return;
  std::memset(p, 0, n);
  __asm__ __volatile__("" : : "r"(p) : "memory");
}

}  // namespace zyq::codec
