// The registry of the platform port: hives of keys, each key holding named, typed values, with
// the meaning of the Windows registry's "A" functions (RegCreateKeyExA, RegQueryValueExA, ...).
//
// Texts: key names, value names and the data of the text types (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) cross this interface in the process's ANSI code page, as through the "A"
// functions; the store keeps them as Unicode, so a value written under one code page reads back
// as the same characters under another. Other types are kept as the raw bytes given.
//
// Names: a key path is a list of key names joined by "\" (below a parent key); a single
// trailing "\" is allowed and ignored. Key and value names are matched without regard to case
// (ASCII letters and the other cased letters the ANSI code pages can hold: Latin-1, Latin
// Extended-A, Greek, Cyrillic, full-width Latin); a name keeps the case it was first written
// with. The empty value name is the key's default value.
//
// Limits (as on Windows): a key name of 1 to 255 characters, a path of at most 512 levels,
// a value name of at most 16383 characters.
//
// Every method is safe to call from several threads and several processes at once. Each change
// is atomic and durable: when the process dies during a call, the state is the one before the
// call or the one after it, never a mix.
//
// Errors use Windows numbering: ERROR_FILE_NOT_FOUND (2) for a missing key or value,
// ERROR_BAD_PATHNAME (161) for a path with an empty key name or a leading "\",
// ERROR_INVALID_PARAMETER (87) for a name past the limits, ERROR_KEY_DELETED (1018) for a key
// that was deleted after it was opened, ERROR_MORE_DATA (234) for data that does not fit,
// ERROR_NO_MORE_ITEMS (259) past the last item of an enumeration, and the errors of the store
// (ERROR_ACCESS_DENIED, ERROR_DISK_FULL, ERROR_REGISTRY_IO_FAILED, ...).
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::platform {

enum class RegistryHive : int {
  kClassesRoot = 1,   // HKEY_CLASSES_ROOT
  kCurrentUser = 2,   // HKEY_CURRENT_USER
  kLocalMachine = 3,  // HKEY_LOCAL_MACHINE
};

// Value types.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

// True for the types whose data is text in the ANSI code page at this interface.
constexpr bool IsRegistryTextType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

inline constexpr size_t kRegistryMaxKeyNameLength = 255;
inline constexpr size_t kRegistryMaxDepth = 512;
inline constexpr size_t kRegistryMaxValueNameLength = 16383;
// "No limit" for the capacity of QueryValue.
inline constexpr size_t kRegistryNoLimit = std::numeric_limits<size_t>::max();

// An open key: a value naming one key of one hive. It stays valid while the key exists; once
// the key is deleted (by this or another process), operations on it fail with
// ERROR_KEY_DELETED, also when a key of the same name is created again. Copying is free; there
// is nothing to close.
struct RegistryKey {
  RegistryHive hive = RegistryHive::kCurrentUser;
  int64_t id = 0;  // 0 = the hive's root key

  static RegistryKey Root(RegistryHive hive) { return RegistryKey{hive, 0}; }
};

struct RegistryValue {
  uint32_t type = kRegNone;
  std::string data;  // text types: ANSI bytes, exactly as written (no terminator added)
};

// One value of a key, as enumeration gives it.
struct RegistryValueEntry {
  std::string name;
  RegistryValue value;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // Opens the key at path below parent ("" opens parent itself). ERROR_FILE_NOT_FOUND when a
  // key of the path is missing. *key is written only on success.
  virtual SysError OpenKey(const RegistryKey& parent, std::string_view path, RegistryKey* key) = 0;

  // Opens the key at path below parent, creating it and every missing key before it.
  // *created (may be null) tells whether the last key was created. On failure nothing is
  // created.
  virtual SysError CreateKey(const RegistryKey& parent, std::string_view path, RegistryKey* key,
                             bool* created = nullptr) = 0;

  // The type and size in bytes of a value (the ANSI size for text types).
  // ERROR_FILE_NOT_FOUND when the value is missing.
  virtual SysError QueryValueInfo(const RegistryKey& key, std::string_view name, uint32_t* type,
                                  uint32_t* size) = 0;

  // Reads a value into *value when its data holds at most capacity bytes (a caller's buffer of
  // that size). When it holds more: ERROR_MORE_DATA, value->type set, value->data empty and
  // *required (may be null) set to the size needed, as RegQueryValueExA reports it.
  virtual SysError QueryValue(const RegistryKey& key, std::string_view name, size_t capacity,
                              RegistryValue* value, uint32_t* required = nullptr) = 0;

  // Creates or replaces a value. A replaced value keeps its place in the enumeration order and
  // the case of its name.
  virtual SysError SetValue(const RegistryKey& key, std::string_view name, uint32_t type,
                            std::string_view data) = 0;

  // Deletes a value; ERROR_FILE_NOT_FOUND when it is missing.
  virtual SysError DeleteValue(const RegistryKey& key, std::string_view name) = 0;

  // Deletes the key at path below parent with all its subkeys and values, in one step.
  // ERROR_FILE_NOT_FOUND when it is missing; ERROR_ACCESS_DENIED for a hive's root ("" below a
  // root key).
  virtual SysError DeleteKeyTree(const RegistryKey& parent, std::string_view path) = 0;

  // The names of the key's direct subkeys, ordered by name without regard to case (the order
  // of RegEnumKeyExA).
  virtual SysError EnumKeys(const RegistryKey& key, std::vector<std::string>* names) = 0;

  // The key's values in the order they were first created.
  virtual SysError EnumValues(const RegistryKey& key, std::vector<RegistryValueEntry>* values) = 0;

  // Runs body so that the changes it makes through this registry take effect together or not at
  // all, also when the process dies part way: when body returns an error, none of its changes
  // stay and the error is returned. Calls made inside body join it. The default only runs body.
  virtual SysError Atomically(const std::function<SysError()>& body) { return body(); }
};

// Forwards every call to another registry: the base for test registries that change one
// behaviour (a failing write, a full disk) and leave the rest as it is.
class RegistryWrapper : public Registry {
 public:
  explicit RegistryWrapper(Registry& target) : target_(target) {}
  Registry& target() { return target_; }

  SysError OpenKey(const RegistryKey& parent, std::string_view path, RegistryKey* key) override {
    return target_.OpenKey(parent, path, key);
  }
  SysError CreateKey(const RegistryKey& parent, std::string_view path, RegistryKey* key,
                     bool* created = nullptr) override {
    return target_.CreateKey(parent, path, key, created);
  }
  SysError QueryValueInfo(const RegistryKey& key, std::string_view name, uint32_t* type,
                          uint32_t* size) override {
    return target_.QueryValueInfo(key, name, type, size);
  }
  SysError QueryValue(const RegistryKey& key, std::string_view name, size_t capacity,
                      RegistryValue* value, uint32_t* required = nullptr) override {
    return target_.QueryValue(key, name, capacity, value, required);
  }
  SysError SetValue(const RegistryKey& key, std::string_view name, uint32_t type,
                    std::string_view data) override {
    return target_.SetValue(key, name, type, data);
  }
  SysError DeleteValue(const RegistryKey& key, std::string_view name) override {
    return target_.DeleteValue(key, name);
  }
  SysError DeleteKeyTree(const RegistryKey& parent, std::string_view path) override {
    return target_.DeleteKeyTree(parent, path);
  }
  SysError EnumKeys(const RegistryKey& key, std::vector<std::string>* names) override {
    return target_.EnumKeys(key, names);
  }
  SysError EnumValues(const RegistryKey& key, std::vector<RegistryValueEntry>* values) override {
    return target_.EnumValues(key, values);
  }
  SysError Atomically(const std::function<SysError()>& body) override {
    return target_.Atomically(body);
  }

 private:
  Registry& target_;
};

// The registry of this process: the user's persistent state (the state folder's database).
// Lives as long as the process.
Registry& DefaultRegistry();

// The registry the engine uses: the default one unless a test substituted another.
Registry& CurrentRegistry();

// Makes `registry` the current one (tests); null restores the default. The caller keeps it
// alive while it is current.
void SetRegistryForTesting(Registry* registry);

}  // namespace zyq::platform
