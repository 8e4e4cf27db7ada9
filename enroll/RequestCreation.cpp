#include "enroll/RequestCreation.h"

#include <memory>

#include "codec/ByteBuffer.h"
#include "engine/ResultCodes.h"
#include "platform/CertRequests.h"
#include "platform/DigestSigner.h"
#include "platform/Text.h"

namespace zyq::enroll {

using platform::SysError;

namespace {

// The generation flags reach the key only in providers whose name begins with "Microsoft";
// others get the key length alone.
uint32_t GenKeyFlagsWord(const CspSettings& settings) {
  uint32_t word = static_cast<uint32_t>(settings.keyBits()) << 16;
  if (settings.providerName().starts_with("Microsoft")) {
    if (settings.genKeyFlags() & kGenExportable) word |= platform::kCryptExportable;
    if (settings.genKeyFlags() & kGenUserProtected) word |= platform::kCryptUserProtected;
  }
  return word;
}

}  // namespace

std::string CreatePkcs10Request(CspSettings& settings, std::string_view commonName,
                                EnrollmentPort& port) {
  settings.SetOutcome(result::kSuccess, 0);
  auto fail = [&](int32_t code, SysError error) {
    settings.SetOutcome(code, error);
    return std::string();
  };

  if (commonName.empty()) return fail(result::kBadParameter, 0);
  if (settings.providerName().empty()) return fail(result::kBadCspName, 0);

  std::string container;
  if (SysError err = port.NewContainerName(&container); err != platform::kErrorSuccess) {
    return fail(result::kRequestKeyFailed, err);
  }

  std::unique_ptr<platform::KeyContext> context;
  if (SysError err = port.AcquireKeyContext(container, settings.providerName(),
                                            static_cast<uint32_t>(settings.providerType()),
                                            platform::kCryptNewKeyset, &context);
      err != platform::kErrorSuccess) {
    return fail(result::kCspUnavailable, err);
  }

  const auto keySpec = static_cast<uint32_t>(settings.keySpec());
  if (SysError err = context->GenerateKey(keySpec, GenKeyFlagsWord(settings));
      err != platform::kErrorSuccess) {
    return fail(result::kRequestKeyFailed, err);
  }

  // The subject carries the common name as the system would read the ANSI text back.
  platform::Bytes subject;
  if (SysError err = platform::EncodeCommonNameBmp(platform::AnsiToWide(commonName), &subject);
      err != platform::kErrorSuccess) {
    return fail(result::kRequestKeyFailed, err);
  }

  std::vector<uint8_t> publicKeyInfo;
  if (SysError err = context->ExportPublicKeyInfo(keySpec, &publicKeyInfo);
      err != platform::kErrorSuccess) {
    return fail(result::kRequestKeyFailed, err);
  }

  platform::Bytes request;
  if (SysError err = platform::EncodeCertificateRequest(
          subject, publicKeyInfo, platform::ContainerSigner(*context, keySpec), &request);
      err != platform::kErrorSuccess) {
    return fail(result::kRequestKeyFailed, err);
  }

  ByteBuffer text;
  if (request.size() > static_cast<size_t>(INT32_MAX / 2) ||
      !text.EncodeBase64(request.data(), static_cast<int>(request.size()))) {
    return fail(result::kAllocationError, 0);
  }
  return std::string(text.view());
}

}  // namespace zyq::enroll
