// Chain building through the user's stores: trust bits of complete, partial and untrusted
// chains, time validity, signatures, basic constraints and loops.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/CertChain.h"
#include "tests/platform_certs/TestCertificates.h"

namespace zyq::platform {
namespace {

std::vector<test::NameAttr> Cn(const std::string& cn) {
  return {{"2.5.4.6", 0x13, "TW"}, {"2.5.4.3", 0x13, cn}};
}

class Chains : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    rootKey_ = test::NewRsaKey();
    midKey_ = test::NewRsaKey();
    leafKey_ = test::NewRsaKey();
    strangerKey_ = test::NewRsaKey();
  }
  static void TearDownTestSuite() {
    for (auto* k : {&rootKey_, &midKey_, &leafKey_, &strangerKey_}) k->reset();
  }

  void SetUp() override {
    setenv("ZYQSEC_HOME", (test::NewWorkFolder() + "/state").c_str(), 1);
    root_ = Make(test::CertSpec().Subject(Cn("Root")).Serial({1}).Ca(), rootKey_, rootKey_);
    mid_ = Make(test::CertSpec().Subject(Cn("Mid")).Issuer(Cn("Root")).Serial({2}).Ca(), midKey_,
                rootKey_);
    leaf_ =
        Make(test::CertSpec().Subject(Cn("Leaf")).Issuer(Cn("Mid")).Serial({3}), leafKey_, midKey_);
  }

  static CertContext Make(const test::CertSpec& spec, const test::TestKey& key,
                          const test::TestKey& signer) {
    CertContext ctx;
    EXPECT_EQ(CertContext::FromEncoded(test::MakeCertificate(spec, key, signer), &ctx),
              kErrorSuccess);
    return ctx;
  }

  static void Install(const char* storeName, const CertContext& cert) {
    CertStore store;
    ASSERT_EQ(CertStore::OpenSystem(storeName, &store), kErrorSuccess);
    ASSERT_EQ(store.Add(cert, kCertStoreAddReplaceExistingInheritProperties), kErrorSuccess);
  }

  static CertChain Build(const CertContext& end, ChainParameters params = {}) {
    CertChain chain;
    EXPECT_EQ(GetCertificateChain(end, params, &chain), kErrorSuccess);
    return chain;
  }

  static test::TestKey rootKey_;
  static test::TestKey midKey_;
  static test::TestKey leafKey_;
  static test::TestKey strangerKey_;
  CertContext root_, mid_, leaf_;
};
test::TestKey Chains::rootKey_;
test::TestKey Chains::midKey_;
test::TestKey Chains::leafKey_;
test::TestKey Chains::strangerKey_;

TEST_F(Chains, CompleteTrustedChain) {
  Install(kStoreRoot, root_);
  Install(kStoreCa, mid_);
  const CertChain chain = Build(leaf_);
  EXPECT_EQ(chain.errorStatus, 0u);
  ASSERT_EQ(chain.elements.size(), 3u);
  EXPECT_EQ(chain.elements[0].cert.encoded(), leaf_.encoded());
  EXPECT_EQ(chain.elements[1].cert.encoded(), mid_.encoded());
  EXPECT_EQ(chain.elements[2].cert.encoded(), root_.encoded());
  EXPECT_TRUE(chain.elements[2].infoStatus & kCertTrustIsSelfSigned);
  EXPECT_FALSE(chain.elements[0].infoStatus & kCertTrustIsSelfSigned);
  EXPECT_TRUE(chain.elements[0].infoStatus & kCertTrustHasNameMatchIssuer);
  EXPECT_EQ(chain.infoStatus & 0xF, 0u);
  // A self-signed certificate in ROOT is a chain of itself.
  const CertChain alone = Build(root_);
  EXPECT_EQ(alone.errorStatus, 0u);
  EXPECT_EQ(alone.elements.size(), 1u);
}

TEST_F(Chains, UntrustedRootAndPartialChain) {
  // The root only in an additional store: complete, but not trusted.
  Install(kStoreCa, mid_);
  CertStore extra = CertStore::OpenMemory();
  ASSERT_EQ(extra.Add(root_, kCertStoreAddAlways), kErrorSuccess);
  ChainParameters params;
  params.additionalStores = {extra};
  CertChain chain = Build(leaf_, params);
  EXPECT_EQ(chain.errorStatus, kCertTrustIsUntrustedRoot);
  ASSERT_EQ(chain.elements.size(), 3u);
  EXPECT_EQ(chain.elements[2].errorStatus, kCertTrustIsUntrustedRoot);
  EXPECT_EQ(chain.elements[0].errorStatus, 0u);

  // Without the root anywhere: partial, and no root check.
  chain = Build(leaf_);
  EXPECT_EQ(chain.errorStatus, kCertTrustIsPartialChain);
  ASSERT_EQ(chain.elements.size(), 2u);
  EXPECT_EQ(chain.elements[1].cert.encoded(), mid_.encoded());

  // Nothing but the leaf.
  CertChain lone;
  ASSERT_EQ(GetCertificateChain(leaf_, {}, &lone), kErrorSuccess);
  EXPECT_EQ(Build(mid_).errorStatus, kCertTrustIsPartialChain);
  EXPECT_EQ(GetCertificateChain(CertContext{}, {}, &lone), kEInvalidArg);
}

TEST_F(Chains, TimeValidityBits) {
  Install(kStoreRoot, root_);
  Install(kStoreCa, mid_);
  // An expired leaf.
  const CertContext expired =
      Make(test::CertSpec().Subject(Cn("Old")).Issuer(Cn("Mid")).Serial({4}).Validity(1262401445,
                                                                                      1293937445),
           leafKey_, midKey_);
  CertChain chain = Build(expired);
  EXPECT_EQ(chain.errorStatus, kCertTrustIsNotTimeValid);
  EXPECT_EQ(chain.elements[0].errorStatus, kCertTrustIsNotTimeValid);
  EXPECT_EQ(chain.elements[1].errorStatus, 0u);
  // Judged at a time before everything was valid, every element is out of time.
  ChainParameters early;
  early.time = FileTimeFromUnixSeconds(946684800);  // 2000-01-01
  chain = Build(leaf_, early);
  for (const ChainElement& e : chain.elements) EXPECT_EQ(e.errorStatus, kCertTrustIsNotTimeValid);
  EXPECT_EQ(chain.errorStatus, kCertTrustIsNotTimeValid);
}

TEST_F(Chains, SignatureAndConstraintErrors) {
  Install(kStoreRoot, root_);
  // An intermediate of the right name but signed by another key.
  const CertContext forged =
      Make(test::CertSpec().Subject(Cn("Mid")).Issuer(Cn("Root")).Serial({5}).Ca(), midKey_,
           strangerKey_);
  Install(kStoreCa, forged);
  CertChain chain = Build(leaf_);
  EXPECT_EQ(chain.errorStatus, kCertTrustIsNotSignatureValid);
  EXPECT_EQ(chain.elements[1].errorStatus, kCertTrustIsNotSignatureValid);
  // The genuine intermediate, once present, is preferred.
  Install(kStoreCa, mid_);
  EXPECT_EQ(Build(leaf_).errorStatus, 0u);

  // An issuer that says it is no CA.
  const CertContext notCa = Make(
      test::CertSpec().Subject(Cn("Clerk")).Issuer(Cn("Root")).Serial({6}).Constraints("CA:FALSE"),
      strangerKey_, rootKey_);
  const CertContext underClerk =
      Make(test::CertSpec().Subject(Cn("Under")).Issuer(Cn("Clerk")).Serial({7}), leafKey_,
           strangerKey_);
  Install(kStoreCa, notCa);
  chain = Build(underClerk);
  EXPECT_EQ(chain.errorStatus, kCertTrustInvalidBasicConstraints);
  EXPECT_EQ(chain.elements[1].errorStatus, kCertTrustInvalidBasicConstraints);

  // A root allowing no intermediate CA below it.
  const CertContext strictRoot = Make(
      test::CertSpec().Subject(Cn("Strict")).Serial({8}).Constraints("critical,CA:TRUE,pathlen:0"),
      strangerKey_, strangerKey_);
  const CertContext strictMid =
      Make(test::CertSpec().Subject(Cn("StrictMid")).Issuer(Cn("Strict")).Serial({9}).Ca(), midKey_,
           strangerKey_);
  const CertContext strictLeaf =
      Make(test::CertSpec().Subject(Cn("StrictLeaf")).Issuer(Cn("StrictMid")).Serial({10}),
           leafKey_, midKey_);
  Install(kStoreRoot, strictRoot);
  Install(kStoreCa, strictMid);
  chain = Build(strictLeaf);
  ASSERT_EQ(chain.elements.size(), 3u);
  EXPECT_EQ(chain.elements[2].errorStatus, kCertTrustInvalidBasicConstraints);
  EXPECT_EQ(Build(strictMid).errorStatus, 0u);
}

TEST_F(Chains, CrossSignedLoopIsCyclic) {
  // A is issued by B and B by A: no root at the end.
  const CertContext a =
      Make(test::CertSpec().Subject(Cn("A")).Issuer(Cn("B")).Serial({11}).Ca(), midKey_, rootKey_);
  const CertContext b =
      Make(test::CertSpec().Subject(Cn("B")).Issuer(Cn("A")).Serial({12}).Ca(), rootKey_, midKey_);
  Install(kStoreCa, a);
  Install(kStoreCa, b);
  const CertChain chain = Build(a);
  EXPECT_TRUE(chain.errorStatus & kCertTrustIsCyclic);
  EXPECT_EQ(chain.elements.size(), 2u);
}

}  // namespace
}  // namespace zyq::platform
