#include "engine/Digests.h"

#include <bit>
#include <cstdint>

#include "codec/ByteBuffer.h"
#include "codec/Md5Digest.h"
#include "codec/Sha1Digest.h"
#include "codec/Sha256Digest.h"
#include "codec/Sha512Digest.h"
#include "engine/ResultCodes.h"
#include "platform/FileSystem.h"
#include "ui/DialogResults.h"
#include "ui/Pickers.h"

namespace zyq {
namespace {

// dwFlags bit of Hash: hash the text's ANSI bytes instead of its UTF-16 code units.
constexpr int32_t kHashAnsiText = 0x10;

template <typename Digest>
bool DigestHex(const void* data, size_t n, ByteBuffer* hex) {
  Digest digest;
  digest.Compute(data, n);
  return hex->EncodeHex(digest.result().data(), digest.result().length());
}

// The digest picked by dwFlags AND 7 (1 MD5, 3 SHA-256, 4 SHA-512, anything else SHA-1), as
// upper-case hex. False when the hex text cannot be made.
bool HashToHex(int32_t dwFlags, const void* data, size_t n, ByteBuffer* hex) {
  switch (dwFlags & 7) {
    case 1:
      return DigestHex<Md5Digest>(data, n, hex);
    case 3:
      return DigestHex<Sha256Digest>(data, n, hex);
    case 4:
      return DigestHex<Sha512Digest>(data, n, hex);
    default:
      return DigestHex<Sha1Digest>(data, n, hex);
  }
}

// HashFile reads the file in pieces of this size: large enough that the read calls cost nothing
// beside the digest, small enough to stay in the cache; memory stays at one piece whatever the
// size of the file.
constexpr size_t kFileBlockSize = size_t{1} << 20;

enum class FileDigestOutcome { kDone, kUnreadable, kNoMemory };

// The digest of the file's bytes read in pieces, as upper-case hex. An empty file, one that is
// not a regular file, and one that cannot be read to its end are unreadable.
template <typename Digest>
FileDigestOutcome FileDigestHex(const std::string& path, ByteBuffer* hex) {
  Digest digest;
  uint64_t total = 0;
  const platform::SysError err = platform::CurrentFileSystem().ReadFileInBlocks(
      path, kFileBlockSize, [&](const unsigned char* data, size_t n) {
        digest.Update(data, n);
        total += n;
      });
  if (err != platform::kErrorSuccess || total == 0) return FileDigestOutcome::kUnreadable;
  digest.Final();
  return hex->EncodeHex(digest.result().data(), digest.result().length())
             ? FileDigestOutcome::kDone
             : FileDigestOutcome::kNoMemory;
}

FileDigestOutcome FileToHex(int32_t dwFlags, const std::string& path, ByteBuffer* hex) {
  switch (dwFlags & 7) {
    case 1:
      return FileDigestHex<Md5Digest>(path, hex);
    case 3:
      return FileDigestHex<Sha256Digest>(path, hex);
    case 4:
      return FileDigestHex<Sha512Digest>(path, hex);
    default:
      return FileDigestHex<Sha1Digest>(path, hex);
  }
}

}  // namespace

Result<std::string> HashText(const Bstr& strPlainText, int32_t dwFlags) {
  if (strPlainText.Empty()) return Outcome::Failure(result::kBadParameter);
  ByteBuffer hex;
  bool encoded;
  if ((dwFlags & kHashAnsiText) != 0) {
    const std::string ansi = strPlainText.ToAnsi();  // up to the first zero byte
    encoded = HashToHex(dwFlags, ansi.data(), ansi.size(), &hex);
  } else {
    // The code units as stored, least significant byte first.
    static_assert(std::endian::native == std::endian::little);
    const std::u16string_view units = strPlainText.View();
    encoded = HashToHex(dwFlags, units.data(), units.size() * sizeof(char16_t), &hex);
  }
  if (!encoded) return Outcome::Failure(result::kAllocationError);
  return std::string(hex.view());
}

Result<std::string> HashFileContents(std::string path, int32_t dwFlags) {
  if (path.empty()) {
    // 5070 when the user cancelled the picker, 5002 when it could not be created.
    if (const int code = ui::PromptFileToHash(path); code != ui::kDialogOk) {
      return Outcome::Failure(code);
    }
  }
  if (!platform::CurrentFileSystem().Exists(path)) return Outcome::Failure(result::kFileNotFound);
  // Read in pieces, so that a file of any size is hashed in the memory of one piece. An empty or
  // unreadable file, a folder, a pipe or a device is refused.
  ByteBuffer hex;
  switch (FileToHex(dwFlags, path, &hex)) {
    case FileDigestOutcome::kDone:
      return std::string(hex.view());
    case FileDigestOutcome::kUnreadable:
      return Outcome::Failure(result::kFileUnreadable);
    case FileDigestOutcome::kNoMemory:
      break;
  }
  return Outcome::Failure(result::kAllocationError);
}

}  // namespace zyq
