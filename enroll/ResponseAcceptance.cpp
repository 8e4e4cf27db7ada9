#include "enroll/ResponseAcceptance.h"

#include <memory>
#include <optional>
#include <string>

#include "codec/ByteBuffer.h"
#include "engine/ResultCodes.h"
#include "platform/Certificates.h"
#include "platform/CryptMessages.h"

namespace zyq::enroll {

using platform::CertContext;
using platform::CertStore;
using platform::SysError;

namespace {

// Subject and issuer render to the same X.500 text. Names that cannot be rendered are compared
// by their encodings instead, so that two unreadable names never pass for equal texts.
bool IsSelfIssued(const platform::DecodedCertificate& cert) {
  std::string subject;
  std::string issuer;
  if (platform::NameToX500Text(cert.subject, &subject) != platform::kErrorSuccess ||
      platform::NameToX500Text(cert.issuer, &issuer) != platform::kErrorSuccess) {
    return cert.subject == cert.issuer;
  }
  return subject == issuer;
}

void AddToSystemStore(const char* storeName, const CertContext& cert, EnrollmentPort& port) {
  CertStore store;
  if (port.OpenSystemStore(storeName, &store) != platform::kErrorSuccess) return;
  port.AddToStore(store, cert, platform::kCertStoreAddReplaceExistingInheritProperties);
}

// Providers searched for the issued certificate's key: those with "Microsoft" anywhere in the
// name that open as PROV_RSA_FULL.
bool SearchedProvider(const platform::ProviderInfo& provider, EnrollmentPort& port) {
  if (provider.name.find("Microsoft") == std::string::npos) return false;
  std::unique_ptr<platform::KeyContext> probe;
  return port.AcquireKeyContext("", provider.name, platform::kProvRsaFull,
                                platform::kCryptVerifyContext, &probe) == platform::kErrorSuccess;
}

// Links the issued certificate to the container holding its key and adds it to "MY".
int32_t LinkAndInstall(CspSettings& settings, CertContext& cert, EnrollmentPort& port) {
  auto fail = [&](int32_t code, SysError error) {
    settings.SetOutcome(code, error);
    return code;
  };

  platform::KeyProvInfo found;
  const SysError searchError = port.FindKeyByPublicKey(
      cert.cert().subjectPublicKeyInfo,
      [&](const platform::ProviderInfo& provider) { return SearchedProvider(provider, port); },
      &found);
  if (searchError != platform::kErrorSuccess) {
    // "Not found" is the ordinary answer; anything else (an unreadable state, a key that is not
    // a public key at all) is kept as the reason.
    return fail(result::kPrivateKeyMissing,
                searchError == platform::kCryptENotFound ? 0 : searchError);
  }

  const platform::KeyProvInfo link{found.containerName, found.providerName, platform::kProvRsaFull,
                                   0, found.keySpec};
  if (SysError err = port.SetKeyLink(&cert, link); err != platform::kErrorSuccess) {
    return fail(result::kPersonalStoreDenied, err);
  }

  // The container must still open: a certificate is only installed with a usable key. (The port
  // keeps no provider handle with a certificate, so the context is released right away.)
  std::unique_ptr<platform::KeyContext> context;
  if (SysError err = port.AcquireKeyContext(link.containerName, link.providerName,
                                            platform::kProvRsaFull, 0, &context);
      err != platform::kErrorSuccess) {
    return fail(result::kCspUnavailable, err);
  }
  context.reset();

  CertStore my;
  if (SysError err = port.OpenSystemStore(platform::kStoreMy, &my);
      err != platform::kErrorSuccess) {
    return fail(result::kOpenPersonalStoreFailed, err);
  }
  if (SysError err = port.AddToStore(my, cert, platform::kCertStoreAddAlways);
      err != platform::kErrorSuccess) {
    return fail(result::kPersonalStoreDenied, err);
  }
  return result::kSuccess;
}

}  // namespace

bool InstallAuthorityCertificate(const CertContext& cert, EnrollmentPort& port) {
  if (IsSelfIssued(cert.cert())) {
    AddToSystemStore(platform::kStoreRoot, cert, port);
    return true;
  }
  platform::Bytes usage;
  if (platform::IntendedKeyUsage(cert.cert(), &usage) && !usage.empty() &&
      (usage[0] & platform::kKeyUsageKeyCertSign) != 0) {
    AddToSystemStore(platform::kStoreCa, cert, port);
    return true;
  }
  return false;
}

int32_t AcceptPkcs7Response(CspSettings& settings, std::string_view base64, EnrollmentPort& port) {
  settings.SetOutcome(result::kSuccess, 0);
  auto fail = [&](int32_t code, SysError error) {
    settings.SetOutcome(code, error);
    return code;
  };

  // The decoder reads a NUL-terminated text: whatever follows an embedded NUL is not part of it.
  const std::string text(base64.substr(0, base64.find('\0')));
  if (text.empty()) return fail(result::kBadParameter, 0);
  ByteBuffer answer;
  if (!answer.DecodeBase64(text.c_str())) return fail(result::kBase64Error, 0);

  // A PKCS#7 message gives its certificate list; anything else is taken as one certificate.
  platform::Bytes candidate;
  platform::DecodedMessage message;
  if (platform::DecodeMessage(answer.span(), &message) == platform::kErrorSuccess) {
    if (message.type != platform::kCmsgSigned) {
      // Only signed data carries a certificate list.
      return fail(result::kBadCertFormat, platform::kCryptEInvalidMsgType);
    }
    if (message.certificates.empty()) return fail(result::kKeyMissing, 0);
    for (const platform::Bytes& encoded : message.certificates) {
      CertContext cert;
      if (CertContext::FromEncoded(encoded, &cert) != platform::kErrorSuccess) continue;
      // The last certificate that is not an authority's is the issued one.
      if (!InstallAuthorityCertificate(cert, port)) candidate = encoded;
    }
  } else {
    candidate.assign(answer.data(), answer.data() + answer.size());
  }

  if (candidate.empty()) return fail(result::kKeyMissing, 0);
  CertContext issued;
  if (SysError err = CertContext::FromEncoded(candidate, &issued); err != platform::kErrorSuccess) {
    return fail(result::kBadCertFormat, err);
  }
  return LinkAndInstall(settings, issued, port);
}

}  // namespace zyq::enroll
