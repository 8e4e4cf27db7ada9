// The demonstration authority of `zyqsec demo`, offered to the pages whose allow-list line says
// "demo": it answers a PKCS#10 request with the PKCS#7 that AcceptPKCS7 takes, so that a page
// can enroll without an authority of its own. Nobody trusts its root.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zyq::platform {
class TestAuthority;
}

namespace zyq::cli {

class HostDemoAuthority {
 public:
  HostDemoAuthority();
  ~HostDemoAuthority();

  // The Base64 PKCS#7 (certificate and root) for a Base64 PKCS#10 request; false with *why
  // when the request is refused.
  bool Issue(const std::string& requestBase64, std::string* pkcs7Base64, std::string* why);

 private:
  std::unique_ptr<platform::TestAuthority> authority_;
  uint64_t nextSerial_ = 1001;
};

}  // namespace zyq::cli
