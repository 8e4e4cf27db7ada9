#include "tests/cert/CertTestSupport.h"

#include <gtest/gtest.h>

namespace zyq::test {

const TestKey& SharedKey() {
  static const TestKey key = NewRsaKey();
  return key;
}

Bytes Make(const CertSpec& spec) {
  return MakeCertificate(spec, SharedKey(), SharedKey());
}

CertSpec WithCn(const std::string& cn) {
  CertSpec spec;
  spec.Subject({{kOidCn, kPrintable, cn}}).Issuer({{kOidCn, kPrintable, "Test CA"}});
  return spec;
}

platform::CertContext Context(const Bytes& der) {
  platform::CertContext context;
  EXPECT_EQ(platform::CertContext::FromEncoded(der, &context), 0u);
  return context;
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
