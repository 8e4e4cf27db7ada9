// The engine's owned, growable byte container, with the Base64, hex and reversed-copy operations
// that fill it.
//
// Invariants:
//   - empty means data() == nullptr and length() == 0;
//   - otherwise the storage holds at least length() + 2 bytes, and every byte after the content
//     is zero, so the two bytes at data()[length()] and data()[length() + 1] are always zero and
//     the content of a text buffer can be handed on as a NUL-terminated narrow (or wide) string.
//
// Every filling operation (the codecs, AssignReversed, Allocate) first empties the
// buffer, so a call that fails leaves it empty. Storage is wiped before it is given back, because
// buffers carry key blobs and decrypted passwords as well as public data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zyq {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  // As Allocate(n) on an empty buffer.
  explicit ByteBuffer(int n);
  ~ByteBuffer();

  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;

  // Wipes and frees the storage; the buffer becomes empty.
  void Release();

  // Releases, then holds n zero bytes. False (and empty) when n <= 0 or storage cannot be had.
  bool Allocate(int n);

  // Adds n bytes after the content. False, with the buffer unchanged, when src is null, n < 1,
  // the length would pass INT32_MAX - 2, or storage cannot be had. src may point into this
  // buffer. Growth is amortised: spare capacity is kept (and kept zero).
  bool Append(const void* src, int n);

  // Empties the buffer (also when the call then fails), then holds the n bytes of src in reverse
  // order: turns least-significant-byte-first values into most-significant-byte-first ones.
  bool AssignReversed(const void* src, int n);

  // Empties the buffer, then holds the Base64 text (standard alphabet, '=' padding, no line
  // breaks) of the n bytes of src. False for a null src or n <= 0.
  bool EncodeBase64(const void* src, int n);

  // Empties the buffer, then holds the bytes that the NUL-terminated Base64 text decodes to.
  // A text that holds "----" is taken to begin with an armour line; the body then runs from the
  // end of that line to the next "----". CR, LF and spaces in the body are skipped; a character
  // outside the alphabet is not rejected but decodes as the value 65; a group cut short by the
  // end of the body counts the missing characters as padding; decoding goes on after a padded
  // group. False for a null or empty text, an armour line without a closing one, an empty body.
  bool DecodeBase64(const char* text);

  // Empties the buffer, then holds the upper-case hex text of the n bytes of src (two digits per
  // byte, no separators). False for a null src or n <= 0.
  bool EncodeHex(const void* src, int n);

  // Shortens the content to its first n bytes, wiping the rest; n <= 0 empties the buffer.
  // False, with the buffer unchanged, when n is larger than the length.
  bool Truncate(int n);

  // The content: null when empty.
  unsigned char* data() { return data_; }
  const unsigned char* data() const { return data_; }
  std::int32_t length() const { return length_; }
  std::size_t size() const { return static_cast<std::size_t>(length_); }
  bool empty() const { return length_ == 0; }

  std::span<unsigned char> span() { return {data_, size()}; }
  std::span<const unsigned char> span() const { return {data_, size()}; }
  // The content as narrow text (without the trailing zero bytes).
  std::string_view view() const {
    return data_ ? std::string_view(reinterpret_cast<const char*>(data_), size())
                 : std::string_view();
  }
  // The content as a NUL-terminated narrow string; "" when empty.
  const char* c_str() const { return data_ ? reinterpret_cast<const char*>(data_) : ""; }

 private:
  // Empties the buffer, then gives storage for n content bytes that the caller overwrites (the
  // current storage when it fits, else new storage); the bytes after the n are zero. Null, with
  // the buffer possibly still holding its old content, when n is out of range or storage cannot
  // be had: the caller then releases.
  unsigned char* ResetForWrite(int n);

  unsigned char* data_ = nullptr;
  std::int32_t length_ = 0;
  // Content bytes the storage can hold; the storage itself is capacity_ + 2 bytes.
  std::int32_t capacity_ = 0;
};

}  // namespace zyq
