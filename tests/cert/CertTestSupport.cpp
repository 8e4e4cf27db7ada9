#include "tests/cert/CertTestSupport.h"

#include <cstdlib>
#include <ctime>

namespace zyq::test {

const TestKey& SharedKey() {
  static const TestKey key = NewRsaKey();
  return key;
}

Bytes Make(const CertSpec& spec) {
  return MakeCertificate(spec, SharedKey(), SharedKey());
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  if (const char* old = std::getenv("TZ")) saved_ = old;
  setenv("TZ", zone, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (saved_) {
    setenv("TZ", saved_->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace zyq::test
