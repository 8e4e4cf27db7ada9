#include "pfx/RegistrationRecord.h"

#include <cstring>
#include <string>
#include <vector>

#include "codec/DesCipher.h"
#include "codec/Sha1Digest.h"
#include "engine/ResultCodes.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/Uuid.h"

namespace zyq {
namespace {

bool IsAsciiLetterOrDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsAsciiLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string RecordKeyPath(std::string_view id) {
  return std::string(kRegistrationRootKey) + std::string(id);
}

// The names of the keys on the way to the registration root key, outermost first.
std::vector<std::string> RootKeyParts() {
  std::vector<std::string> parts;
  std::string_view rest = kRegistrationRootKey;
  while (!rest.empty()) {
    const size_t cut = rest.find('\\');
    if (cut != 0) parts.emplace_back(rest.substr(0, cut));
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return parts;
}

// A value read into a buffer of `capacity` bytes: 0 with *data set, ERROR_FILE_NOT_FOUND or
// ERROR_MORE_DATA when it is missing or does not fit (absent for a reader), or the error that
// kept it from being read.
platform::SysError QueryLimited(platform::Registry& registry, const platform::RegistryKey& key,
                                std::string_view name, size_t capacity, std::string* data) {
  platform::RegistryValue value;
  const platform::SysError error = registry.QueryValue(key, name, capacity, &value);
  if (error == platform::kErrorSuccess) *data = std::move(value.data);
  return error;
}

// Whether a read error means "absent" rather than "could not be read".
bool Absent(platform::SysError error) {
  return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound ||
         error == platform::kErrorMoreData;
}

}  // namespace

std::string NormalizeUserId(std::u16string_view id) {
  const size_t nul = id.find(u'\0');
  const std::u16string_view text = nul == std::u16string_view::npos ? id : id.substr(0, nul);
  if (id.empty()) return std::string();
  bool plain = true;
  for (char16_t c : id) {
    if (!IsAsciiLetterOrDigit(c)) {
      plain = false;
      break;
    }
  }
  std::string ansi = platform::WideToAnsi(text);
  return plain ? platform::AnsiUpperCase(ansi) : ansi;
}

std::string DeriveUserId(std::string_view commonName) {
  if (commonName.empty()) return std::string();
  const auto first = static_cast<unsigned char>(commonName[0]);
  if (IsAsciiLetter(first)) {
    const size_t start = commonName.substr(0, 2) == "TW" ? 2 : 0;
    return std::string(commonName.substr(start, 10));
  }
  if (first >= '0' && first <= '9') return std::string(commonName.substr(0, 8));
  return std::string(commonName);
}

SecretBytes RecordKey(std::string_view id) {
  Sha1Digest sha1;
  sha1.Compute(id);
  const unsigned char* digest = sha1.result().data();
  std::vector<unsigned char> key(digest, digest + Sha1Digest::kDigestLength);
  key.insert(key.end(), digest + 16, digest + 20);
  return SecretBytes(std::move(key));
}

bool EncryptRecordPassword(std::string_view id, std::string_view password, ByteBuffer* ciphertext) {
  ciphertext->Release();
  if (password.empty()) return false;
  DesCipher cipher;
  cipher.SetAlgorithm(DesCipher::kCalg3Des);
  const SecretBytes key = RecordKey(id);
  cipher.SetKey(key.bytes().data(), static_cast<int>(key.bytes().size()));
  if (!cipher.Encrypt(password.data(), static_cast<int>(password.size()))) return false;
  *ciphertext = std::move(cipher.output());
  return true;
}

bool DecryptRecordPassword(std::string_view id, const ByteBuffer& ciphertext,
                           SecretString* password) {
  password->Clear();
  if (ciphertext.empty()) return false;
  DesCipher cipher;
  cipher.SetAlgorithm(DesCipher::kCalg3Des);
  const SecretBytes key = RecordKey(id);
  cipher.SetKey(key.bytes().data(), static_cast<int>(key.bytes().size()));
  if (!cipher.Decrypt(ciphertext.data(), ciphertext.length())) return false;
  // The output buffer ends with zero bytes, so c_str() is the zero-terminated reading.
  *password = SecretString(std::string(cipher.output().c_str()));
  return true;
}

int32_t ReadRegistrationRecord(std::string_view id, RegistrationRecord* record,
                               platform::SysError* readError) {
  record->path.clear();
  record->password.Release();
  record->mode = -1;
  platform::SysError unreadable = platform::kErrorSuccess;
  auto note = [&](platform::SysError error) {
    if (error != platform::kErrorSuccess && !Absent(error) && unreadable == 0) unreadable = error;
  };
  platform::Registry& registry = platform::CurrentRegistry();
  platform::RegistryKey key;
  const platform::SysError opened = registry.OpenKey(
      platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser), RecordKeyPath(id), &key);
  if (opened != platform::kErrorSuccess) {
    note(opened);
    if (readError) *readError = unreadable;
    return result::kCertNotRegistered;
  }
  std::string data;
  platform::SysError error =
      QueryLimited(registry, key, kValuePfxFileName, kRecordValueLimit, &data);
  note(error);
  if (error == platform::kErrorSuccess) {
    // The reader ends the text at the returned length; a stored zero ends it earlier.
    record->path = std::string(data.c_str());
  }
  error = QueryLimited(registry, key, kValuePfxPassword, kRecordValueLimit, &data);
  note(error);
  if (error == platform::kErrorSuccess && !data.empty()) {
    record->password.Append(data.data(), static_cast<int>(data.size()));
  }
  SecureWipe(data.data(), data.capacity());
  error = QueryLimited(registry, key, kValueRegisterMode, sizeof(uint32_t), &data);
  note(error);
  if (error == platform::kErrorSuccess) {
    // The value's bytes land on the mode's storage as the reader's buffer would take them.
    uint32_t mode = static_cast<uint32_t>(record->mode);
    std::memcpy(&mode, data.data(), data.size());
    record->mode = static_cast<int32_t>(mode);
  }
  if (readError) *readError = unreadable;
  return result::kSuccess;
}

int32_t WriteRegistrationRecord(std::string_view path, std::span<const unsigned char> password,
                                std::string_view id, int32_t mode) {
  platform::Registry& registry = platform::CurrentRegistry();
  // A value that need not be there may already be missing.
  auto removed = [](platform::SysError error) {
    return error == platform::kErrorFileNotFound ? platform::kErrorSuccess : error;
  };
  // The key and its three values change together: a process that dies part way, or a value
  // that cannot be written, leaves the record as it was, never part old and part new.
  const platform::SysError error = registry.Atomically([&]() -> platform::SysError {
    platform::RegistryKey key;
    if (platform::SysError e =
            registry.CreateKey(platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser),
                               RecordKeyPath(id), &key)) {
      return e;
    }
    platform::SysError e = !path.empty()
                               ? registry.SetValue(key, kValuePfxFileName, platform::kRegSz, path)
                               : removed(registry.DeleteValue(key, kValuePfxFileName));
    if (e != platform::kErrorSuccess) return e;
    e = !password.empty()
            ? registry.SetValue(
                  key, kValuePfxPassword, platform::kRegBinary,
                  std::string_view(reinterpret_cast<const char*>(password.data()), password.size()))
            : removed(registry.DeleteValue(key, kValuePfxPassword));
    if (e != platform::kErrorSuccess) return e;
    if (mode > 0) {
      const uint32_t value = static_cast<uint32_t>(mode);
      const unsigned char bytes[4] = {
          static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
          static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
      return registry.SetValue(
          key, kValueRegisterMode, platform::kRegDword,
          std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
    }
    return removed(registry.DeleteValue(key, kValueRegisterMode));
  });
  return error == platform::kErrorSuccess ? result::kSuccess : result::kAccessDenied;
}

int32_t MakeProbeName(std::string* name) {
  name->clear();
  if (platform::NewUuidString(name) != platform::kErrorSuccess || name->empty()) {
    return result::kAllocationError;
  }
  return result::kSuccess;
}

int32_t ProbeRegistryAccess(std::string_view name, std::string* createdKey) {
  platform::Registry& registry = platform::CurrentRegistry();
  std::string created;
  // The steps take effect together: a probe value that cannot be deleted is not left behind.
  const platform::SysError error = registry.Atomically([&]() -> platform::SysError {
    // Key by key, to learn the outermost one that did not exist.
    created.clear();
    platform::RegistryKey key = platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser);
    std::string path;
    for (const std::string& part : RootKeyParts()) {
      path += (path.empty() ? "" : "\\") + part;
      bool made = false;
      if (const platform::SysError e = registry.CreateKey(key, part, &key, &made)) return e;
      if (made && created.empty()) created = path;
    }
    const unsigned char zero[4] = {0, 0, 0, 0};
    if (const platform::SysError e =
            registry.SetValue(key, name, platform::kRegDword,
                              std::string_view(reinterpret_cast<const char*>(zero), sizeof zero))) {
      return e;
    }
    return registry.DeleteValue(key, name);
  });
  if (error != platform::kErrorSuccess) return result::kAccessDenied;
  if (createdKey != nullptr) *createdKey = std::move(created);
  return result::kSuccess;
}

void RemoveEmptyProbeKeys(std::string_view createdKey) {
  if (createdKey.empty()) return;
  platform::Registry& registry = platform::CurrentRegistry();
  const platform::RegistryKey root =
      platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser);
  registry.Atomically([&]() -> platform::SysError {
    std::string path;
    for (const std::string& part : RootKeyParts()) path += (path.empty() ? "" : "\\") + part;
    // From the root key outwards, while the key is empty and the probe made it.
    for (;;) {
      platform::RegistryKey key;
      std::vector<std::string> subkeys;
      std::vector<platform::RegistryValueEntry> values;
      if (registry.OpenKey(root, path, &key) != platform::kErrorSuccess ||
          registry.EnumKeys(key, &subkeys) != platform::kErrorSuccess ||
          registry.EnumValues(key, &values) != platform::kErrorSuccess || !subkeys.empty() ||
          !values.empty()) {
        return platform::kErrorSuccess;
      }
      if (const platform::SysError e = registry.DeleteKeyTree(root, path)) return e;
      if (path == createdKey) return platform::kErrorSuccess;
      const size_t cut = path.rfind('\\');
      if (cut == std::string::npos) return platform::kErrorSuccess;
      path.resize(cut);
    }
  });
}

}  // namespace zyq
