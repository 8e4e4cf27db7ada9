// The helpers of tests/cert/CertTestSupport.h that work the same in both builds; the key and the
// certificates come from CertTestSupport.cpp on Linux and from prepared files on Windows.
#include <gtest/gtest.h>

#include "tests/cert/CertTestSupport.h"

namespace zyq::test {

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

}  // namespace zyq::test
