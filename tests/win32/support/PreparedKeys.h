// The keys of the shared certificate tests on Windows, where there is no OpenSSL: a key is a
// name, and what it signs was prepared under that name on the Linux side (make_cert_data.sh).
// OpenSslPtr owns one as on Linux, so the shared test sources build unchanged.
#pragma once

#include <memory>
#include <string>

struct evp_pkey_st {
  std::string name;
};
using EVP_PKEY = evp_pkey_st;

namespace zyq::platform::posix {
template <typename T>
using OpenSslPtr = std::unique_ptr<T>;
}  // namespace zyq::platform::posix
