// The bytes that the signing operations sign for a text argument, and the flag bits that the
// two signing operations share.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Bstr.h"

namespace zyq {

// Sign the text in the process's ANSI code page instead of its UTF-16 form.
inline constexpr int32_t kSignAnsiText = 0x800;
// Digest MD5 instead of SHA-1.
inline constexpr int32_t kSignMd5 = 0x1000;

// With ansi: the text converted to the ANSI code page, up to (not including) its first NUL.
// Without: every UTF-16 code unit of the BSTR, least significant byte first (2 x its length
// bytes, embedded NULs included, no terminator).
std::string SignedTextBytes(const platform::Bstr& text, bool ansi);

}  // namespace zyq
