// The chain test of SignPkcs7 and the mapping of a refused signature to result codes.
#include <gtest/gtest.h>

#include "sign/SignatureErrors.h"
#include "sign/SignerChain.h"

namespace zyq {
namespace {

TEST(SignerChainTest, StatusAcceptance) {
  EXPECT_TRUE(ChainStatusAccepted(0));
  EXPECT_TRUE(ChainStatusAccepted(0x20));           // untrusted root
  EXPECT_TRUE(ChainStatusAccepted(0x1));            // expired
  EXPECT_TRUE(ChainStatusAccepted(0x2));            // not time nested
  EXPECT_TRUE(ChainStatusAccepted(0x1 | 0x4));      // expired and revoked: time comes first
  EXPECT_TRUE(ChainStatusAccepted(0x1 | 0x10000));  // expired and partial
  EXPECT_FALSE(ChainStatusAccepted(0x4));           // revoked
  EXPECT_FALSE(ChainStatusAccepted(0x8 | 0x20));    // bad signature beats an untrusted root
  EXPECT_FALSE(ChainStatusAccepted(0x10));          // not valid for the usage
  EXPECT_FALSE(ChainStatusAccepted(0x10000));       // partial chain
  EXPECT_FALSE(ChainStatusAccepted(0x40));          // revocation unknown
  EXPECT_TRUE(ChainStatusAccepted(0x20 | 0x400));   // an untrusted root outweighs the rest
}

TEST(SignerChainTest, RefusedSignatureCodes) {
  EXPECT_EQ(SignatureFailureCode(0x8010006B), 3206);
  EXPECT_EQ(SignatureFailureCode(0x8010006C), 3204);
  EXPECT_EQ(SignatureFailureCode(0x8010006E), 5070);
  EXPECT_EQ(SignatureFailureCode(1223), 5070);
  EXPECT_EQ(SignatureFailureCode(0x80090016), 5061);
}

}  // namespace
}  // namespace zyq
