// SignPkcs7: a PKCS#7 SignedData message over a text, signed with the user's registered key,
// in Base64. The flags choose the certificates carried (the signer's, none, or its chain), an
// attached or detached content, the text form, the digest and a signing-time attribute.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "pfx/RegistrationRecord.h"
#include "platform/CryptMessages.h"
#include "platform/CryptoKeys.h"
#include "platform/DigestSigner.h"
#include "sign/SignatureErrors.h"
#include "sign/SignedText.h"
#include "sign/Signer.h"
#include "sign/SignerChain.h"
#include "sign/SigningResolution.h"

namespace zyq::sign {
namespace {

constexpr int32_t kPkcs7NoCertificates = 0x100;
constexpr int32_t kPkcs7Chain = 0x200;
constexpr int32_t kPkcs7Detached = 0x400;
constexpr int32_t kPkcs7SigningTime = 0x2000;

// The SignedData message of content signed by signer, in Base64; "" with the failure.
Result<std::string> SignedDataText(const SigningCertificate& signer, const std::string& content,
                                   int32_t dwFlags) {
  platform::SignedDataRequest request;
  request.content =
      platform::ByteView(reinterpret_cast<const uint8_t*>(content.data()), content.size());
  request.digestOid = (dwFlags & kSignMd5) ? platform::kOidMd5Rsa : platform::kOidSha1;
  request.signer = &signer.certificate.cert();
  request.detached = (dwFlags & kPkcs7Detached) != 0;
  if (dwFlags & kPkcs7SigningTime) {
    const platform::FileTime now = platform::CurrentFileTime();
    platform::Bytes encodedTime;
    if (platform::SysError error = platform::EncodeSigningTime(now, &encodedTime)) {
      return Outcome::Failure(result::kSignFailed, error);
    }
    request.signingTime = now;
    request.authenticatedAttributes = true;
  }

  std::unique_ptr<platform::KeyContext> key;
  uint32_t keySpec = 0;
  if (platform::SysError error =
          platform::AcquireCertificatePrivateKey(signer.certificate, &key, &keySpec)) {
    return Outcome::Failure(result::kSignFailed, error);
  }

  const platform::Bytes& der = signer.certificate.encoded();
  if (!(dwFlags & kPkcs7NoCertificates)) request.certificates.push_back(der);
  if (dwFlags & kPkcs7Chain) {
    platform::SysError error = 0;
    if (int32_t code = SignerChainCertificates(signer.certificate, signer.store.handle(),
                                               &request.certificates, &error)) {
      return Outcome::Failure(code, error);
    }
  }

  platform::Bytes message;
  if (platform::SysError error =
          platform::EncodeSignedData(request, platform::ContainerSigner(*key, keySpec), &message)) {
    return Outcome::Failure(SignatureFailureCode(error), error);
  }
  ByteBuffer base64;
  if (!base64.EncodeBase64(message.data(), static_cast<int>(message.size()))) {
    return Outcome::Failure(result::kAllocationError);
  }
  return std::string(base64.view());
}

}  // namespace

Result<Signature> Signer::SignPkcs7(const Bstr& strID, const Bstr& strContent, int32_t dwFlags,
                                    int32_t dwKeyUsage) {
  std::string id;
  const Resolution resolved = Resolve(strID, strContent, dwKeyUsage, &id);
  if (!resolved.signer) return resolved.outcome;

  const std::string content = SignedTextBytes(strContent, (dwFlags & kSignAnsiText) != 0);
  // The signer is the returned certificate even when the message cannot be made.
  Signature signature;
  signature.signer = resolved.signer->certificate.encoded();
  Result<std::string> message = SignedDataText(*resolved.signer, content, dwFlags);
  signature.text = std::move(message.value);
  const Outcome outcome = resolved.outcome.Then(message.outcome);

  // A failure here, or a registration that failed during the resolution, leaves the cache
  // unconfirmed, so the next signature reads the record again.
  if (!outcome.ok()) {
    ForgetCache();
  } else {
    cache_.userId = id;
  }
  return {std::move(signature), outcome};
}

}  // namespace zyq::sign
