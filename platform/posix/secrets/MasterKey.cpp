#include "platform/posix/secrets/MasterKey.h"

#include <fcntl.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/Secret.h"
#include "platform/posix/secrets/MasterKeyFile.h"
#include "platform/posix/secrets/SecretServiceClient.h"

namespace zyq::platform::posix {
namespace {

enum class Mode { kAuto, kRequired, kOff };

// An unknown value is read as "required": a mistyped setting must not weaken the protection.
Mode ReadMode() {
  const char* value = std::getenv("ZYQSEC_KEYRING");
  if (value == nullptr || *value == '\0' || std::strcmp(value, "auto") == 0) return Mode::kAuto;
  if (std::strcmp(value, "off") == 0) return Mode::kOff;
  return Mode::kRequired;
}

// HKDF-SHA-256 of the stored bytes, one output per purpose.
bool Derive(std::span<const uint8_t> secret, std::string_view info, std::span<uint8_t> out) {
  EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
  if (kdf == nullptr) return false;
  EVP_KDF_CTX* ctx = EVP_KDF_CTX_new(kdf);
  EVP_KDF_free(kdf);
  if (ctx == nullptr) return false;
  char digest[] = "SHA256";
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<uint8_t*>(secret.data()),
                                        secret.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<char*>(info.data()),
                                        info.size()),
      OSSL_PARAM_construct_end()};
  const bool ok = EVP_KDF_derive(ctx, out.data(), out.size(), params) == 1;
  EVP_KDF_CTX_free(ctx);  // cleanses its state
  return ok;
}

constexpr char kHexDigits[] = "0123456789abcdef";

SecretString ToHex(const SecretBytes& bytes) {
  std::string text(bytes.bytes().size() * 2, '\0');
  for (size_t i = 0; i < bytes.bytes().size(); ++i) {
    text[2 * i] = kHexDigits[bytes.bytes()[i] >> 4];
    text[2 * i + 1] = kHexDigits[bytes.bytes()[i] & 15];
  }
  return SecretString(std::move(text));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FromHex(const SecretString& text, SecretBytes* bytes) {
  if (text.size() != 2 * MasterKey::kSize) return false;
  SecretBytes out;
  out.bytes().resize(MasterKey::kSize);
  for (size_t i = 0; i < MasterKey::kSize; ++i) {
    const int high = HexValue(text.str()[2 * i]);
    const int low = HexValue(text.str()[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out.bytes()[i] = static_cast<uint8_t>(high << 4 | low);
  }
  *bytes = std::move(out);
  return true;
}

// Serialises the making of a master key among the user's processes: flock on a file beside
// the key file. Without a lock file (a read-only folder) the key is made without it; the file's
// own exclusive creation still keeps two processes from keeping two keys there.
class CreationLock {
 public:
  explicit CreationLock(const std::string& keyFile) {
    const size_t slash = keyFile.rfind('/');
    if (slash == std::string::npos) return;
    const std::string folder = keyFile.substr(0, slash);
    ::mkdir(folder.c_str(), 0700);
    fd_ = ::open((folder + "/.master-key.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~CreationLock() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
  }
  CreationLock(const CreationLock&) = delete;
  CreationLock& operator=(const CreationLock&) = delete;

 private:
  int fd_ = -1;
};

constexpr std::string_view kKeyringPlace = "keyring";

// The keys found by this process, by place ("keyring" or the file's path). Never destroyed:
// a thread may still decrypt while another runs the exit handlers; the keys themselves are
// dropped at exit (below), and each is wiped when its last user lets go of it.
struct Kept {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const MasterKey>, std::less<>> keys;
};

Kept& Keys() {
  union Holder {
    Holder() : kept() {}
    ~Holder() {}
    Kept kept;
  };
  static Holder holder;
  return holder.kept;
}

struct WipeAtExit {
  ~WipeAtExit() { ForgetMasterKeysForTesting(); }
} g_wipeAtExit;

// The key from the keyring: kFound with *key, or what the keyring answered.
KeyringAnswer FromKeyring(std::shared_ptr<const MasterKey>* key, SysError* error) {
  SecretString text;
  const KeyringAnswer answer = LookUpKeyringSecret(&text, error);
  if (answer != KeyringAnswer::kFound) return answer;
  SecretBytes bytes;
  if (!FromHex(text, &bytes)) {
    *error = kErrorInvalidData;
    return KeyringAnswer::kFailed;
  }
  *error = MasterKey::FromBytes(bytes.bytes(), key);
  return *error == kErrorSuccess ? KeyringAnswer::kFound : KeyringAnswer::kFailed;
}

// The key from the file: kErrorSuccess, kErrorFileNotFound or the error of reading it.
SysError FromFile(const std::string& path, std::shared_ptr<const MasterKey>* key) {
  SecretBytes bytes;
  if (SysError err = ReadMasterKeyFile(path, &bytes); err != kErrorSuccess) return err;
  return MasterKey::FromBytes(bytes.bytes(), key);
}

SysError NewKeyBytes(SecretBytes* bytes) {
  bytes->bytes().resize(MasterKey::kSize);
  return RAND_priv_bytes(bytes->bytes().data(), static_cast<int>(MasterKey::kSize)) == 1
             ? kErrorSuccess
             : kNteFail;
}

// Makes a key in the file unless another process made one meanwhile.
SysError CreateInFile(const std::string& path, std::shared_ptr<const MasterKey>* key) {
  SysError err = FromFile(path, key);
  if (err != kErrorFileNotFound) return err;
  SecretBytes bytes;
  if (err = NewKeyBytes(&bytes); err != kErrorSuccess) return err;
  err = CreateMasterKeyFile(path, bytes);
  if (err == kErrorFileExists) return FromFile(path, key);
  if (err != kErrorSuccess) return err;
  return MasterKey::FromBytes(bytes.bytes(), key);
}

// Makes a key in the keyring unless another process made one meanwhile; *stored false when the
// keyring could not store it (err then tells why).
SysError CreateInKeyring(std::shared_ptr<const MasterKey>* key, bool* stored) {
  *stored = false;
  SysError err = kErrorSuccess;
  const KeyringAnswer again = FromKeyring(key, &err);
  if (again == KeyringAnswer::kFound) {
    *stored = true;
    return kErrorSuccess;
  }
  if (again != KeyringAnswer::kNotFound) return err != kErrorSuccess ? err : kErrorServiceNotActive;
  SecretBytes bytes;
  if (err = NewKeyBytes(&bytes); err != kErrorSuccess) return err;
  if (StoreKeyringSecret(ToHex(bytes), &err) != KeyringAnswer::kFound) {
    return err != kErrorSuccess ? err : kErrorServiceNotActive;
  }
  // Read back: the key used is the one the keyring will give again.
  if (FromKeyring(key, &err) != KeyringAnswer::kFound) {
    return err != kErrorSuccess ? err : kErrorServiceNotActive;
  }
  *stored = true;
  return kErrorSuccess;
}

}  // namespace

MasterKey::~MasterKey() {
  SecureWipe(encryptionKey_.data(), encryptionKey_.size());
  SecureWipe(check_.data(), check_.size());
}

SysError MasterKey::FromBytes(std::span<const uint8_t> bytes,
                              std::shared_ptr<const MasterKey>* key) {
  if (bytes.size() != kSize) return kErrorInvalidData;
  auto made = std::make_shared<MasterKey>();
  if (!Derive(bytes, "ZYQSecurities private keys v1", made->encryptionKey_) ||
      !Derive(bytes, "ZYQSecurities master key check v1", made->check_)) {
    return kNteFail;
  }
  *key = std::move(made);
  return kErrorSuccess;
}

SysError GetMasterKey(const MasterKeyWanted& wanted, std::shared_ptr<const MasterKey>* key) {
  const Mode mode = ReadMode();
  const std::string path = MasterKeyFilePath();
  Kept& kept = Keys();
  std::lock_guard lock(kept.mutex);
  bool foundOther = false;
  // A key of a place: taken when it has the check asked for.
  const auto take = [&](const std::shared_ptr<const MasterKey>& found) {
    if (wanted.check.empty() || std::equal(wanted.check.begin(), wanted.check.end(),
                                           found->Check().begin(), found->Check().end())) {
      *key = found;
      return true;
    }
    foundOther = true;
    return false;
  };

  SysError keyringError = kErrorSuccess;
  bool keyringAnswered = false;
  if (mode != Mode::kOff) {
    std::shared_ptr<const MasterKey> found;
    if (auto it = kept.keys.find(kKeyringPlace); it != kept.keys.end()) {
      if (take(it->second)) return kErrorSuccess;
      keyringAnswered = true;
    } else {
      switch (FromKeyring(&found, &keyringError)) {
        case KeyringAnswer::kFound:
          kept.keys.emplace(kKeyringPlace, found);
          if (take(found)) return kErrorSuccess;
          keyringAnswered = true;
          break;
        case KeyringAnswer::kFailed:
          if (mode == Mode::kRequired) return keyringError;
          break;
        case KeyringAnswer::kAbsent:
          if (mode == Mode::kRequired) return kErrorServiceNotActive;
          break;
        case KeyringAnswer::kNotFound:
          keyringAnswered = true;
          break;
      }
    }
  }

  SysError fileError = kErrorFileNotFound;
  if (mode != Mode::kRequired) {
    std::shared_ptr<const MasterKey> found;
    if (auto it = kept.keys.find(path); it != kept.keys.end()) {
      fileError = kErrorSuccess;
      found = it->second;
    } else {
      fileError = FromFile(path, &found);
      if (fileError == kErrorSuccess) kept.keys.emplace(path, found);
    }
    if (fileError == kErrorSuccess && take(found)) return kErrorSuccess;
  }

  if (foundOther) return kNteKeysetEntryBad;
  if (keyringError != kErrorSuccess) return keyringError;
  if (fileError != kErrorSuccess && fileError != kErrorFileNotFound) return fileError;
  if (!wanted.create || !wanted.check.empty()) return kNteBadKeyState;

  const CreationLock creation(path);
  std::shared_ptr<const MasterKey> made;
  if (keyringAnswered) {
    bool stored = false;
    const SysError err = CreateInKeyring(&made, &stored);
    if (stored) {
      kept.keys.insert_or_assign(std::string(kKeyringPlace), made);
      *key = made;
      return kErrorSuccess;
    }
    if (mode == Mode::kRequired || err == kErrorCancelled) return err;
  }
  const SysError err = CreateInFile(path, &made);
  if (err != kErrorSuccess) return err;
  kept.keys.insert_or_assign(path, made);
  *key = made;
  return kErrorSuccess;
}

void ForgetMasterKeysForTesting() {
  std::map<std::string, std::shared_ptr<const MasterKey>, std::less<>> dropped;
  Kept& kept = Keys();
  std::lock_guard lock(kept.mutex);
  dropped.swap(kept.keys);
}

}  // namespace zyq::platform::posix
