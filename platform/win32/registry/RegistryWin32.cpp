// The registry of Windows through the "A" functions. A RegistryKey names a key by its path
// below a hive; the paths of the keys handed out are kept in a table of this process, and every
// call opens the key afresh, so nothing stays open between calls.
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform {
namespace {

using win32::RegKeyOwner;

HKEY HiveRoot(RegistryHive hive) {
  switch (hive) {
    case RegistryHive::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryHive::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryHive::kCurrentUser:
    default:
      return HKEY_CURRENT_USER;
  }
}

// Checks a relative path: no leading "\", no empty key name; one trailing "\" is dropped.
SysError NormalizePath(std::string_view path, std::string* out) {
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) {
    out->clear();
    return kErrorSuccess;
  }
  if (path.front() == '\\' || path.find("\\\\") != std::string_view::npos) {
    return kErrorBadPathname;
  }
  *out = std::string(path);
  return kErrorSuccess;
}

class WindowsRegistry : public Registry {
 public:
  SysError OpenKey(const RegistryKey& parent, std::string_view path, RegistryKey* key) override {
    std::string full;
    if (SysError err = Compose(parent, path, &full)) return err;
    RegKeyOwner h;
    if (SysError err = Open(parent.hive, full, KEY_READ, &h)) return err;
    *key = Remember(parent.hive, full);
    return kErrorSuccess;
  }

  SysError CreateKey(const RegistryKey& parent, std::string_view path, RegistryKey* key,
                     bool* created) override {
    std::string full;
    if (SysError err = Compose(parent, path, &full)) return err;
    RegKeyOwner h;
    DWORD disposition = 0;
    const LONG r = RegCreateKeyExA(HiveRoot(parent.hive), full.c_str(), 0, nullptr, 0,
                                   KEY_READ | KEY_WRITE, nullptr, h.out(), &disposition);
    if (r != ERROR_SUCCESS) return static_cast<SysError>(r);
    if (created != nullptr) *created = disposition == REG_CREATED_NEW_KEY;
    *key = Remember(parent.hive, full);
    return kErrorSuccess;
  }

  SysError QueryValueInfo(const RegistryKey& key, std::string_view name, uint32_t* type,
                          uint32_t* size) override {
    RegistryValue value;
    if (SysError err = Read(key, name, &value)) return err;
    if (type != nullptr) *type = value.type;
    if (size != nullptr) *size = static_cast<uint32_t>(value.data.size());
    return kErrorSuccess;
  }

  SysError QueryValue(const RegistryKey& key, std::string_view name, size_t capacity,
                      RegistryValue* value, uint32_t* required) override {
    RegistryValue read;
    if (SysError err = Read(key, name, &read)) return err;
    value->type = read.type;
    if (read.data.size() > capacity) {
      value->data.clear();
      if (required != nullptr) *required = static_cast<uint32_t>(read.data.size());
      return kErrorMoreData;
    }
    value->data = std::move(read.data);
    return kErrorSuccess;
  }

  SysError SetValue(const RegistryKey& key, std::string_view name, uint32_t type,
                    std::string_view data) override {
    RegKeyOwner h;
    if (SysError err = OpenExisting(key, KEY_SET_VALUE, &h)) return err;
    // The bytes exactly as given: a text goes without a terminator unless it has one.
    const LONG r =
        RegSetValueExA(h.get(), std::string(name).c_str(), 0, type,
                       reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    return static_cast<SysError>(r);
  }

  SysError DeleteValue(const RegistryKey& key, std::string_view name) override {
    RegKeyOwner h;
    if (SysError err = OpenExisting(key, KEY_SET_VALUE, &h)) return err;
    return static_cast<SysError>(RegDeleteValueA(h.get(), std::string(name).c_str()));
  }

  SysError DeleteKeyTree(const RegistryKey& parent, std::string_view path) override {
    std::string full;
    if (SysError err = Compose(parent, path, &full)) return err;
    if (full.empty()) return kErrorAccessDenied;
    RegKeyOwner h;
    if (SysError err = Open(parent.hive, full, KEY_READ, &h)) return err;
    h.Reset();
    LONG r = RegDeleteTreeA(HiveRoot(parent.hive), full.c_str());
    if (r == ERROR_SUCCESS) {
      // RegDeleteTree empties a key; the key itself goes with RegDeleteKey where it stays.
      const LONG d = RegDeleteKeyA(HiveRoot(parent.hive), full.c_str());
      if (d != ERROR_SUCCESS && d != ERROR_FILE_NOT_FOUND) r = d;
    }
    return static_cast<SysError>(r);
  }

  SysError EnumKeys(const RegistryKey& key, std::vector<std::string>* names) override {
    RegKeyOwner h;
    if (SysError err = OpenExisting(key, KEY_READ, &h)) return err;
    std::vector<std::string> out;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD n = sizeof(name);
      const LONG r = RegEnumKeyExA(h.get(), i, name, &n, nullptr, nullptr, nullptr, nullptr);
      if (r == ERROR_NO_MORE_ITEMS) break;
      if (r != ERROR_SUCCESS) return static_cast<SysError>(r);
      out.emplace_back(name, n);
    }
    std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
      return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    *names = std::move(out);
    return kErrorSuccess;
  }

  SysError EnumValues(const RegistryKey& key, std::vector<RegistryValueEntry>* values) override {
    RegKeyOwner h;
    if (SysError err = OpenExisting(key, KEY_READ, &h)) return err;
    DWORD maxName = 0, maxData = 0;
    LONG r = RegQueryInfoKeyA(h.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, &maxName, &maxData, nullptr, nullptr);
    if (r != ERROR_SUCCESS) return static_cast<SysError>(r);
    std::vector<RegistryValueEntry> out;
    for (DWORD i = 0;; ++i) {
      std::string name(maxName + 1, '\0');
      std::string data(maxData + 1, '\0');
      DWORD n = static_cast<DWORD>(name.size()), d = static_cast<DWORD>(data.size()), t = 0;
      r = RegEnumValueA(h.get(), i, name.data(), &n, nullptr, &t,
                        reinterpret_cast<BYTE*>(data.data()), &d);
      if (r == ERROR_NO_MORE_ITEMS) break;
      if (r != ERROR_SUCCESS) return static_cast<SysError>(r);
      name.resize(n);
      data.resize(d);
      if (IsRegistryTextType(t) && !data.empty() && data.back() == '\0') data.pop_back();
      out.push_back(RegistryValueEntry{std::move(name), RegistryValue{t, std::move(data)}});
    }
    *values = std::move(out);
    return kErrorSuccess;
  }

 private:
  struct Entry {
    RegistryHive hive;
    std::string path;
  };

  RegistryKey Remember(RegistryHive hive, const std::string& path) {
    if (path.empty()) return RegistryKey::Root(hive);
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i].hive == hive && lstrcmpiA(keys_[i].path.c_str(), path.c_str()) == 0) {
        return RegistryKey{hive, static_cast<int64_t>(i + 1)};
      }
    }
    keys_.push_back(Entry{hive, path});
    return RegistryKey{hive, static_cast<int64_t>(keys_.size())};
  }

  std::string PathOf(const RegistryKey& key) {
    if (key.id == 0) return {};
    std::lock_guard lock(mutex_);
    const size_t i = static_cast<size_t>(key.id - 1);
    return i < keys_.size() ? keys_[i].path : std::string();
  }

  SysError Compose(const RegistryKey& parent, std::string_view path, std::string* full) {
    std::string relative;
    if (SysError err = NormalizePath(path, &relative)) return err;
    const std::string base = PathOf(parent);
    *full = base.empty() ? relative : relative.empty() ? base : base + "\\" + relative;
    return kErrorSuccess;
  }

  // A value as it was written. The "A" function hands out a text with a terminator also where
  // none was written (so do NT systems when the buffer has room): a text type's last NUL is a
  // terminator, since the texts of this interface hold none.
  SysError Read(const RegistryKey& key, std::string_view name, RegistryValue* value) {
    RegKeyOwner h;
    if (SysError err = OpenExisting(key, KEY_READ, &h)) return err;
    const std::string n(name);
    DWORD t = 0, size = 0;
    LONG r = RegQueryValueExA(h.get(), n.c_str(), nullptr, &t, nullptr, &size);
    if (r != ERROR_SUCCESS) return static_cast<SysError>(r);
    std::string data(size, '\0');
    r = RegQueryValueExA(h.get(), n.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(data.data()),
                         &size);
    if (r != ERROR_SUCCESS) return static_cast<SysError>(r);
    data.resize(std::min<size_t>(size, data.size()));
    if (IsRegistryTextType(t) && !data.empty() && data.back() == '\0') data.pop_back();
    *value = RegistryValue{t, std::move(data)};
    return kErrorSuccess;
  }

  static SysError Open(RegistryHive hive, const std::string& path, REGSAM access, RegKeyOwner* h) {
    const LONG r =
        RegOpenKeyExA(HiveRoot(hive), path.empty() ? nullptr : path.c_str(), 0, access, h->out());
    return static_cast<SysError>(r);
  }

  SysError OpenExisting(const RegistryKey& key, REGSAM access, RegKeyOwner* h) {
    const SysError err = Open(key.hive, PathOf(key), access, h);
    // A key handed out earlier that is gone now was deleted.
    return err == kErrorFileNotFound && key.id != 0 ? kErrorKeyDeleted : err;
  }

  std::mutex mutex_;
  std::vector<Entry> keys_;
};

}  // namespace

Registry& DefaultRegistry() {
  static WindowsRegistry registry;
  return registry;
}

}  // namespace zyq::platform
