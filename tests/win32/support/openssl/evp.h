// Stands in for OpenSSL's evp.h in the Windows builds of the shared certificate tests: the key
// type of PreparedKeys.h and the Base64 encoder the tests use as their reference.
#pragma once

#include <cstddef>

#include "tests/win32/support/PreparedKeys.h"

// Base64 of n bytes without line breaks, NUL-terminated; the number of characters written.
inline int EVP_EncodeBlock(unsigned char* out, const unsigned char* in, int n) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  int written = 0;
  for (int i = 0; i < n; i += 3) {
    const int left = n - i;
    const unsigned v = (static_cast<unsigned>(in[i]) << 16) |
                       (left > 1 ? static_cast<unsigned>(in[i + 1]) << 8 : 0u) |
                       (left > 2 ? static_cast<unsigned>(in[i + 2]) : 0u);
    out[written++] = static_cast<unsigned char>(kAlphabet[(v >> 18) & 63]);
    out[written++] = static_cast<unsigned char>(kAlphabet[(v >> 12) & 63]);
    out[written++] = static_cast<unsigned char>(left > 1 ? kAlphabet[(v >> 6) & 63] : '=');
    out[written++] = static_cast<unsigned char>(left > 2 ? kAlphabet[v & 63] : '=');
  }
  out[written] = 0;
  return written;
}
