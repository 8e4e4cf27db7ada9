// ExportMobileFromPfx and ExportMobileFromIE: the mobile key record (pfx/MobileRecord.h) of a
// certificate and its private key taken from a PKCS#12 file or from the personal store "MY".
// Nothing is written anywhere: the caller carries the returned text to the device.
#include <memory>
#include <string>
#include <utility>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "pfx/CertificateChoice.h"
#include "pfx/KeyedCertificates.h"
#include "pfx/MobileRecord.h"
#include "pfx/PasswordArgument.h"
#include "pfx/PfxFileInfo.h"
#include "pfx/Registrations.h"
#include "platform/CryptoKeys.h"

namespace zyq::pfx {
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

// The record's text, or the empty text when the record could not be made.
Result<std::string> RecordText(const platform::CertContext& cert, const SecretBytes& blob,
                               const SecretString& password, platform::SysError systemError) {
  std::string text;
  const int32_t code = MakeMobileRecordText(cert, blob, password, &text);
  if (code != result::kSuccess) text.clear();
  return {std::move(text), Outcome{code, systemError}};
}

}  // namespace

Result<std::string> Registrations::ExportMobileFromPfx(Bstr strPfxPath, Bstr strPfxName,
                                                       Bstr strPasswd, int32_t dwFlags,
                                                       int32_t dwKeyUsage) {
  std::string folder = strPfxPath.ToAnsi();
  std::string fileName = strPfxName.ToAnsi();
  SecretString password = TakePassword(strPasswd);

  if (int32_t code = CompletePfxFileInfo(shared_, folder, fileName, password)) {
    return Outcome::Failure(code);
  }
  CertStore file;
  if (Outcome loaded = LoadPfxFile(folder, fileName, password, dwFlags, file); !loaded.ok()) {
    return loaded;
  }

  // The first certificate whose key can be exported makes the record; a later one may still
  // succeed after an earlier one failed, and the failure's system error stays reported.
  Result<std::string> record(Outcome::Failure(result::kCertNotFound));
  ForEachKeyedCertificate(file.handle(), [&](const platform::CertContext& cert) {
    if (dwKeyUsage > 0) {
      const CertificateWrapper wrapper(cert);
      if ((wrapper.GetKeyUsage() & static_cast<uint32_t>(dwKeyUsage)) !=
          static_cast<uint32_t>(dwKeyUsage)) {
        record.outcome.code = result::kKeyUsageMismatch;
        return true;
      }
    }
    SecretBytes blob;
    platform::SysError error = 0;
    if (const int32_t code = ExportKeyBlob(cert, &blob, &error)) {
      record.outcome.code = code;
      if (error != 0) record.outcome.systemError = error;
      return true;
    }
    record = RecordText(cert, blob, password, record.outcome.systemError);
    return false;
  });
  return record;
}

Result<std::string> Registrations::ExportMobileFromIE(Bstr strSubject, Bstr strPasswd,
                                                      int32_t dwFlags, int32_t dwKeyUsage) {
  SecretString password = TakePassword(strPasswd);

  CertStore personal;
  if (const int32_t code = personal.OpenPersonal()) {
    return Outcome::Failure(code, personal.lastError());
  }
  CertContexts matches;
  const int32_t found =
      personal.FindCertificates(&matches, strSubject.ToAnsi(), dwFlags, dwKeyUsage);
  if (matches.empty()) {
    return Outcome::Failure(found != result::kSuccess ? found : result::kCertNotFound,
                            personal.lastError());
  }
  size_t chosen = 0;
  if (const int32_t code = ChooseMatch(matches, dwFlags, &chosen)) return Outcome::Failure(code);
  SecretBytes blob;
  platform::SysError error = 0;
  if (const int32_t code = ExportKeyBlob(matches[chosen], &blob, &error)) {
    return Outcome::Failure(code, error);
  }
  return RecordText(matches[chosen], blob, password, 0);
}

}  // namespace zyq::pfx
