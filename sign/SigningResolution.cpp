#include "sign/SigningResolution.h"

#include <string>

#include "engine/ResultCodes.h"
#include "host/HostFacts.h"
#include "pfx/RegistrationRecord.h"
#include "platform/CryptoKeys.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Secret.h"
#include "ui/CertFileLaunchers.h"

namespace zyq::sign {
namespace {

// The keys that the store's certificates link to, each with its certificate's public key.
std::vector<LinkedKey> LinkedKeysOf(const platform::CertStore& store, bool* listed) {
  std::vector<LinkedKey> keys;
  std::vector<platform::CertContext> certificates;
  *listed = store.Enumerate(&certificates) == platform::kErrorSuccess;
  for (const platform::CertContext& certificate : certificates) {
    if (const auto& link = certificate.keyLink()) {
      keys.push_back({*link, certificate.cert().subjectPublicKeyInfo});
    }
  }
  return keys;
}

// Whether every linked key is still the one the import left: the container is there, holds the
// certificate's public key, and has the import's flags (exportable, not user-protected).
// Anything else, such as a container deleted or a key imported again with other flags, calls
// for a new import.
bool KeysAsImported(const std::vector<LinkedKey>& keys) {
  for (const LinkedKey& key : keys) {
    bool matches = false;
    uint32_t flags = 0;
    if (platform::PublicKeyMatches(key.link, key.publicKeyInfo, &matches, &flags) !=
            platform::kErrorSuccess ||
        !matches || flags != platform::kCryptExportable) {
      return false;
    }
  }
  return true;
}

// Opens the signing file into *store as LoadPfx does (same codes), using the store of the last
// signature when the file still holds the bytes it was made from (*loaded keeps it). Those bytes
// are known from the file's stamp alone once a settled stamp was seen with them; until then the
// file is read and compared.
int32_t OpenSigningFile(const std::string& path, const SecretString& password,
                        std::shared_ptr<LoadedSigningFile>* loaded, CertStore* store) {
  platform::FileSystem& files = platform::CurrentFileSystem();
  const std::shared_ptr<LoadedSigningFile> last = *loaded;
  const bool sameRequest = last && last->path == path && last->password.str() == password.str();
  // Stamped before the bytes are read, so that a write after the reading changes the next stamp.
  platform::FileStamp stamp;
  const bool stamped = files.StampFile(path, &stamp) == platform::kErrorSuccess;
  std::string bytes;
  bool read = false;
  bool unchanged = false;
  if (sameRequest && stamped && last->stamp && platform::SameStamp(*last->stamp, stamp)) {
    unchanged = true;
  } else {
    read = files.ReadFile(path, &bytes) == platform::kErrorSuccess;
    unchanged = sameRequest && read && last->bytes == bytes;
    // The kept file belongs to this engine's cache, whose calls take turns.
    if (unchanged && stamped && stamp.settled) last->stamp = stamp;
  }
  if (unchanged && KeysAsImported(last->linkedKeys)) {
    store->Share(last->store);
    return 0;
  }
  if (!read) read = files.ReadFile(path, &bytes) == platform::kErrorSuccess;
  loaded->reset();
  if (int32_t code = store->LoadPfx(path, password.str(), 0)) return code;
  // Kept only when the file did not change while it was being opened.
  std::string after;
  bool listed = false;
  std::vector<LinkedKey> linkedKeys = LinkedKeysOf(store->handle(), &listed);
  if (listed && read && files.ReadFile(path, &after) == platform::kErrorSuccess && after == bytes) {
    auto kept = std::make_shared<LoadedSigningFile>();
    kept->linkedKeys = std::move(linkedKeys);
    kept->path = path;
    kept->bytes = std::move(bytes);
    if (stamped && stamp.settled) kept->stamp = stamp;
    kept->password = password;
    kept->store = store->handle();
    *loaded = std::move(kept);
  }
  return 0;
}

// What the resolution does before it loads the file: the cache as it stands then, whether the
// user must be asked for the file and password, and whether the file is registered afterwards.
struct SigningPlan {
  SigningCache cache;
  bool ask = false;
  bool registerFile = false;
};

// The same user as the last signature: the cache holds the file, password and mode.
SigningPlan PlanForCachedUser(const SigningCache& cache) {
  SigningPlan plan;
  plan.cache = cache;
  plan.ask = cache.registerMode <= 1;
  return plan;
}

// Another user: the previous one is forgotten and this user's record decides. A silent record
// (mode 3) whose password or file fails cannot ask, so it fails; any other broken record lets
// the user choose the file, which is then registered.
Result<SigningPlan> PlanForNewUser(const std::string& id) {
  SigningPlan plan;
  SigningCache& cache = plan.cache;
  RegistrationRecord record;
  if (ReadRegistrationRecord(id, &record) != result::kSuccess) {
    // No record: the user chooses the file, which is then registered silently.
    cache.fileName = RegisteredFileName(id);
    cache.registerMode = kRegisterModeSilent;
    plan.ask = plan.registerFile = true;
    return plan;
  }
  cache.registerMode = record.mode;
  const bool silent = record.mode == kRegisterModeSilent;
  plan.ask = plan.registerFile = true;
  if (!platform::CurrentFileSystem().Exists(record.path)) return plan;
  SecretString password;
  if (!DecryptRecordPassword(id, record.password, &password)) {
    if (silent) return Outcome::Failure(result::kPkcs12WrongPassword);
    return plan;
  }
  CertStore check;
  if (int32_t code = OpenSigningFile(record.path, password, &cache.loaded, &check)) {
    if (silent) return Outcome::Failure(code, check.lastError());
    return plan;
  }
  platform::PathParts parts = platform::SplitPath(record.path);
  cache.folder = std::move(parts.folder);
  cache.fileName = std::move(parts.name);
  cache.password = std::move(password);
  cache.userId = id;
  plan.ask = !silent;
  plan.registerFile = false;
  return plan;
}

// A failed resolution: the cache is emptied.
Resolution Failed(Outcome outcome) {
  Resolution failed;
  failed.outcome = outcome;
  return failed;
}

}  // namespace

Resolution ResolveSigningCertificate(const std::string& id, int32_t dwKeyUsage,
                                     const SigningCache& cache, const EngineShared& shared,
                                     pfx::Registrations& registrations) {
  Result<SigningPlan> planned =
      id == cache.userId ? Result<SigningPlan>(PlanForCachedUser(cache)) : PlanForNewUser(id);
  if (!planned.ok()) return Failed(planned.outcome);
  SigningCache& next = planned.value.cache;

  if (planned.value.ask) {
    // A file in the default certificate folder can only be confirmed with its password; any
    // other (or none) can be browsed for.
    if (int32_t code =
            ui::PromptSignInfo(next.folder, next.fileName, next.password, shared.minPasswordLength,
                               shared.maxPasswordLength, BuildDefaultCertPath(shared.osVersion))) {
      return Failed(Outcome::Failure(code));
    }
  }

  auto signer = std::make_unique<SigningCertificate>();
  const std::string path = platform::JoinPath(next.folder, next.fileName);
  if (int32_t code = OpenSigningFile(path, next.password, &next.loaded, &signer->store)) {
    return Failed(Outcome::Failure(code, signer->store.lastError()));
  }
  CertContexts found;
  Outcome outcome{
      signer->store.FindCertificates(&found, "CN=" + id, kSigningSearchFlags, dwKeyUsage),
      signer->store.lastError()};
  if (found.empty()) {
    if (outcome.code == result::kSuccess || outcome.code == result::kCertNotFound) {
      outcome.code = result::kCertSubjectMismatch;
    }
    return Failed(outcome);
  }
  if (planned.value.registerFile) {
    // The registration's outcome becomes the signature's; the certificate is used either way.
    outcome = registrations.RegisterFromSigning(next.folder, next.fileName, next.password,
                                                next.registerMode);
  }
  signer->certificate = found.front();
  return Resolution{std::move(next), std::move(signer), outcome};
}

}  // namespace zyq::sign
