// Wiping of secrets (passwords, key blobs) that must not outlive their use in memory.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace zyq {

// Overwrites n bytes with zeros in a way the compiler may not optimise away, at memset speed:
// the empty asm statement claims to read the memory, so the memset is never dropped as a dead
// store even when the bytes are freed or go out of scope right after.
inline void SecureWipe(void* data, size_t n) {
  if (data == nullptr || n == 0) return;
  std::memset(data, 0, n);
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

// A narrow text that is wiped when it is destroyed or reassigned: passwords in ANSI form.
class SecretString {
 public:
  SecretString() = default;
  // A short text is copied out of the argument's own buffer, not taken over: that copy left
  // behind is wiped too.
  explicit SecretString(std::string value) : value_(std::move(value)) {
    SecureWipe(value.data(), value.capacity());
  }
  SecretString(const SecretString& other) : value_(other.value_) {}
  SecretString& operator=(const SecretString& other) {
    if (this != &other) {
      Clear();
      value_ = other.value_;
    }
    return *this;
  }
  SecretString(SecretString&& other) noexcept : value_(std::move(other.value_)) { other.Clear(); }
  SecretString& operator=(SecretString&& other) noexcept {
    if (this != &other) {
      Clear();
      value_ = std::move(other.value_);
      other.Clear();
    }
    return *this;
  }
  ~SecretString() { Clear(); }

  void Clear() {
    SecureWipe(value_.data(), value_.capacity());
    value_.clear();
  }
  const std::string& str() const { return value_; }
  const char* c_str() const { return value_.c_str(); }
  size_t size() const { return value_.size(); }
  bool empty() const { return value_.empty(); }

 private:
  std::string value_;
};

// A byte vector that is wiped when destroyed: key blobs, decrypted records.
class SecretBytes {
 public:
  SecretBytes() = default;
  explicit SecretBytes(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  SecretBytes(SecretBytes&& other) noexcept : bytes_(std::move(other.bytes_)) {}
  SecretBytes& operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
      Clear();
      bytes_ = std::move(other.bytes_);
    }
    return *this;
  }
  ~SecretBytes() { Clear(); }
  void Clear() {
    SecureWipe(bytes_.data(), bytes_.capacity());
    bytes_.clear();
  }
  std::vector<unsigned char>& bytes() { return bytes_; }
  const std::vector<unsigned char>& bytes() const { return bytes_; }

 private:
  std::vector<unsigned char> bytes_;
};

}  // namespace zyq
