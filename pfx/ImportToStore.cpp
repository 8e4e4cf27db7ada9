// ImportPfxToIE: the certificates of a PKCS#12 file that come with a private key enter the
// personal store "MY", linked to the keys that loading the file placed in the user's key
// containers. Authority certificates (no key) stay out.
#include <memory>
#include <string>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "platform/CryptoKeys.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace zyq {

int32_t SecurityEngine::ImportPfxToIE(Bstr strPfxPath, Bstr strPfxName, Bstr strPasswd,
                                      int32_t dwFlags, int32_t dwKeyUsage) {
  BeginOperation(true);
  std::string folder = strPfxPath.ToAnsi();
  std::string fileName = strPfxName.ToAnsi();
  SecretString password(strPasswd.ToAnsi());
  strPasswd.Wipe();

  if (int32_t code = CompletePfxFileInfo(folder, fileName, password)) return Fail(code);
  const std::string path = platform::JoinPath(folder, fileName);
  if (!platform::CurrentFileSystem().Exists(path)) return Fail(result::kFileNotFound);

  CertStore file;
  if (const int32_t code = file.LoadPfx(path, password.str(), dwFlags)) {
    return Fail(code, file.lastError());
  }
  CertStore personal;
  if (const int32_t code = personal.OpenPersonal()) return Fail(code, personal.lastError());

  returnedCertificate_.Release();
  std::vector<platform::CertContext> certificates;
  file.handle().Enumerate(&certificates);
  int32_t code = result::kCertNotFound;
  int imported = 0;
  for (const platform::CertContext& cert : certificates) {
    std::unique_ptr<platform::KeyContext> key;
    uint32_t keySpec = 0;
    if (platform::AcquireCertificatePrivateKey(cert, &key, &keySpec) != platform::kErrorSuccess) {
      if (imported == 0) code = result::kPrivateKeyMissing;
      continue;
    }
    if (dwKeyUsage > 0) {
      const CertificateWrapper wrapper(cert);
      const uint32_t usage = wrapper.GetKeyUsage();
      if ((usage & static_cast<uint32_t>(dwKeyUsage)) != static_cast<uint32_t>(dwKeyUsage)) {
        code = result::kKeyUsageMismatch;
        continue;
      }
    }
    // An equal certificate already in "MY" is replaced and keeps its properties.
    if (const platform::SysError error =
            personal.handle().Add(cert, platform::kCertStoreAddReplaceExistingInheritProperties)) {
      if (imported == 0) {
        code = result::kCertNotFound;
        capiError_ = error;
      }
      continue;
    }
    code = result::kSuccess;
    returnedCertificate_.Release();
    returnedCertificate_.Append(cert.encoded().data(), static_cast<int>(cert.encoded().size()));
    ++imported;
  }
  if (code != result::kSuccess) return Fail(code);
  return resultCode_;
}

}  // namespace zyq
