// The registry substitute: the hives live in the user's state database.
//
// Layout (see docs/platform-substitute.md):
//   reg_keys   (id, hive, parent, name, fold)           parent 0 = below the hive's root
//   reg_values (id, hive, key_id, name, fold, type, data) key_id 0 = the hive's root
// `name` keeps the case first written, `fold` is the matched form. Ids are never reused
// (AUTOINCREMENT), so an open key whose row was deleted stays deleted. Text data is stored as
// UTF-8, everything else as the bytes given.
#include <mutex>

#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/posix/StateDatabase.h"
#include "platform/posix/registry/RegistryNames.h"

namespace zyq::platform::posix {
namespace {

constexpr const char* kRegistrySchema = R"sql(
CREATE TABLE IF NOT EXISTS reg_keys (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  hive INTEGER NOT NULL,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold TEXT NOT NULL,
  UNIQUE (hive, parent, fold));
CREATE INDEX IF NOT EXISTS reg_keys_by_parent ON reg_keys (parent);
CREATE TABLE IF NOT EXISTS reg_values (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  hive INTEGER NOT NULL,
  key_id INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold TEXT NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE (hive, key_id, fold));
)sql";

SysError OpenRegistryDatabase(StateDatabase** out) {
  return StateDatabase::OpenWithSchema("registry", kRegistrySchema, out);
}

SysError LastError(StateDatabase& db) {
  const SysError err = StateDatabase::MapError(sqlite3_extended_errcode(db.handle()));
  return err != kErrorSuccess ? err : kErrorRegistryIoFailed;
}

int HiveNumber(const RegistryKey& key) {
  return static_cast<int>(key.hive);
}

// Whether the key still exists.
SysError CheckKey(StateDatabase& db, const RegistryKey& key) {
  if (key.id == 0) return kErrorSuccess;
  Statement st(db.handle(), "SELECT 1 FROM reg_keys WHERE id = ?1 AND hive = ?2");
  if (!st.ok()) return LastError(db);
  st.Bind(1, key.id).Bind(2, HiveNumber(key));
  const int rc = st.Step();
  if (rc == SQLITE_ROW) return kErrorSuccess;
  return rc == SQLITE_DONE ? kErrorKeyDeleted : LastError(db);
}

// Finds the child of parent named (folded) fold; *id = 0 when there is none.
SysError FindChild(StateDatabase& db, RegistryHive hive, int64_t parent, const std::string& fold,
                   int64_t* id) {
  Statement st(db.handle(),
               "SELECT id FROM reg_keys WHERE hive = ?1 AND parent = ?2 AND fold = ?3");
  if (!st.ok()) return LastError(db);
  st.Bind(1, static_cast<int>(hive)).Bind(2, parent).Bind(3, fold);
  const int rc = st.Step();
  if (rc == SQLITE_ROW) {
    *id = st.ColumnInt(0);
    return kErrorSuccess;
  }
  if (rc != SQLITE_DONE) return LastError(db);
  *id = 0;
  return kErrorSuccess;
}

// Walks names below parent. With create, missing keys are made; without, a missing key is
// ERROR_FILE_NOT_FOUND.
SysError Resolve(StateDatabase& db, const RegistryKey& parent,
                 const std::vector<std::string>& names, bool create, RegistryKey* key,
                 bool* created) {
  if (SysError err = CheckKey(db, parent); err != kErrorSuccess) return err;
  int64_t current = parent.id;
  bool made = false;
  for (const std::string& name : names) {
    const std::string fold = FoldRegistryName(name);
    int64_t child = 0;
    if (SysError err = FindChild(db, parent.hive, current, fold, &child); err != kErrorSuccess) {
      return err;
    }
    made = false;
    if (child == 0) {
      if (!create) return kErrorFileNotFound;
      Statement ins(db.handle(),
                    "INSERT INTO reg_keys (hive, parent, name, fold) VALUES (?1, ?2, ?3, ?4)");
      if (!ins.ok()) return LastError(db);
      ins.Bind(1, static_cast<int>(parent.hive)).Bind(2, current).Bind(3, name).Bind(4, fold);
      if (ins.Step() != SQLITE_DONE) return LastError(db);
      child = sqlite3_last_insert_rowid(db.handle());
      made = true;
    }
    current = child;
  }
  *key = RegistryKey{parent.hive, current};
  if (created) *created = made;
  return kErrorSuccess;
}

// Reads the stored type and data of a value; ERROR_FILE_NOT_FOUND when missing. Text data is
// returned in ANSI.
SysError LoadValue(StateDatabase& db, const RegistryKey& key, const std::string& fold,
                   RegistryValue* value) {
  if (SysError err = CheckKey(db, key); err != kErrorSuccess) return err;
  Statement st(db.handle(),
               "SELECT type, data FROM reg_values WHERE hive = ?1 AND key_id = ?2 AND fold = ?3");
  if (!st.ok()) return LastError(db);
  st.Bind(1, HiveNumber(key)).Bind(2, key.id).Bind(3, fold);
  const int rc = st.Step();
  if (rc == SQLITE_DONE) return kErrorFileNotFound;
  if (rc != SQLITE_ROW) return LastError(db);
  value->type = static_cast<uint32_t>(st.ColumnInt(0));
  value->data = st.ColumnBlob(1);
  if (IsRegistryTextType(value->type)) value->data = Utf8ToAnsi(value->data);
  return kErrorSuccess;
}

class StateRegistry final : public Registry {
 public:
  SysError OpenKey(const RegistryKey& parent, std::string_view path, RegistryKey* key) override {
    std::vector<std::string> names;
    if (SysError err = SplitRegistryPath(path, &names); err != kErrorSuccess) return err;
    return Read([&](StateDatabase& db) {
      RegistryKey found;
      SysError err = Resolve(db, parent, names, false, &found, nullptr);
      if (err == kErrorSuccess) *key = found;
      return err;
    });
  }

  SysError CreateKey(const RegistryKey& parent, std::string_view path, RegistryKey* key,
                     bool* created) override {
    std::vector<std::string> names;
    if (SysError err = SplitRegistryPath(path, &names); err != kErrorSuccess) return err;
    RegistryKey found;
    bool made = false;
    const SysError err =
        Write([&](StateDatabase& db) { return Resolve(db, parent, names, true, &found, &made); });
    if (err != kErrorSuccess) return err;
    *key = found;
    if (created) *created = made;
    return kErrorSuccess;
  }

  SysError QueryValueInfo(const RegistryKey& key, std::string_view name, uint32_t* type,
                          uint32_t* size) override {
    RegistryValue value;
    const SysError err = QueryValue(key, name, kRegistryNoLimit, &value, nullptr);
    if (err != kErrorSuccess) return err;
    if (type) *type = value.type;
    if (size) *size = static_cast<uint32_t>(value.data.size());
    return kErrorSuccess;
  }

  SysError QueryValue(const RegistryKey& key, std::string_view name, size_t capacity,
                      RegistryValue* value, uint32_t* required) override {
    std::string utf8Name;
    if (SysError err = ConvertValueName(name, &utf8Name); err != kErrorSuccess) return err;
    const std::string fold = FoldRegistryName(utf8Name);
    RegistryValue found;
    const SysError err = Read([&](StateDatabase& db) { return LoadValue(db, key, fold, &found); });
    if (err != kErrorSuccess) return err;
    if (required) *required = static_cast<uint32_t>(found.data.size());
    value->type = found.type;
    if (found.data.size() > capacity) {
      value->data.clear();
      return kErrorMoreData;
    }
    value->data = std::move(found.data);
    return kErrorSuccess;
  }

  SysError SetValue(const RegistryKey& key, std::string_view name, uint32_t type,
                    std::string_view data) override {
    std::string utf8Name;
    if (SysError err = ConvertValueName(name, &utf8Name); err != kErrorSuccess) return err;
    const std::string fold = FoldRegistryName(utf8Name);
    const std::string stored = IsRegistryTextType(type) ? AnsiToUtf8(data) : std::string(data);
    return Write([&](StateDatabase& db) {
      if (SysError err = CheckKey(db, key); err != kErrorSuccess) return err;
      // An existing value keeps its row (its place in the enumeration) and its name's case.
      Statement st(db.handle(),
                   "INSERT INTO reg_values (hive, key_id, name, fold, type, data) "
                   "VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
                   "ON CONFLICT (hive, key_id, fold) DO UPDATE SET type = excluded.type, "
                   "data = excluded.data");
      if (!st.ok()) return LastError(db);
      st.Bind(1, HiveNumber(key)).Bind(2, key.id).Bind(3, utf8Name).Bind(4, fold);
      st.Bind(5, static_cast<int64_t>(type)).BindBlob(6, stored.data(), stored.size());
      return st.Step() == SQLITE_DONE ? kErrorSuccess : LastError(db);
    });
  }

  SysError DeleteValue(const RegistryKey& key, std::string_view name) override {
    std::string utf8Name;
    if (SysError err = ConvertValueName(name, &utf8Name); err != kErrorSuccess) return err;
    const std::string fold = FoldRegistryName(utf8Name);
    return Write([&](StateDatabase& db) {
      if (SysError err = CheckKey(db, key); err != kErrorSuccess) return err;
      Statement st(db.handle(),
                   "DELETE FROM reg_values WHERE hive = ?1 AND key_id = ?2 AND fold = ?3");
      if (!st.ok()) return LastError(db);
      st.Bind(1, HiveNumber(key)).Bind(2, key.id).Bind(3, fold);
      if (st.Step() != SQLITE_DONE) return LastError(db);
      return sqlite3_changes(db.handle()) > 0 ? kErrorSuccess : kErrorFileNotFound;
    });
  }

  SysError DeleteKeyTree(const RegistryKey& parent, std::string_view path) override {
    std::vector<std::string> names;
    if (SysError err = SplitRegistryPath(path, &names); err != kErrorSuccess) return err;
    return Write([&](StateDatabase& db) {
      RegistryKey target;
      if (SysError err = Resolve(db, parent, names, false, &target, nullptr);
          err != kErrorSuccess) {
        return err;
      }
      if (target.id == 0) return kErrorAccessDenied;
      for (const char* sql : {"WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
                              "SELECT k.id FROM reg_keys k JOIN tree t ON k.parent = t.id) "
                              "DELETE FROM reg_values WHERE key_id IN tree",
                              "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
                              "SELECT k.id FROM reg_keys k JOIN tree t ON k.parent = t.id) "
                              "DELETE FROM reg_keys WHERE id IN tree"}) {
        Statement st(db.handle(), sql);
        if (!st.ok()) return LastError(db);
        st.Bind(1, target.id);
        if (st.Step() != SQLITE_DONE) return LastError(db);
      }
      return kErrorSuccess;
    });
  }

  SysError EnumKeys(const RegistryKey& key, std::vector<std::string>* names) override {
    std::vector<std::string> out;
    const SysError err = Read([&](StateDatabase& db) {
      if (SysError e = CheckKey(db, key); e != kErrorSuccess) return e;
      Statement st(db.handle(),
                   "SELECT name FROM reg_keys WHERE hive = ?1 AND parent = ?2 ORDER BY fold");
      if (!st.ok()) return LastError(db);
      st.Bind(1, HiveNumber(key)).Bind(2, key.id);
      int rc;
      while ((rc = st.Step()) == SQLITE_ROW) out.push_back(Utf8ToAnsi(st.ColumnText(0)));
      return rc == SQLITE_DONE ? kErrorSuccess : LastError(db);
    });
    if (err == kErrorSuccess) *names = std::move(out);
    return err;
  }

  SysError EnumValues(const RegistryKey& key, std::vector<RegistryValueEntry>* values) override {
    std::vector<RegistryValueEntry> out;
    const SysError err = Read([&](StateDatabase& db) {
      if (SysError e = CheckKey(db, key); e != kErrorSuccess) return e;
      Statement st(db.handle(),
                   "SELECT name, type, data FROM reg_values WHERE hive = ?1 AND key_id = ?2 "
                   "ORDER BY id");
      if (!st.ok()) return LastError(db);
      st.Bind(1, HiveNumber(key)).Bind(2, key.id);
      int rc;
      while ((rc = st.Step()) == SQLITE_ROW) {
        RegistryValueEntry entry;
        entry.name = Utf8ToAnsi(st.ColumnText(0));
        entry.value.type = static_cast<uint32_t>(st.ColumnInt(1));
        entry.value.data = st.ColumnBlob(2);
        if (IsRegistryTextType(entry.value.type)) {
          entry.value.data = Utf8ToAnsi(entry.value.data);
        }
        out.push_back(std::move(entry));
      }
      return rc == SQLITE_DONE ? kErrorSuccess : LastError(db);
    });
    if (err == kErrorSuccess) *values = std::move(out);
    return err;
  }

  // One transaction of the state database around body; the writes inside join it.
  SysError Atomically(const std::function<SysError()>& body) override {
    StateDatabase* db = nullptr;
    if (SysError err = OpenRegistryDatabase(&db); err != kErrorSuccess) return err;
    return db->Transaction(body);
  }

 private:
  template <typename Body>
  static SysError Read(Body&& body) {
    StateDatabase* db = nullptr;
    if (SysError err = OpenRegistryDatabase(&db); err != kErrorSuccess) return err;
    std::lock_guard lock(db->mutex());
    return body(*db);
  }

  template <typename Body>
  static SysError Write(Body&& body) {
    StateDatabase* db = nullptr;
    if (SysError err = OpenRegistryDatabase(&db); err != kErrorSuccess) return err;
    return db->Transaction([&] { return body(*db); });
  }
};

}  // namespace
}  // namespace zyq::platform::posix

namespace zyq::platform {

Registry& DefaultRegistry() {
  static posix::StateRegistry registry;
  return registry;
}

}  // namespace zyq::platform
