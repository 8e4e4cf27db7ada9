#include "sign/SigningResolution.h"

#include <string>

#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "host/HostFacts.h"
#include "pfx/RegistrationRecord.h"
#include "platform/CryptoKeys.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Secret.h"
#include "ui/CertFileLaunchers.h"

namespace zyq {
namespace {

// Whether every key that the store's certificates link to is still the one the import left:
// the container is there, holds the certificate's public key, and has the import's flags
// (exportable, not user-protected). Anything else, such as a container deleted or a key
// imported again with other flags, calls for a new import.
bool KeysAsImported(const platform::CertStore& store) {
  std::vector<platform::CertContext> certificates;
  if (store.Enumerate(&certificates) != platform::kErrorSuccess) return false;
  for (const platform::CertContext& certificate : certificates) {
    const auto& link = certificate.keyLink();
    if (!link) continue;
    bool matches = false;
    if (platform::PublicKeyMatches(*link, certificate.cert().subjectPublicKeyInfo, &matches) !=
            platform::kErrorSuccess ||
        !matches) {
      return false;
    }
    std::unique_ptr<platform::KeyContext> context;
    platform::KeyPairInfo info;
    if (platform::AcquireKeyContext(*link, &context) != platform::kErrorSuccess ||
        context->GetKeyInfo(link->keySpec, &info) != platform::kErrorSuccess ||
        info.flags != platform::kCryptExportable) {
      return false;
    }
  }
  return true;
}

// Opens the signing file into *store as LoadPfx does (same codes), using the store of the last
// signature when the file still holds the bytes it was made from (*loaded keeps it).
int32_t OpenSigningFile(const std::string& path, const SecretString& password,
                        std::shared_ptr<LoadedSigningFile>* loaded, CertStore* store) {
  std::string bytes;
  const bool read = platform::CurrentFileSystem().ReadFile(path, &bytes) == platform::kErrorSuccess;
  const std::shared_ptr<LoadedSigningFile> last = *loaded;
  if (read && last && last->path == path && last->bytes == bytes &&
      last->password.str() == password.str() && KeysAsImported(last->store)) {
    store->Share(last->store);
    return 0;
  }
  loaded->reset();
  if (int32_t code = store->LoadPfx(path, password.str(), 0)) return code;
  // Kept only when the file did not change while it was being opened.
  std::string after;
  if (read && platform::CurrentFileSystem().ReadFile(path, &after) == platform::kErrorSuccess &&
      after == bytes) {
    auto kept = std::make_shared<LoadedSigningFile>();
    kept->path = path;
    kept->bytes = std::move(bytes);
    kept->password = password;
    kept->store = store->handle();
    *loaded = std::move(kept);
  }
  return 0;
}

}  // namespace

void SecurityEngine::ForgetSigningCache() {
  signingUserId_.clear();
  signingRegisterMode_ = -1;
  signingFolder_.clear();
  signingFileName_.clear();
  signingPassword_.Clear();
  signingLoaded_.reset();
}

bool SecurityEngine::ResolveSigningCertificate(const std::string& id, int32_t dwKeyUsage,
                                               SigningCertificate* out) {
  if (id.empty()) {
    Fail(result::kBadParameter);
    return false;
  }
  bool ask = false;
  bool registerFile = false;
  if (id == signingUserId_) {
    // The same user as the last signature: the cache holds the file, password and mode.
    ask = signingRegisterMode_ <= 1;
  } else {
    // Another user: forget the previous one before reading this user's record.
    ForgetSigningCache();
    RegistrationRecord record;
    if (ReadRegistrationRecord(id, &record) != result::kSuccess) {
      // No record: the user chooses the file, which is then registered silently.
      signingFileName_ = RegisteredFileName(id);
      signingRegisterMode_ = kRegisterModeSilent;
      ask = true;
      registerFile = true;
    } else {
      signingRegisterMode_ = record.mode;
      const bool silent = record.mode == kRegisterModeSilent;
      SecretString password;
      if (!platform::CurrentFileSystem().Exists(record.path)) {
        ask = true;
        registerFile = true;
      } else if (!DecryptRecordPassword(id, record.password, &password)) {
        if (silent) {
          ForgetSigningCache();
          Fail(result::kPkcs12WrongPassword);
          return false;
        }
        ask = true;
        registerFile = true;
      } else {
        CertStore check;
        if (int32_t code = OpenSigningFile(record.path, password, &signingLoaded_, &check)) {
          if (silent) {
            ForgetSigningCache();
            Fail(code, check.lastError());
            return false;
          }
          ask = true;
          registerFile = true;
        } else {
          platform::PathParts parts = platform::SplitPath(record.path);
          signingFolder_ = std::move(parts.folder);
          signingFileName_ = std::move(parts.name);
          signingPassword_ = std::move(password);
          signingUserId_ = id;
          ask = !silent;
        }
      }
    }
  }

  if (ask) {
    // A file in the default certificate folder can only be confirmed with its password; any
    // other (or none) can be browsed for.
    std::string folder = signingFolder_;
    std::string fileName = signingFileName_;
    SecretString password = signingPassword_;
    if (int32_t code = ui::PromptSignInfo(folder, fileName, password, minPasswordLength_,
                                          maxPasswordLength_, BuildDefaultCertPath(osVersion_))) {
      ForgetSigningCache();
      Fail(code);
      return false;
    }
    signingFolder_ = std::move(folder);
    signingFileName_ = std::move(fileName);
    signingPassword_ = std::move(password);
  }

  const std::string path = platform::JoinPath(signingFolder_, signingFileName_);
  if (int32_t code = OpenSigningFile(path, signingPassword_, &signingLoaded_, &out->store)) {
    ForgetSigningCache();
    Fail(code, out->store.lastError());
    return false;
  }
  CertContexts found;
  const int32_t searchCode =
      out->store.FindCertificates(&found, "CN=" + id, kSigningSearchFlags, dwKeyUsage);
  resultCode_ = searchCode;
  capiError_ = out->store.lastError();
  if (found.empty()) {
    ForgetSigningCache();
    if (searchCode == result::kSuccess || searchCode == result::kCertNotFound) {
      resultCode_ = result::kCertSubjectMismatch;
    }
    return false;
  }
  if (registerFile) {
    // The registration's outcome becomes the result code; the certificate is used either way.
    RegisterFromSigning(signingFolder_, signingFileName_, signingPassword_, signingRegisterMode_);
  }
  out->certificate = found.front();
  return true;
}

}  // namespace zyq
