// A tampered registration record: the input writes values of any type, length and content under
// a user's record key (HKEY_CURRENT_USER\Software\ZYQSecurities\<ID>) in a state folder of its
// own, then the record is read back by the reader the engine uses, its password is deciphered,
// and the engine's QueryUserInfo runs on it. The state lives under $TMPDIR (ZYQSEC_HOME and
// HOME); the engine is only run on a record whose file path is empty or lies in that folder, so
// a tampered path never makes it read another file. "@" at the start of a stored path stands
// for that folder, where "user.pfx" is a file that is no PKCS#12 file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "fuzz/FuzzSupport.h"
#include "pfx/RegistrationRecord.h"
#include "platform/Registry.h"

namespace {

namespace p = zyq::platform;

constexpr const char* kGoodPassword = "fuzzpass";
std::string g_home;

using zyq::fuzz::Check;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string Text(size_t n) {
    n = std::min(n, size_ - pos_);
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  bool AtEnd() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A user ID as the engine normalises it: 1 to 10 upper-case letters and digits.
std::string UserId(Input& in) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const size_t length = 1 + in.Byte() % 10;
  std::string id;
  for (size_t i = 0; i < length; ++i) id.push_back(kChars[in.Byte() % 36]);
  return id;
}

// The value as a reader without a limit sees it, or nothing.
std::optional<p::RegistryValue> Stored(const p::RegistryKey& key, const char* name) {
  p::RegistryValue value;
  if (p::CurrentRegistry().QueryValue(key, name, p::kRegistryNoLimit, &value) != 0) {
    return std::nullopt;
  }
  return value;
}

bool InsideHome(const std::string& path) {
  return path.compare(0, g_home.size() + 1, g_home + "/") == 0 &&
         path.find("..") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_home = zyq::fuzz::IsolateState("record");
  std::ofstream(g_home + "/user.pfx", std::ios::binary) << "not a PKCS#12 file";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 2048) return 0;
  Input in(data, size);
  const std::string id = UserId(in);
  p::Registry& registry = p::CurrentRegistry();
  const p::RegistryKey user = p::RegistryKey::Root(p::RegistryHive::kCurrentUser);
  const std::string keyPath = std::string(zyq::kRegistrationRootKey) + id;
  // The record is written in one transaction: a durable write per value would be slow.
  p::RegistryKey key;
  registry.Atomically([&]() -> p::SysError {
    registry.DeleteKeyTree(user, keyPath);
    Check(registry.CreateKey(user, keyPath, &key) == 0);
    // Up to eight values: one of the record's names or another, a type, and bytes.
    for (int n = 0; n < 8 && !in.AtEnd(); ++n) {
      const uint8_t how = in.Byte();
      static constexpr const char* kNames[] = {zyq::kValuePfxFileName, zyq::kValuePfxPassword,
                                               zyq::kValueRegisterMode, "Other"};
      const char* name = kNames[how & 3];
      uint32_t type = how >> 5;  // REG_NONE to REG_MULTI_SZ
      if ((how & 0x10) != 0) {
        type = in.Byte() | (in.Byte() << 8) | (in.Byte() << 16) |
               (static_cast<uint32_t>(in.Byte()) << 24);
      }
      std::string bytes = in.Text((how & 0x08) != 0 ? 240 + in.Byte() % 32 : in.Byte() % 24);
      if (name == zyq::kValuePfxFileName && !bytes.empty() && bytes[0] == '@') {
        bytes = g_home + bytes.substr(1);
      }
      if (name == zyq::kValuePfxPassword && (how & 0x0c) == 0x04) {
        zyq::ByteBuffer ciphertext;
        Check(zyq::EncryptRecordPassword(id, kGoodPassword, &ciphertext));
        bytes.assign(ciphertext.c_str(), static_cast<size_t>(ciphertext.length()));
      }
      registry.SetValue(key, name, type, bytes);
    }
    return p::kErrorSuccess;
  });

  zyq::RegistrationRecord record;
  Check(zyq::ReadRegistrationRecord(id, &record) == zyq::result::kSuccess);

  // The path: the stored text up to a zero, when it fits the reader's 255 bytes.
  const auto path = Stored(key, zyq::kValuePfxFileName);
  if (path && path->data.size() <= zyq::kRecordValueLimit) {
    Check(record.path == std::string(path->data.c_str()));
  } else {
    Check(record.path.empty());
  }
  // The password's ciphertext: the stored bytes when they fit.
  const auto password = Stored(key, zyq::kValuePfxPassword);
  const std::string cipherBytes(record.password.c_str(),
                                static_cast<size_t>(record.password.length()));
  if (password && password->data.size() <= zyq::kRecordValueLimit) {
    Check(cipherBytes == password->data);
  } else {
    Check(cipherBytes.empty());
  }
  // The mode: the stored bytes over the absent -1, when they fit four bytes.
  const auto mode = Stored(key, zyq::kValueRegisterMode);
  uint32_t expectedMode = 0xFFFFFFFFu;
  if (mode && mode->data.size() <= sizeof expectedMode) {
    std::memcpy(&expectedMode, mode->data.data(), mode->data.size());
  }
  Check(record.mode == static_cast<int32_t>(expectedMode));

  // Deciphering: nothing from no ciphertext; a text without zeros, no longer than the whole
  // blocks of its ciphertext (a cut-short last block is deciphered as a whole one); the good
  // password's ciphertext gives the good password.
  zyq::SecretString secret;
  const bool deciphered = zyq::DecryptRecordPassword(id, record.password, &secret);
  if (record.password.empty()) Check(!deciphered);
  if (deciphered) {
    Check(secret.str().size() <= (cipherBytes.size() + 7) / 8 * 8);
    Check(secret.str().find('\0') == std::string::npos);
  }
  zyq::ByteBuffer good;
  Check(zyq::EncryptRecordPassword(id, kGoodPassword, &good));
  if (cipherBytes == std::string(good.c_str(), static_cast<size_t>(good.length()))) {
    Check(deciphered && secret.str() == kGoodPassword);
  }

  // The engine on the record, when its path leads nowhere outside the state folder.
  if (!record.path.empty() && !InsideHome(record.path)) return 0;
  static zyq::SecurityEngine engine;
  const std::u16string wideId(id.begin(), id.end());
  const int32_t code = engine.QueryUserInfo(p::Bstr::FromView(wideId));
  Check(code == engine.GetErrorCode());
  Check(code != zyq::result::kSuccess);
  if (code == zyq::result::kFileNotFound || code == zyq::result::kPkcs12WrongPassword) {
    Check(engine.GetRegisterUserMode() == record.mode);
  }
  return 0;
}
