#include "platform/posix/keys/KeyProtection.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>

namespace zyq::platform::posix {
namespace {

constexpr const char* kProtectionTable = R"sql(
CREATE TABLE IF NOT EXISTS key_protection (
  id INTEGER PRIMARY KEY CHECK (id = 1),
  version INTEGER NOT NULL,
  key_check BLOB NOT NULL);
PRAGMA secure_delete = ON;
)sql";

constexpr int64_t kProtectionVersion = 1;

// What this process knows of the current connection's protection.
struct State {
  std::mutex mutex;
  const StateDatabase* connection = nullptr;
  std::string folder;
  std::shared_ptr<const MasterKey> verified;  // matches the database's record
  bool migrationPending = false;

  // Destroyed when the process exits: the lock orders the release of the key after whatever
  // another thread last did with it, also a thread that ended without being joined.
  ~State() {
    std::lock_guard lock(mutex);
    verified.reset();
  }
};

State& Current() {
  static State state;
  return state;
}

SysError LastError(StateDatabase& db) {
  return StateDatabase::MapError(sqlite3_extended_errcode(db.handle()));
}

bool SameConnection(const State& state, StateDatabase& db) {
  return state.connection == &db && state.folder == db.folder();
}

// The recorded check value (none when the database has no record), and whether any row is
// sealed.
SysError ReadRecord(StateDatabase& db, std::optional<std::string>* check, bool* sealedRows) {
  Statement record(db, "SELECT key_check FROM key_protection WHERE id = 1");
  int rc = record.Step();
  if (rc == SQLITE_ROW) {
    *check = record.ColumnBlob(0);
  } else if (rc != SQLITE_DONE) {
    return LastError(db);
  }
  Statement sealed(db,
                   "SELECT EXISTS (SELECT 1 FROM key_pairs "
                   "WHERE substr(private_key, 1, 1) <> x'30')");
  if (sealed.Step() != SQLITE_ROW) return LastError(db);
  *sealedRows = sealed.ColumnInt(0) != 0;
  return kErrorSuccess;
}

bool Matches(const std::string& check, const MasterKey& key) {
  return check.size() == key.Check().size() &&
         std::equal(key.Check().begin(), key.Check().end(),
                    reinterpret_cast<const uint8_t*>(check.data()));
}

// The master key of this database: found (or, for a database without sealed keys, made) and
// checked against the record, which a database without one gains.
SysError KeyFor(StateDatabase& db, std::shared_ptr<const MasterKey>* key) {
  State& state = Current();
  {
    std::lock_guard lock(state.mutex);
    if (state.verified && SameConnection(state, db)) {
      *key = state.verified;
      return kErrorSuccess;
    }
  }
  std::optional<std::string> check;
  bool sealedRows = false;
  if (SysError err = ReadRecord(db, &check, &sealedRows); err != kErrorSuccess) return err;
  MasterKeyWanted wanted;
  if (check) {
    wanted.check = {reinterpret_cast<const uint8_t*>(check->data()), check->size()};
  } else {
    wanted.create = !sealedRows;
  }
  if (SysError err = GetMasterKey(wanted, key); err != kErrorSuccess) return err;
  // A record made inside the caller's transaction is not kept as verified: that transaction
  // may still roll back.
  const bool lasting = check.has_value();
  if (!check) {
    // Sealed rows without a record (a record deleted by hand): the key is tried on the rows
    // themselves, and nothing is recorded that might be wrong.
    if (sealedRows) return kErrorSuccess;
    const SysError err = db.Transaction([&] {
      Statement insert(db,
                       "INSERT OR IGNORE INTO key_protection (id, version, key_check) "
                       "VALUES (1, ?, ?)");
      insert.Bind(1, kProtectionVersion)
          .BindBlob(2, (*key)->Check().data(), (*key)->Check().size());
      if (insert.Step() != SQLITE_DONE) return LastError(db);
      // Another process may have recorded its key first.
      std::optional<std::string> recorded;
      bool unused = false;
      if (SysError readErr = ReadRecord(db, &recorded, &unused); readErr != kErrorSuccess) {
        return readErr;
      }
      check = std::move(recorded);
      return kErrorSuccess;
    });
    if (err != kErrorSuccess) return err;
  }
  if (!check || !Matches(*check, **key)) return kNteKeysetEntryBad;
  if (!lasting && sqlite3_get_autocommit(db.handle()) == 0) return kErrorSuccess;
  std::lock_guard lock(state.mutex);
  if (SameConnection(state, db)) state.verified = *key;
  return kErrorSuccess;
}

struct UnsealedRow {
  int64_t containerId = 0;
  uint32_t keySpec = 0;
  SecretBytes pkcs8;
};

// Seals every unencrypted row in one transaction (joining the caller's, if any).
SysError Migrate(StateDatabase& db) {
  std::shared_ptr<const MasterKey> key;
  if (SysError err = KeyFor(db, &key); err != kErrorSuccess) return err;
  bool none = false;
  const SysError err = db.Transaction([&] {
    std::vector<UnsealedRow> rows;
    {
      Statement select(db,
                       "SELECT container_id, key_spec, private_key FROM key_pairs "
                       "WHERE substr(private_key, 1, 1) = x'30'");
      int rc;
      while ((rc = select.Step()) == SQLITE_ROW) {
        UnsealedRow& row = rows.emplace_back();
        row.containerId = select.ColumnInt(0);
        row.keySpec = static_cast<uint32_t>(select.ColumnInt(1));
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(select.get(), 2));
        row.pkcs8.bytes().assign(p, p + sqlite3_column_bytes(select.get(), 2));
      }
      if (rc != SQLITE_DONE) return LastError(db);
    }
    none = rows.empty();
    for (const UnsealedRow& row : rows) {
      std::vector<uint8_t> sealed;
      if (SysError sealErr =
              SealKey(*key, {row.containerId, row.keySpec}, row.pkcs8.bytes(), &sealed);
          sealErr != kErrorSuccess) {
        return sealErr;
      }
      Statement update(db,
                       "UPDATE key_pairs SET private_key = ? WHERE container_id = ? AND "
                       "key_spec = ?");
      update.BindBlob(1, sealed.data(), sealed.size())
          .Bind(2, row.containerId)
          .Bind(3, static_cast<int64_t>(row.keySpec));
      if (update.Step() != SQLITE_DONE) return LastError(db);
    }
    return kErrorSuccess;
  });
  // Done once committed; inside the caller's transaction, which may still roll back, the rows
  // are looked at again at the next use.
  if (err != kErrorSuccess || (!none && sqlite3_get_autocommit(db.handle()) == 0)) return err;
  {
    State& state = Current();
    std::lock_guard lock(state.mutex);
    if (SameConnection(state, db)) state.migrationPending = false;
  }
  // The old pages go from the journal too (when no other connection reads it now).
  if (sqlite3_get_autocommit(db.handle()) == 0) return kErrorSuccess;
  sqlite3_exec(db.handle(), "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
  return kErrorSuccess;
}

SysError MigrateIfPending(StateDatabase& db) {
  State& state = Current();
  {
    std::lock_guard lock(state.mutex);
    if (!SameConnection(state, db) || !state.migrationPending) return kErrorSuccess;
  }
  return Migrate(db);
}

}  // namespace

SysError SetUpKeyProtection(StateDatabase& db) {
  if (SysError err = db.Exec(kProtectionTable); err != kErrorSuccess) return err;
  State& state = Current();
  {
    std::lock_guard lock(state.mutex);
    state.connection = &db;
    state.folder = db.folder();
    state.verified.reset();
    state.migrationPending = false;
  }
  {
    // Reset before sealing: a statement left open keeps a read transaction, which would keep
    // the checkpoint after the sealing from emptying the log.
    Statement unsealed(db,
                       "SELECT EXISTS (SELECT 1 FROM key_pairs "
                       "WHERE substr(private_key, 1, 1) = x'30')");
    if (unsealed.Step() != SQLITE_ROW || unsealed.ColumnInt(0) == 0) return kErrorSuccess;
  }
  {
    std::lock_guard lock(state.mutex);
    state.migrationPending = true;
  }
  // Failing here (no master key yet, a busy database) leaves the rows for the next use of a
  // private key, which reports the failure.
  Migrate(db);
  return kErrorSuccess;
}

SysError ProtectPrivateKey(StateDatabase& db, KeyPlace place, std::span<const uint8_t> pkcs8,
                           std::vector<uint8_t>* stored) {
  std::shared_ptr<const MasterKey> key;
  if (SysError err = KeyFor(db, &key); err != kErrorSuccess) return err;
  if (SysError err = MigrateIfPending(db); err != kErrorSuccess) return err;
  return SealKey(*key, place, pkcs8, stored);
}

SysError RevealPrivateKey(StateDatabase& db, KeyPlace place, std::span<const uint8_t> stored,
                          SecretBytes* pkcs8) {
  std::shared_ptr<const MasterKey> key;
  if (SysError err = KeyFor(db, &key); err != kErrorSuccess) return err;
  if (IsUnsealedKey(stored)) {
    // Written by older code after this connection sealed the rows: read as it is, sealed by the
    // next connection.
    pkcs8->bytes().assign(stored.begin(), stored.end());
    return kErrorSuccess;
  }
  return OpenSealedKey(*key, place, stored, pkcs8);
}

}  // namespace zyq::platform::posix
