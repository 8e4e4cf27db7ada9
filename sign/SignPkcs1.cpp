// SignPkcs1: the bare PKCS#1 v1.5 RSA signature of a text with the user's registered key, most
// significant byte first, in upper-case hex or (0x100) Base64.
#include <memory>
#include <string>
#include <vector>

#include "codec/Md5Digest.h"
#include "codec/Sha1Digest.h"
#include "engine/ResultCodes.h"
#include "pfx/RegistrationRecord.h"
#include "platform/CryptoKeys.h"
#include "sign/SignedText.h"
#include "sign/Signer.h"
#include "sign/SigningResolution.h"

namespace zyq::sign {
namespace {

// Output in Base64 instead of hex.
constexpr int32_t kPkcs1Base64 = 0x100;
// Without MD5: the value signed as SHA-1 is the SHA-1 digest of the MD5 digest.
constexpr int32_t kPkcs1Sha1OfMd5 = 0x2000;

// The digest handed to the key and the algorithm announced with it.
struct SignedDigest {
  uint32_t algorithm = platform::kCalgSha1;
  std::vector<unsigned char> value;
};

SignedDigest DigestFor(const std::string& bytes, int32_t flags) {
  SignedDigest digest;
  if (flags & kSignMd5) {
    Md5Digest md5;
    md5.Compute(bytes);
    digest.algorithm = platform::kCalgMd5;
    digest.value.assign(md5.result().data(), md5.result().data() + Md5Digest::kDigestLength);
    return digest;
  }
  Sha1Digest sha1;
  if (flags & kPkcs1Sha1OfMd5) {
    Md5Digest md5;
    md5.Compute(bytes);
    sha1.Compute(md5.result().data(), Md5Digest::kDigestLength);
  } else {
    sha1.Compute(bytes);
  }
  digest.value.assign(sha1.result().data(), sha1.result().data() + Sha1Digest::kDigestLength);
  return digest;
}

}  // namespace

Result<Signature> Signer::SignPkcs1(const Bstr& strID, const Bstr& strContent, int32_t dwFlags,
                                    int32_t dwKeyUsage) {
  std::string id;
  const Resolution resolved = Resolve(strID, strContent, dwKeyUsage, &id);
  if (!resolved.signer) return resolved.outcome;
  SigningCertificate& signer = *resolved.signer;
  // Failures from here on keep the cache: the file and password were right.
  const auto failed = [&](platform::SysError error) {
    return resolved.outcome.Then(Outcome::Failure(result::kSignFailed, error));
  };

  std::unique_ptr<platform::KeyContext> key;
  uint32_t acquiredSpec = 0;
  if (platform::SysError error =
          platform::AcquireCertificatePrivateKey(signer.certificate, &key, &acquiredSpec)) {
    return failed(error);
  }
  // The key spec of the certificate's key link decides which key of the container signs.
  const std::optional<platform::KeyProvInfo> link = signer.store.GetKeyProvInfo(signer.certificate);
  if (!link) return failed(signer.store.lastError());

  const SignedDigest digest =
      DigestFor(SignedTextBytes(strContent, (dwFlags & kSignAnsiText) != 0), dwFlags);
  std::vector<unsigned char> value;
  if (platform::SysError error =
          key->SignHash(link->keySpec, digest.algorithm, digest.value, 0, &value)) {
    return failed(error);
  }

  Signature signature;
  signature.signer = signer.certificate.encoded();
  // The key gives the signature least significant byte first; the text shows it the other way.
  ByteBuffer bigEndian;
  bigEndian.AssignReversed(value.data(), static_cast<int>(value.size()));
  ByteBuffer text;
  if (dwFlags & kPkcs1Base64) {
    text.EncodeBase64(bigEndian.data(), bigEndian.length());
  } else {
    text.EncodeHex(bigEndian.data(), bigEndian.length());
  }
  signature.text = std::string(text.view());
  // A successful signature confirms the cache for this user, also when registering the file
  // failed (that failure stays in the outcome).
  cache_.userId = id;
  return {std::move(signature), resolved.outcome};
}

}  // namespace zyq::sign
