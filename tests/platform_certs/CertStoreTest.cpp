// Certificate stores: dispositions, key links, order, persistence and sharing between processes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/CertStores.h"
#include "platform/posix/StateDatabase.h"
#include "tests/platform_certs/TestCertificates.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::platform {
namespace {

class CertStores : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { key_ = test::NewRsaKey(); }
  static void TearDownTestSuite() { key_.reset(); }

  void SetUp() override {
    // A state folder of its own for each case.
    const std::string folder = test::NewWorkFolder() + "/state";
    setenv("ZYQSEC_HOME", folder.c_str(), 1);
  }

  static CertContext Cert(const std::string& cn, Bytes serial, const std::string& issuer = "CA") {
    test::CertSpec spec;
    spec.Subject({{"2.5.4.3", 0x13, cn}}).Issuer({{"2.5.4.3", 0x13, issuer}}).Serial(serial);
    CertContext ctx;
    EXPECT_EQ(CertContext::FromEncoded(test::MakeCertificate(spec, key_, key_), &ctx),
              kErrorSuccess);
    return ctx;
  }

  static std::vector<std::string> Names(const CertStore& store) {
    std::vector<CertContext> all;
    EXPECT_EQ(store.Enumerate(&all), kErrorSuccess);
    std::vector<std::string> names;
    for (const CertContext& c : all) {
      std::string cn;
      EXPECT_EQ(NameAttributeText(c.cert().subject, kOidCommonName, &cn), kErrorSuccess);
      names.push_back(cn);
    }
    return names;
  }

  static KeyProvInfo Link(const std::string& container) {
    return KeyProvInfo{container, "Microsoft Enhanced Cryptographic Provider v1.0", 1, 0, 1};
  }

  // The disposition rules, the same for every kind of store.
  void CheckDispositions(const CertStore& store) {
    CertContext a = Cert("A", {1});
    CertContext b = Cert("B", {2});
    CertContext aAgain = Cert("A2", {1});  // same issuer and serial as A, other content
    ASSERT_EQ(store.Add(a, kCertStoreAddAlways), kErrorSuccess);
    ASSERT_EQ(store.Add(b, kCertStoreAddNew), kErrorSuccess);
    EXPECT_EQ(store.Add(aAgain, kCertStoreAddNew), kCryptEExists);
    EXPECT_EQ(Names(store), (std::vector<std::string>{"A", "B"}));

    // Always adds a further copy.
    ASSERT_EQ(store.Add(b, kCertStoreAddAlways), kErrorSuccess);
    EXPECT_EQ(Names(store), (std::vector<std::string>{"A", "B", "B"}));

    // Give A a key link through an enumerated context; it is written to the store.
    std::vector<CertContext> all;
    ASSERT_EQ(store.Enumerate(&all), kErrorSuccess);
    ASSERT_EQ(all[0].SetKeyLink(Link("K-A")), kErrorSuccess);
    ASSERT_EQ(store.Enumerate(&all), kErrorSuccess);
    ASSERT_TRUE(all[0].keyLink().has_value());
    EXPECT_EQ(*all[0].keyLink(), Link("K-A"));
    EXPECT_FALSE(all[1].keyLink().has_value());

    // Replacing with inheritance: A2 (no link of its own) takes A's place and A's link.
    CertContext added;
    ASSERT_EQ(store.Add(aAgain, kCertStoreAddReplaceExistingInheritProperties, &added),
              kErrorSuccess);
    EXPECT_EQ(Names(store), (std::vector<std::string>{"A2", "B", "B"}));
    ASSERT_TRUE(added.keyLink().has_value());
    EXPECT_EQ(added.keyLink()->containerName, "K-A");
    // A link of the new certificate wins over the inherited one.
    CertContext withLink = Cert("A3", {1});
    ASSERT_EQ(withLink.SetKeyLink(Link("K-NEW")), kErrorSuccess);
    ASSERT_EQ(store.Add(withLink, kCertStoreAddReplaceExistingInheritProperties), kErrorSuccess);
    ASSERT_EQ(store.Enumerate(&all), kErrorSuccess);
    EXPECT_EQ(all[0].keyLink()->containerName, "K-NEW");
    // A plain replace drops the old properties.
    ASSERT_EQ(store.Add(a, kCertStoreAddReplaceExisting), kErrorSuccess);
    ASSERT_EQ(store.Enumerate(&all), kErrorSuccess);
    EXPECT_FALSE(all[0].keyLink().has_value());
    EXPECT_EQ(Names(store), (std::vector<std::string>{"A", "B", "B"}));
    // Use-existing keeps the stored certificate and takes only the missing link.
    ASSERT_EQ(store.Add(withLink, kCertStoreAddUseExisting, &added), kErrorSuccess);
    EXPECT_EQ(Names(store), (std::vector<std::string>{"A", "B", "B"}));
    EXPECT_EQ(added.keyLink()->containerName, "K-NEW");

    // Removing the link.
    ASSERT_EQ(added.SetKeyLink(std::nullopt), kErrorSuccess);
    ASSERT_EQ(store.Enumerate(&all), kErrorSuccess);
    EXPECT_FALSE(all[0].keyLink().has_value());

    // Deleting: the enumerated entry itself, then by equality, then nothing left to delete.
    ASSERT_EQ(store.Delete(all[1]), kErrorSuccess);
    EXPECT_EQ(Names(store), (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(store.Delete(a), kErrorSuccess);
    EXPECT_EQ(Names(store), (std::vector<std::string>{"B"}));
    EXPECT_EQ(store.Delete(a), kCryptENotFound);
    EXPECT_EQ(all[0].SetKeyLink(Link("gone")), kCryptENotFound);
    CertContext found;
    EXPECT_EQ(store.FindExisting(b, &found), kErrorSuccess);
    EXPECT_EQ(found.encoded(), b.encoded());
    EXPECT_EQ(store.FindExisting(a, &found), kCryptENotFound);

    EXPECT_EQ(store.Add(b, 0), kEInvalidArg);
    EXPECT_EQ(store.Add(b, 6), kEInvalidArg);
    EXPECT_EQ(store.Add(CertContext{}, kCertStoreAddAlways), kEInvalidArg);
  }

  static test::TestKey key_;
};
test::TestKey CertStores::key_;

TEST_F(CertStores, MemoryStoreDispositions) {
  CertStore store = CertStore::OpenMemory();
  CheckDispositions(store);
  // A second memory store is a different store.
  EXPECT_TRUE(Names(CertStore::OpenMemory()).empty());
}

TEST_F(CertStores, SystemStoreDispositions) {
  CertStore store;
  ASSERT_EQ(CertStore::OpenSystem("MY", &store), kErrorSuccess);
  CheckDispositions(store);
}

TEST_F(CertStores, SystemStoresPersistAndAreSeparate) {
  CertStore my, ca, myLower;
  ASSERT_EQ(CertStore::OpenSystem("MY", &my), kErrorSuccess);
  ASSERT_EQ(CertStore::OpenSystem("CA", &ca), kErrorSuccess);
  CertContext a = Cert("A", {1});
  ASSERT_EQ(a.SetKeyLink(Link("{C-1}")), kErrorSuccess);
  ASSERT_EQ(my.Add(a, kCertStoreAddAlways), kErrorSuccess);
  ASSERT_EQ(my.Add(Cert("B", {2}), kCertStoreAddAlways), kErrorSuccess);
  ASSERT_EQ(ca.Add(Cert("Intermediate", {3}), kCertStoreAddAlways), kErrorSuccess);
  EXPECT_EQ(my.name(), "MY");

  // A new connection (as another run of the program would have) sees the same content.
  posix::StateDatabase::CloseForTesting();
  ASSERT_EQ(CertStore::OpenSystem("my", &myLower), kErrorSuccess);
  EXPECT_EQ(Names(myLower), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Names(ca), (std::vector<std::string>{"Intermediate"}));
  std::vector<CertContext> all;
  ASSERT_EQ(myLower.Enumerate(&all), kErrorSuccess);
  ASSERT_TRUE(all[0].keyLink().has_value());
  EXPECT_EQ(*all[0].keyLink(), Link("{C-1}"));
  EXPECT_EQ(all[0].sha1Thumbprint(), a.sha1Thumbprint());

  CertStore bad;
  EXPECT_EQ(CertStore::OpenSystem("", &bad), kErrorInvalidParameter);
  EXPECT_FALSE(bad.isOpen());
  EXPECT_EQ(bad.Enumerate(&all), kErrorInvalidHandle);
}

// Run by the test below in a separate process: adds the certificate named by the environment
// to "MY" with a key link.
TEST_F(CertStores, HelperProcessAddsToMy) {
  const char* path = std::getenv("ZYQ_CERT_TEST_ADD");
  if (path == nullptr) GTEST_SKIP() << "only run as a helper process";
  setenv("ZYQSEC_HOME", std::getenv("ZYQ_CERT_TEST_HOME"), 1);
  CertStore my;
  ASSERT_EQ(CertStore::OpenSystem("MY", &my), kErrorSuccess);
  CertContext ctx;
  ASSERT_EQ(CertContext::FromEncoded(test::ToBytes(test::ReadFile(path)), &ctx), kErrorSuccess);
  ASSERT_EQ(ctx.SetKeyLink(Link("FROM-OTHER-PROCESS")), kErrorSuccess);
  ASSERT_EQ(my.Add(ctx, kCertStoreAddReplaceExistingInheritProperties), kErrorSuccess);
}

TEST_F(CertStores, SystemStoreIsSharedWithOtherProcesses) {
  CertStore my;
  ASSERT_EQ(CertStore::OpenSystem("MY", &my), kErrorSuccess);
  ASSERT_EQ(my.Add(Cert("Mine", {7}), kCertStoreAddAlways), kErrorSuccess);
  std::vector<CertContext> before;
  ASSERT_EQ(my.Enumerate(&before), kErrorSuccess);

  const std::string dir = test::NewWorkFolder();
  test::WriteFile(dir + "/c.der", test::ToString(Cert("Theirs", {8}).encoded()));
  std::string out;
  const int rc = test::RunCommand("ZYQ_CERT_TEST_ADD=" + dir +
                                      "/c.der ZYQ_CERT_TEST_HOME=" + std::getenv("ZYQSEC_HOME") +
                                      " /proc/" + std::to_string(getpid()) +
                                      "/exe --gtest_filter=CertStores.HelperProcessAddsToMy",
                                  &out);
  ASSERT_EQ(rc, 0) << out;
  ASSERT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;

  // The open handle sees the other process's certificate at its next enumeration.
  EXPECT_EQ(Names(my), (std::vector<std::string>{"Mine", "Theirs"}));
  std::vector<CertContext> all;
  ASSERT_EQ(my.Enumerate(&all), kErrorSuccess);
  EXPECT_EQ(all[1].keyLink()->containerName, "FROM-OTHER-PROCESS");
}

TEST_F(CertStores, ContextFromBytesKeepsItsOwnProperties) {
  CertContext ctx = Cert("Loose", {9});
  EXPECT_FALSE(ctx.inStore());
  EXPECT_FALSE(ctx.keyLink().has_value());
  ASSERT_EQ(ctx.SetKeyLink(Link("X")), kErrorSuccess);
  CertStore store = CertStore::OpenMemory();
  CertContext added;
  ASSERT_EQ(store.Add(ctx, kCertStoreAddAlways, &added), kErrorSuccess);
  EXPECT_TRUE(added.inStore());
  EXPECT_EQ(added.keyLink()->containerName, "X");
  // The copy in the store is independent of the loose context.
  ASSERT_EQ(ctx.SetKeyLink(Link("Y")), kErrorSuccess);
  std::vector<CertContext> all;
  ASSERT_EQ(store.Enumerate(&all), kErrorSuccess);
  EXPECT_EQ(all[0].keyLink()->containerName, "X");
  EXPECT_TRUE(all[0].SameEntry(added));
  EXPECT_FALSE(all[0].SameEntry(ctx));

  CertContext bad;
  EXPECT_EQ(CertContext::FromEncoded(Bytes{0x30, 0x00}, &bad), kCryptEAsn1Eod);
  EXPECT_TRUE(bad.empty());
  EXPECT_EQ(store.AddEncoded(Bytes{0x02, 0x01, 0x00}, kCertStoreAddAlways), kCryptEAsn1Badtag);
}

}  // namespace
}  // namespace zyq::platform
