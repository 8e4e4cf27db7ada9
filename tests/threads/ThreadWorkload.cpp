#include "tests/threads/ThreadWorkload.h"

#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <thread>

#include "platform/posix/OpenSslPtr.h"

namespace zyq::test {
namespace {

using platform::posix::OpenSslPtr;

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += static_cast<char>(c);
  return out;
}

std::string Base64Decode(const std::string& text) {
  std::string clean;
  for (char c : text) {
    if (c != '\r' && c != '\n') clean += c;
  }
  if (clean.empty() || clean.size() % 4 != 0) return {};
  std::string out(clean.size() / 4 * 3, '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(clean.data()),
                                static_cast<int>(clean.size()));
  if (n < 0) return {};
  size_t padding = 0;
  while (padding < 2 && clean[clean.size() - 1 - padding] == '=') ++padding;
  out.resize(static_cast<size_t>(n) - padding);
  return out;
}

// The PKCS#7 verifies (signature over the content it carries), its content is `content`, and
// its signer's common name is `signer`.
::testing::AssertionResult VerifiesAs(const std::u16string& base64, const std::string& content,
                                      const std::string& signer) {
  const std::string der = Base64Decode(Narrow(base64));
  const auto* p = reinterpret_cast<const unsigned char*>(der.data());
  OpenSslPtr<CMS_ContentInfo> cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
  if (!cms) return ::testing::AssertionFailure() << "not a PKCS#7 message";
  OpenSslPtr<BIO> out(BIO_new(BIO_s_mem()));
  if (CMS_verify(cms.get(), nullptr, nullptr, nullptr, out.get(), CMS_NO_SIGNER_CERT_VERIFY) != 1) {
    return ::testing::AssertionFailure() << "the signature does not verify";
  }
  char* data = nullptr;
  const long n = BIO_get_mem_data(out.get(), &data);
  if (std::string(data, static_cast<size_t>(n)) != content) {
    return ::testing::AssertionFailure() << "signed content differs from " << content;
  }
  // The verification found each signer's certificate; the message owns them.
  const STACK_OF(CMS_SignerInfo)* infos = CMS_get0_SignerInfos(cms.get());
  X509* signerCert = nullptr;
  if (sk_CMS_SignerInfo_num(infos) == 1) {
    CMS_SignerInfo_get0_algs(sk_CMS_SignerInfo_value(infos, 0), nullptr, &signerCert, nullptr,
                             nullptr);
  }
  if (signerCert == nullptr) return ::testing::AssertionFailure() << "not one signer";
  char cn[128] = {};
  X509_NAME_get_text_by_NID(X509_get_subject_name(signerCert), NID_commonName, cn, sizeof cn);
  if (signer != cn) return ::testing::AssertionFailure() << "signed by " << cn;
  return ::testing::AssertionSuccess();
}

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &n, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned i = 0; i < n; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

// What one thread asked for and got.
struct ThreadRecord {
  struct Signature {
    std::string signer;
    std::string content;
    std::optional<std::u16string> result;
  };
  struct Digest {
    std::string text;
    std::optional<std::u16string> result;
  };
  std::vector<Signature> signatures;
  std::vector<Digest> digests;
  std::vector<int32_t> writeCodes;
  std::vector<std::pair<std::string, std::optional<std::u16string>>> reads;  // expected, read
  std::vector<int32_t> queries;
  std::optional<int32_t> registration;
};

void RunThread(const WorkloadCalls& calls, const WorkloadUsers& users, int thread, int rounds,
               ThreadRecord* record) {
  // The first thread registers the second user while the others sign with the first; from
  // then on it signs as the new user.
  std::string signer = users.registeredId;
  if (thread == 0) {
    record->registration = calls.registerPfx(U16(users.latePfx.folder), U16(users.latePfx.fileName),
                                             U16(users.latePassword), 3);
    signer = users.lateId;
  }
  const std::u16string valueName = u"Software\\ZYQThreadTest\\Thread" + U16(std::to_string(thread));
  for (int n = 0; n < rounds; ++n) {
    const std::string tag = std::to_string(thread) + "-" + std::to_string(n);
    if (thread % 2 == 0 || n % 4 == 0) {
      const std::string content = "order " + tag + " 2330 buy 1000 @ 612.5";
      record->signatures.push_back({signer, content, calls.signPkcs7(U16(signer), U16(content))});
    }
    const std::string text = "digest " + tag;
    record->digests.push_back({text, calls.hash(U16(text))});
    const std::string value = "value " + tag;
    record->writeCodes.push_back(calls.regWriteStr(valueName, U16(value)));
    record->reads.emplace_back(value, calls.regRead(valueName));
    record->queries.push_back(calls.queryUserInfo(U16(users.registeredId)));
  }
}

}  // namespace

WorkloadUsers PrepareUsers(const WorkloadCalls& calls, const std::string& prefix) {
  WorkloadUsers users;
  users.registeredId = prefix + "100000001";
  users.lateId = prefix + "100000002";
  const UserPfx first = MakeUserPfx({.commonName = users.registeredId,
                                     .password = "first-pass",
                                     .fileName = users.registeredId + ".pfx"});
  users.latePassword = "late-pass";
  users.latePfx = MakeUserPfx({.commonName = users.lateId,
                               .password = users.latePassword,
                               .fileName = users.lateId + ".pfx"});
  if (first.path.empty() || users.latePfx.path.empty()) {
    ADD_FAILURE() << "openssl could not make the users' files";
    return users;
  }
  EXPECT_EQ(calls.registerPfx(U16(first.folder), U16(first.fileName), u"first-pass", 3), 0);
  users.queryAnswer = calls.queryUserInfo(U16(users.registeredId));
  return users;
}

void RunWorkload(const std::vector<const WorkloadCalls*>& calls, const WorkloadUsers& users,
                 int threads, int rounds) {
  std::vector<ThreadRecord> records(static_cast<size_t>(threads));
  std::vector<std::thread> running;
  for (int t = 0; t < threads; ++t) {
    running.emplace_back(RunThread, std::cref(*calls[static_cast<size_t>(t) % calls.size()]),
                         std::cref(users), t, rounds, &records[static_cast<size_t>(t)]);
  }
  for (std::thread& t : running) t.join();

  size_t signatures = 0;
  for (size_t t = 0; t < records.size(); ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    const ThreadRecord& r = records[t];
    if (r.registration) {
      EXPECT_EQ(*r.registration, 0) << "RegisterPfx during the others' calls";
    }
    for (const auto& s : r.signatures) {
      ASSERT_TRUE(s.result.has_value() && !s.result->empty()) << "no signature of " << s.content;
      EXPECT_TRUE(VerifiesAs(*s.result, s.content, s.signer));
      ++signatures;
    }
    for (const auto& d : r.digests) {
      EXPECT_EQ(Narrow(d.result.value_or(u"(null)")), Sha256Hex(d.text)) << d.text;
    }
    for (int32_t code : r.writeCodes) EXPECT_EQ(code, 0);
    for (const auto& [expected, read] : r.reads) {
      EXPECT_EQ(Narrow(read.value_or(u"(null)")), expected);
    }
    for (int32_t answer : r.queries) EXPECT_EQ(answer, users.queryAnswer);
  }
  EXPECT_GT(signatures, 0u);
}

}  // namespace zyq::test
