#include "codec/ByteBuffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/Secret.h"

namespace zyq {
namespace {

// The largest content a buffer can hold: its length and the two zero bytes after it must fit in
// a signed 32-bit count.
constexpr std::int32_t kMaxLength = std::numeric_limits<std::int32_t>::max() - 2;

// The C library's allocation: it reports failure as null, which the buffer's operations turn into
// false instead of an exception.
unsigned char* ObtainStorage(std::int32_t capacity) {
  return static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(capacity) + 2));
}

void ReturnStorage(unsigned char* storage, std::int32_t used) {
  if (storage == nullptr) return;
  SecureWipe(storage, static_cast<std::size_t>(used));
  std::free(storage);
}

// Whether storage for capacity content bytes may serve n bytes: large enough, and not so large
// that a small result would keep a big block alive.
bool Reusable(std::int32_t capacity, std::int32_t n) {
  return capacity >= n && capacity - n <= n + 64;
}

}  // namespace

ByteBuffer::ByteBuffer(int n) {
  Allocate(n);
}

ByteBuffer::~ByteBuffer() {
  Release();
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(other.data_), length_(other.length_), capacity_(other.capacity_) {
  other.data_ = nullptr;
  other.length_ = 0;
  other.capacity_ = 0;
}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = other.data_;
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.data_ = nullptr;
    other.length_ = 0;
    other.capacity_ = 0;
  }
  return *this;
}

void ByteBuffer::Release() {
  // Only the content can be non-zero: the rest of the storage is kept zero.
  ReturnStorage(data_, length_);
  data_ = nullptr;
  length_ = 0;
  capacity_ = 0;
}

bool ByteBuffer::Allocate(int n) {
  if (n > 0 && data_ != nullptr && Reusable(capacity_, n)) {
    // Emptying and refilling with zeros, without giving the storage back: only the old content
    // can be non-zero.
    SecureWipe(data_, static_cast<std::size_t>(length_));
    length_ = n;
    return true;
  }
  Release();
  if (n <= 0 || n > kMaxLength) return false;
  auto* storage = static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(n) + 2, 1));
  if (storage == nullptr) return false;
  data_ = storage;
  length_ = n;
  capacity_ = n;
  return true;
}

bool ByteBuffer::Append(const void* src, int n) {
  if (src == nullptr || n < 1 || n > kMaxLength - length_) return false;
  const std::int32_t newLength = length_ + n;
  if (newLength <= capacity_) {
    // memmove: src may lie in this buffer's own content.
    std::memmove(data_ + length_, src, static_cast<std::size_t>(n));
    length_ = newLength;
    return true;
  }
  // Grow by half again at least, so that repeated appends cost amortised constant time.
  std::int32_t newCapacity = newLength;
  if (capacity_ > 0) {
    const std::int32_t grown =
        capacity_ > kMaxLength - capacity_ / 2 ? kMaxLength : capacity_ + capacity_ / 2;
    if (grown > newCapacity) newCapacity = grown;
  }
  if (newCapacity < 16) newCapacity = 16;
  unsigned char* storage = ObtainStorage(newCapacity);
  if (storage == nullptr) return false;
  if (length_ > 0) std::memcpy(storage, data_, static_cast<std::size_t>(length_));
  // Copy the new bytes before the old storage goes, in case they lie in it.
  std::memcpy(storage + length_, src, static_cast<std::size_t>(n));
  std::memset(storage + newLength, 0, static_cast<std::size_t>(newCapacity - newLength) + 2);
  ReturnStorage(data_, length_);
  data_ = storage;
  length_ = newLength;
  capacity_ = newCapacity;
  return true;
}

bool ByteBuffer::AssignReversed(const void* src, int n) {
  if (!Allocate(n) || src == nullptr) {
    Release();
    return false;
  }
  const auto* from = static_cast<const unsigned char*>(src);
  for (int i = 0; i < n; ++i) data_[i] = from[n - 1 - i];
  return true;
}

unsigned char* ByteBuffer::ResetForWrite(int n) {
  if (n > 0 && data_ != nullptr && Reusable(capacity_, n)) {
    // The caller overwrites the first n bytes; wipe what lies beyond them of the old content.
    if (length_ > n) SecureWipe(data_ + n, static_cast<std::size_t>(length_ - n));
    length_ = n;
    return data_;
  }
  Release();
  if (n <= 0 || n > kMaxLength) return nullptr;
  unsigned char* storage = ObtainStorage(n);
  if (storage == nullptr) return nullptr;
  storage[n] = 0;
  storage[n + 1] = 0;
  data_ = storage;
  length_ = n;
  capacity_ = n;
  return storage;
}

bool ByteBuffer::Truncate(int n) {
  if (n > length_) return false;
  if (n <= 0) {
    Release();
    return true;
  }
  // Everything after the content is zero: wipe what goes (the storage stays live, so the memset
  // cannot be dropped), and the rest of the storage, kept zero already.
  std::memset(data_ + n, 0, static_cast<std::size_t>(capacity_ - n) + 2);
  length_ = n;
  return true;
}

}  // namespace zyq
