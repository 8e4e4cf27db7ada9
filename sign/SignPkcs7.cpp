// SignPkcs7: a PKCS#7 SignedData message over a text, signed with the user's registered key,
// in Base64. The flags choose the certificates carried (the signer's, none, or its chain), an
// attached or detached content, the text form, the digest and a signing-time attribute.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "pfx/RegistrationRecord.h"
#include "platform/CryptMessages.h"
#include "platform/CryptoKeys.h"
#include "platform/DigestSigner.h"
#include "sign/SignatureErrors.h"
#include "sign/SignedText.h"
#include "sign/SignerChain.h"
#include "sign/SigningResolution.h"

namespace zyq {
namespace {

constexpr int32_t kPkcs7NoCertificates = 0x100;
constexpr int32_t kPkcs7Chain = 0x200;
constexpr int32_t kPkcs7Detached = 0x400;
constexpr int32_t kPkcs7SigningTime = 0x2000;

}  // namespace

Bstr SecurityEngine::SignPkcs7(Bstr strID, Bstr strContent, int32_t dwFlags, int32_t dwKeyUsage) {
  BeginOperation(true);
  returnedCertificate_.Release();
  const std::string id = NormalizeUserId(strID.View());
  if (id.empty() || strContent.Empty()) {
    Fail(result::kBadParameter);
    return Bstr::FromAnsi("");
  }

  SigningCertificate signer;
  if (!ResolveSigningCertificate(id, dwKeyUsage, &signer)) return Bstr::FromAnsi("");

  const std::string content = SignedTextBytes(strContent, (dwFlags & kSignAnsiText) != 0);
  const platform::Bytes& der = signer.certificate.encoded();
  // The signer is the returned certificate even when the message cannot be made.
  returnedCertificate_.Append(der.data(), static_cast<int>(der.size()));

  Bstr text = Bstr::FromAnsi("");
  [&] {
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
        Fail(result::kSignFailed, error);
        return;
      }
      request.signingTime = now;
      request.authenticatedAttributes = true;
    }

    std::unique_ptr<platform::KeyContext> key;
    uint32_t keySpec = 0;
    if (platform::SysError error =
            platform::AcquireCertificatePrivateKey(signer.certificate, &key, &keySpec)) {
      Fail(result::kSignFailed, error);
      return;
    }

    if (!(dwFlags & kPkcs7NoCertificates)) request.certificates.push_back(der);
    if (dwFlags & kPkcs7Chain) {
      platform::SysError error = 0;
      if (int32_t code = SignerChainCertificates(signer.certificate, signer.store.handle(),
                                                 &request.certificates, &error)) {
        Fail(code, error);
        return;
      }
    }

    platform::Bytes message;
    if (platform::SysError error = platform::EncodeSignedData(
            request, platform::ContainerSigner(*key, keySpec), &message)) {
      Fail(SignatureFailureCode(error), error);
      return;
    }
    ByteBuffer base64;
    if (!base64.EncodeBase64(message.data(), static_cast<int>(message.size()))) {
      Fail(result::kAllocationError);
      return;
    }
    text = Bstr::FromAnsi(base64.view());
  }();

  // A failure here, or a registration that failed during the resolution, leaves the cache
  // unconfirmed, so the next signature reads the record again.
  if (resultCode_ != result::kSuccess) {
    ForgetSigningCache();
  } else if (signingUserId_ != id) {
    signingUserId_ = id;
  }
  return text;
}

}  // namespace zyq
