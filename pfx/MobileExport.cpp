// ExportMobileFromPfx and ExportMobileFromIE: the mobile key record (pfx/MobileRecord.h) of a
// certificate and its private key taken from a PKCS#12 file or from the personal store "MY".
// Nothing is written anywhere: the caller carries the returned text to the device.
#include <memory>
#include <string>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "pfx/CertificateChoice.h"
#include "pfx/MobileRecord.h"
#include "platform/CryptoKeys.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace zyq {
namespace {

// The key of the certificate as a PRIVATEKEYBLOB (CryptAcquireCertificatePrivateKey,
// CryptGetUserKey, CryptExportKey). Returns 0; 5204 when the key cannot be reached; 5205 when
// it may not leave its container; 5070 when the user refused access to a user-protected key.
int32_t ExportKeyBlob(const platform::CertContext& cert, SecretBytes* blob,
                      platform::SysError* error) {
  std::unique_ptr<platform::KeyContext> key;
  uint32_t keySpec = 0;
  if ((*error = platform::AcquireCertificatePrivateKey(cert, &key, &keySpec))) {
    return result::kPrivateKeyMissing;
  }
  platform::KeyPairInfo info;
  if ((*error = key->GetKeyInfo(keySpec, &info))) return result::kPrivateKeyMissing;
  if ((*error = key->ExportPrivateKeyBlob(keySpec, blob))) {
    return *error == platform::kErrorCancelled ? result::kCancelled : result::kKeyNotExportable;
  }
  return result::kSuccess;
}

}  // namespace

Bstr SecurityEngine::ExportMobileFromPfx(Bstr strPfxPath, Bstr strPfxName, Bstr strPasswd,
                                         int32_t dwFlags, int32_t dwKeyUsage) {
  BeginOperation(true);
  std::string folder = strPfxPath.ToAnsi();
  std::string fileName = strPfxName.ToAnsi();
  SecretString password(strPasswd.ToAnsi());
  strPasswd.Wipe();

  if (int32_t code = CompletePfxFileInfo(folder, fileName, password)) {
    Fail(code);
    return Bstr::FromAnsi("");
  }
  const std::string path = platform::JoinPath(folder, fileName);
  if (!platform::CurrentFileSystem().Exists(path)) {
    Fail(result::kFileNotFound);
    return Bstr::FromAnsi("");
  }
  CertStore file;
  if (const int32_t code = file.LoadPfx(path, password.str(), dwFlags)) {
    Fail(code, file.lastError());
    return Bstr::FromAnsi("");
  }

  // The first certificate whose key can be exported makes the record; a later one may still
  // succeed after an earlier one failed.
  std::vector<platform::CertContext> certificates;
  file.handle().Enumerate(&certificates);
  resultCode_ = result::kCertNotFound;
  for (const platform::CertContext& cert : certificates) {
    {
      std::unique_ptr<platform::KeyContext> key;
      uint32_t keySpec = 0;
      if (platform::AcquireCertificatePrivateKey(cert, &key, &keySpec)) continue;
    }
    if (dwKeyUsage > 0) {
      const CertificateWrapper wrapper(cert);
      if ((wrapper.GetKeyUsage() & static_cast<uint32_t>(dwKeyUsage)) !=
          static_cast<uint32_t>(dwKeyUsage)) {
        resultCode_ = result::kKeyUsageMismatch;
        continue;
      }
    }
    SecretBytes blob;
    platform::SysError error = 0;
    if (const int32_t code = ExportKeyBlob(cert, &blob, &error)) {
      Fail(code, error);
      continue;
    }
    std::string text;
    resultCode_ = MakeMobileRecordText(cert, blob, password, &text);
    return Bstr::FromAnsi(resultCode_ == result::kSuccess ? text : std::string());
  }
  return Bstr::FromAnsi("");
}

Bstr SecurityEngine::ExportMobileFromIE(Bstr strSubject, Bstr strPasswd, int32_t dwFlags,
                                        int32_t dwKeyUsage) {
  BeginOperation(true);
  SecretString password(strPasswd.ToAnsi());
  strPasswd.Wipe();

  CertStore personal;
  if (const int32_t code = personal.OpenPersonal()) {
    Fail(code, personal.lastError());
    return Bstr::FromAnsi("");
  }
  CertContexts matches;
  const int32_t found =
      personal.FindCertificates(&matches, strSubject.ToAnsi(), dwFlags, dwKeyUsage);
  if (matches.empty()) {
    Fail(found != result::kSuccess ? found : result::kCertNotFound, personal.lastError());
    return Bstr::FromAnsi("");
  }
  size_t chosen = 0;
  if (const int32_t code = ChooseMatch(matches, dwFlags, &chosen)) {
    Fail(code);
    return Bstr::FromAnsi("");
  }
  SecretBytes blob;
  platform::SysError error = 0;
  if (const int32_t code = ExportKeyBlob(matches[chosen], &blob, &error)) {
    Fail(code, error);
    return Bstr::FromAnsi("");
  }
  std::string text;
  resultCode_ = MakeMobileRecordText(matches[chosen], blob, password, &text);
  return Bstr::FromAnsi(resultCode_ == result::kSuccess ? text : std::string());
}

}  // namespace zyq
