// The digest operations: Hash of a text and HashFile of a file's bytes, each as upper-case hex
// with the engine's own MD5, SHA-1, SHA-256 or SHA-512, chosen by dwFlags AND 7 (1 MD5,
// 3 SHA-256, 4 SHA-512, anything else SHA-1).
#pragma once

#include <cstdint>
#include <string>

#include "engine/Outcome.h"
#include "platform/Bstr.h"

namespace zyq {

using platform::Bstr;

// The digest of the text's UTF-16 code units, or (dwFlags 0x10) of its ANSI bytes. 5005 for an
// empty text, 5002 when the hex text cannot be made.
Result<std::string> HashText(const Bstr& strPlainText, int32_t dwFlags);

// The digest of a file's bytes; an empty path lets the user pick the file (5070 cancelled, 5002
// no picker). 5902 no such file; 1002 empty, unreadable or not a regular file; 5002 no memory.
Result<std::string> HashFileContents(std::string path, int32_t dwFlags);

}  // namespace zyq
