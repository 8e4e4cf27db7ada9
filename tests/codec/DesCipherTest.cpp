#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/ByteBuffer.h"
#include "codec/DesCipher.h"
#include "tests/codec/BufferChecks.h"
#include "tests/codec/OpenSslReference.h"

namespace zyq {
namespace {

using test::Bytes;
using test::Content;

struct Variant {
  std::uint32_t algorithm;
  const char* openssl;
  int keyLength;
};
const Variant kVariants[] = {{DesCipher::kCalgDes, "DES-CBC", 8},
                             {DesCipher::kCalg3Des, "DES-EDE3-CBC", 24},
                             {DesCipher::kCalg3Des112, "DES-EDE-CBC", 16}};

Bytes Cipher(std::uint32_t algorithm, const Bytes& key, const Bytes& data, bool encrypt,
             bool* ok = nullptr) {
  DesCipher cipher;
  cipher.SetAlgorithm(algorithm);
  cipher.SetKey(key.data(), static_cast<int>(key.size()));
  const bool done = encrypt ? cipher.Encrypt(data.data(), static_cast<int>(data.size()))
                            : cipher.Decrypt(data.data(), static_cast<int>(data.size()));
  if (ok) *ok = done;
  EXPECT_TRUE(test::WellFormed(cipher.output()));
  EXPECT_EQ(cipher.GetOutputLength(), cipher.output().length());
  EXPECT_EQ(cipher.GetOutputData(), cipher.output().data());
  return Content(cipher.output());
}

Bytes Hex(const std::string& hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

TEST(DesCipherTest, FirstBlockIsThePublishedEcbResult) {
  // The zero chaining value makes the first ciphertext block the plain DES encryption.
  const Bytes out =
      Cipher(DesCipher::kCalgDes, Hex("133457799BBCDFF1"), Hex("0123456789ABCDEF"), true);
  ASSERT_EQ(out.size(), 16u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), Hex("85E813540F0AB405"));
  // Parity bits play no part: the same key with every low bit flipped.
  const Bytes flipped =
      Cipher(DesCipher::kCalgDes, Hex("123556789ABCDEF0"), Hex("0123456789ABCDEF"), true);
  EXPECT_EQ(flipped, out);
}

TEST(DesCipherTest, EveryVariantMatchesOpenSslBothWays) {
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.openssl);
    for (int n = 1; n <= 64; ++n) {
      const Bytes key = test::RandomBytes(static_cast<std::size_t>(v.keyLength),
                                          static_cast<std::uint32_t>(100 + n));
      const Bytes plain =
          test::RandomBytes(static_cast<std::size_t>(n), static_cast<std::uint32_t>(200 + n));
      bool referenceOk = false;
      const Bytes expected = test::ReferenceCbc(v.openssl, true, true, key, plain, &referenceOk);
      ASSERT_TRUE(referenceOk);
      bool ok = false;
      const Bytes cipherText = Cipher(v.algorithm, key, plain, true, &ok);
      ASSERT_TRUE(ok);
      ASSERT_EQ(cipherText, expected) << "length " << n;
      ASSERT_EQ(cipherText.size(), static_cast<std::size_t>(n - n % 8 + 8));
      ASSERT_EQ(Cipher(v.algorithm, key, cipherText, false, &ok), plain) << "length " << n;
      ASSERT_TRUE(ok);
    }
    // A long message, so that the chaining runs over many blocks.
    const Bytes key = test::RandomBytes(static_cast<std::size_t>(v.keyLength), 7);
    const Bytes plain = test::RandomBytes(100003, 8);
    bool referenceOk = false;
    const Bytes expected = test::ReferenceCbc(v.openssl, true, true, key, plain, &referenceOk);
    ASSERT_TRUE(referenceOk);
    EXPECT_EQ(Cipher(v.algorithm, key, plain, true), expected);
    EXPECT_EQ(Cipher(v.algorithm, key, expected, false), plain);
  }
}

TEST(DesCipherTest, OutputLengthsAndRefusals) {
  const Bytes key = test::RandomBytes(24, 1);
  bool ok = false;
  EXPECT_EQ(Cipher(DesCipher::kCalg3Des, key, Bytes(8, 1), true).size(), 16u);
  EXPECT_EQ(Cipher(DesCipher::kCalg3Des, key, Bytes(7, 1), true).size(), 8u);
  EXPECT_EQ(Cipher(DesCipher::kCalg3Des, key, Bytes(1, 1), true).size(), 8u);
  EXPECT_TRUE(Cipher(DesCipher::kCalg3Des, key, Bytes(), true, &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Cipher(DesCipher::kCalg3Des, key, Bytes(), false, &ok).empty());
  EXPECT_FALSE(ok);

  // Keys shorter than the algorithm needs are refused; longer ones use their first bytes.
  EXPECT_TRUE(Cipher(DesCipher::kCalg3Des, Bytes(23, 1), Bytes(8, 1), true, &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Cipher(DesCipher::kCalg3Des112, Bytes(15, 1), Bytes(8, 1), false, &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Cipher(DesCipher::kCalgDes, Bytes(7, 1), Bytes(8, 1), true, &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_EQ(Cipher(DesCipher::kCalgDes, key, Bytes(8, 1), true),
            Cipher(DesCipher::kCalgDes, Bytes(key.begin(), key.begin() + 8), Bytes(8, 1), true));

  DesCipher cipher;
  const unsigned char data[8] = {};
  EXPECT_FALSE(cipher.Encrypt(data, 8));  // no key yet
  cipher.SetKey(key.data(), 8);
  EXPECT_TRUE(cipher.Encrypt(data, 8));
  EXPECT_FALSE(cipher.Encrypt(nullptr, 8));
  EXPECT_TRUE(cipher.output().empty());
  cipher.SetKey(nullptr, 8);  // leaves no key
  EXPECT_FALSE(cipher.Decrypt(data, 8));
}

TEST(DesCipherTest, OneObjectServesManyCalls) {
  // Outputs of shrinking and growing lengths in the same object must equal fresh results.
  const Bytes key = test::RandomBytes(24, 13);
  DesCipher cipher;
  cipher.SetAlgorithm(DesCipher::kCalg3Des);
  cipher.SetKey(key.data(), 24);
  for (int n : {100, 90, 3, 17, 64, 1, 200, 150}) {
    const Bytes plain =
        test::RandomBytes(static_cast<std::size_t>(n), static_cast<std::uint32_t>(n));
    ASSERT_TRUE(cipher.Encrypt(plain.data(), n));
    const Bytes cipherText = Content(cipher.output());
    EXPECT_EQ(cipherText, Cipher(DesCipher::kCalg3Des, key, plain, true)) << n;
    EXPECT_TRUE(test::WellFormed(cipher.output()));
    ASSERT_TRUE(cipher.Decrypt(cipherText.data(), static_cast<int>(cipherText.size())));
    EXPECT_EQ(Content(cipher.output()), plain) << n;
    EXPECT_TRUE(test::WellFormed(cipher.output()));
  }
}

TEST(DesCipherTest, TripleDesWithOneKeyThreeTimesIsDes) {
  const Bytes k = test::RandomBytes(8, 3);
  Bytes k3 = k;
  k3.insert(k3.end(), k.begin(), k.end());
  k3.insert(k3.end(), k.begin(), k.end());
  const Bytes plain = test::RandomBytes(45, 4);
  EXPECT_EQ(Cipher(DesCipher::kCalg3Des, k3, plain, true),
            Cipher(DesCipher::kCalgDes, k, plain, true));
  // Two keys: K3 is K1.
  const Bytes k12 = test::RandomBytes(16, 5);
  Bytes k121 = k12;
  k121.insert(k121.end(), k12.begin(), k12.begin() + 8);
  EXPECT_EQ(Cipher(DesCipher::kCalg3Des112, k12, plain, true),
            Cipher(DesCipher::kCalg3Des, k121, plain, true));
}

TEST(DesCipherTest, UnknownAlgorithmsSelectSingleDes) {
  DesCipher cipher;
  EXPECT_EQ(cipher.algorithm(), DesCipher::kCalgDes);
  cipher.SetAlgorithm(DesCipher::kCalg3Des);
  EXPECT_EQ(cipher.algorithm(), DesCipher::kCalg3Des);
  cipher.SetAlgorithm(0x6610);  // AES-256
  EXPECT_EQ(cipher.algorithm(), DesCipher::kCalgDes);
  const Bytes key = test::RandomBytes(24, 6);
  const Bytes plain = test::RandomBytes(20, 7);
  EXPECT_EQ(Cipher(0x6610, key, plain, true), Cipher(DesCipher::kCalgDes, key, plain, true));
}

// Ciphertext whose blocks decipher to exactly the given plaintext blocks (no padding added).
Bytes CipherOfBlocks(const Bytes& key, const Bytes& blocks) {
  bool ok = false;
  Bytes out = test::ReferenceCbc("DES-EDE3-CBC", true, false, key, blocks, &ok);
  EXPECT_TRUE(ok);
  return out;
}

TEST(DesCipherTest, DecryptTrustsTheLastByteFromOneToEight) {
  const Bytes key = test::RandomBytes(24, 8);
  const Bytes first = Hex("1122334455667788");
  auto decrypt = [&](const Bytes& last) {
    Bytes blocks = first;
    blocks.insert(blocks.end(), last.begin(), last.end());
    bool ok = false;
    const Bytes out = Cipher(DesCipher::kCalg3Des, key, CipherOfBlocks(key, blocks), false, &ok);
    EXPECT_TRUE(ok);
    return out;
  };
  Bytes expected = first;
  // A whole block of eights: the first block only.
  EXPECT_EQ(decrypt(Hex("0808080808080808")), first);
  // p = 3: five bytes of the last block are kept; the other padding bytes are not checked.
  expected.insert(expected.end(), {0xA1, 0xA2, 0xA3, 0xA4, 0xA5});
  EXPECT_EQ(decrypt(Hex("A1A2A3A4A5FF0003")), expected);
  // p = 0 or p > 8: the block is taken as unpadded.
  for (const char* last : {"A1A2A3A4A5A6A700", "A1A2A3A4A5A6A709", "A1A2A3A4A5A6A7FF"}) {
    Bytes whole = first;
    const Bytes l = Hex(last);
    whole.insert(whole.end(), l.begin(), l.end());
    EXPECT_EQ(decrypt(l), whole) << last;
  }
  // A lone block of padding deciphers to nothing, still true.
  bool ok = false;
  EXPECT_TRUE(
      Cipher(DesCipher::kCalg3Des, key, CipherOfBlocks(key, Hex("0808080808080808")), false, &ok)
          .empty());
  EXPECT_TRUE(ok);
}

TEST(DesCipherTest, DecryptOfACutLengthPadsTheLastBlockWithZeros) {
  const Bytes key = test::RandomBytes(24, 9);
  const Bytes cipherText = test::RandomBytes(21, 10);
  // The reference: the same bytes with the last block filled up with zeros, no padding removed.
  Bytes filled = cipherText;
  filled.resize(24, 0);
  bool ok = false;
  const Bytes raw = test::ReferenceCbc("DES-EDE3-CBC", false, false, key, filled, &ok);
  ASSERT_TRUE(ok);
  const unsigned p = raw.back();
  const std::size_t keep = (p >= 1 && p <= 8) ? 24 - p : 24;
  EXPECT_EQ(Cipher(DesCipher::kCalg3Des, key, cipherText, false, &ok),
            Bytes(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(keep)));
  EXPECT_TRUE(ok);
}

TEST(DesCipherTest, WrongKeyStillDecrypts) {
  const Bytes key = test::RandomBytes(24, 11);
  Bytes wrong = key;
  wrong[20] ^= 0x40;
  const Bytes plain = test::RandomBytes(30, 12);
  const Bytes cipherText = Cipher(DesCipher::kCalg3Des, key, plain, true);
  bool ok = false;
  const Bytes out = Cipher(DesCipher::kCalg3Des, wrong, cipherText, false, &ok);
  EXPECT_TRUE(ok);
  EXPECT_NE(out, plain);
  EXPECT_GE(out.size(), 24u);
  EXPECT_LE(out.size(), 32u);
}

}  // namespace
}  // namespace zyq
