// OpenSSL's digest as a careful caller hashes many messages: the algorithm fetched once and one
// context reused. The OpenSSL side of the digest and HashFile benchmarks.
#pragma once

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstddef>

#include "platform/posix/OpenSslPtr.h"

namespace zyq::bench {

class OpenSslDigest {
 public:
  // name: an OpenSSL digest name ("SHA512").
  explicit OpenSslDigest(const char* name)
      : md_(EVP_MD_fetch(nullptr, name, nullptr)), ctx_(EVP_MD_CTX_new()) {}

  // Each returns false when OpenSSL failed.
  bool Init() { return EVP_DigestInit_ex2(ctx_.get(), md_.get(), nullptr) == 1; }
  bool Update(const void* data, std::size_t n) {
    return EVP_DigestUpdate(ctx_.get(), data, n) == 1;
  }
  bool Final() {
    unsigned int length = 0;
    const bool ok = EVP_DigestFinal_ex(ctx_.get(), out_, &length) == 1;
    benchmark::DoNotOptimize(out_);
    return ok;
  }
  // One whole message.
  bool Compute(const void* data, std::size_t n) { return Init() && Update(data, n) && Final(); }

 private:
  platform::posix::OpenSslPtr<EVP_MD> md_;
  platform::posix::OpenSslPtr<EVP_MD_CTX> ctx_;
  unsigned char out_[EVP_MAX_MD_SIZE];
};

}  // namespace zyq::bench
