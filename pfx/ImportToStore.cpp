// ImportPfxToIE: the certificates of a PKCS#12 file that come with a private key enter the
// personal store "MY", linked to the keys that loading the file placed in the user's key
// containers. Authority certificates (no key) stay out. A failed import deletes the containers
// that its load made.
#include <string>
#include <utility>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "pfx/KeyedCertificates.h"
#include "pfx/NewKeyContainers.h"
#include "pfx/PasswordArgument.h"
#include "pfx/PfxFileInfo.h"
#include "pfx/Registrations.h"
#include "platform/CertStores.h"

namespace zyq::pfx {

Result<ChosenCertificate> Registrations::ImportPfxToIE(Bstr strPfxPath, Bstr strPfxName,
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
  // The containers the load made stay only for certificates that went into "MY".
  NewKeyContainers keys(file);
  CertStore personal;
  if (const int32_t code = personal.OpenPersonal()) {
    return Outcome::Failure(code, personal.lastError());
  }

  // From here the returned certificate is the last one imported, or none.
  platform::Bytes returned;
  int32_t code = result::kCertNotFound;
  platform::SysError addError = 0;
  int imported = 0;
  ForEachKeyedCertificate(
      file.handle(),
      [&](const platform::CertContext& cert) {
        if (dwKeyUsage > 0) {
          const CertificateWrapper wrapper(cert);
          const uint32_t usage = wrapper.GetKeyUsage();
          if ((usage & static_cast<uint32_t>(dwKeyUsage)) != static_cast<uint32_t>(dwKeyUsage)) {
            code = result::kKeyUsageMismatch;
            return true;
          }
        }
        // An equal certificate already in "MY" is replaced and keeps its properties.
        if (const platform::SysError error = personal.handle().Add(
                cert, platform::kCertStoreAddReplaceExistingInheritProperties)) {
          // Until one certificate is in, the store's refusal is the answer.
          if (imported == 0) {
            code = result::kCertNotFound;
            addError = error;
          }
          return true;
        }
        code = result::kSuccess;
        returned = cert.encoded();
        ++imported;
        if (cert.keyLink()) keys.Keep(*cert.keyLink());
        return true;
      },
      [&](platform::SysError) {
        if (imported == 0) code = result::kPrivateKeyMissing;
      });
  if (code == result::kSuccess) keys.KeepAll();
  return {ChosenCertificate(std::move(returned)), Outcome{code, addError}};
}

}  // namespace zyq::pfx
