#include "platform/posix/keys/KeyStore.h"

#include <mutex>

#include "platform/posix/keys/KeyProtection.h"

namespace zyq::platform::posix {
namespace {

constexpr const char* kKeyTables = R"sql(
CREATE TABLE IF NOT EXISTS key_providers (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  type INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS key_containers (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  provider TEXT NOT NULL COLLATE NOCASE,
  name TEXT NOT NULL COLLATE NOCASE,
  generation INTEGER NOT NULL DEFAULT 0,
  UNIQUE (provider, name));
CREATE TABLE IF NOT EXISTS key_pairs (
  container_id INTEGER NOT NULL REFERENCES key_containers(id) ON DELETE CASCADE,
  key_spec INTEGER NOT NULL,
  flags INTEGER NOT NULL,
  bits INTEGER NOT NULL,
  public_key BLOB NOT NULL,
  private_key BLOB NOT NULL,
  PRIMARY KEY (container_id, key_spec));
CREATE INDEX IF NOT EXISTS key_pairs_by_public_key ON key_pairs (public_key);
)sql";

// Databases written before containers had a generation gain the column; every container gets a
// generation of its own, since a key decoded from the file may already be cached.
constexpr const char* kAddGeneration = R"sql(
ALTER TABLE key_containers ADD COLUMN generation INTEGER NOT NULL DEFAULT 0;
UPDATE key_containers SET generation = random();
)sql";

// Every change of a container's keys gives the container a new generation, whichever process
// (or version of this code) makes it. An update that leaves a key as it was (an import of the
// same key with the same flags) changes nothing, so that it writes nothing either. The generation
// is random rather than counted, so that it does not repeat when a state database is replaced by
// another whose rows look the same.
constexpr const char* kGenerationTriggers = R"sql(
CREATE TRIGGER IF NOT EXISTS key_pairs_inserted AFTER INSERT ON key_pairs BEGIN
  UPDATE key_containers SET generation = random() WHERE id = NEW.container_id;
END;
CREATE TRIGGER IF NOT EXISTS key_pairs_updated AFTER UPDATE ON key_pairs
WHEN OLD.container_id IS NOT NEW.container_id OR OLD.key_spec IS NOT NEW.key_spec
  OR OLD.flags IS NOT NEW.flags OR OLD.bits IS NOT NEW.bits
  OR OLD.public_key IS NOT NEW.public_key OR OLD.private_key IS NOT NEW.private_key BEGIN
  UPDATE key_containers SET generation = random()
    WHERE id IN (OLD.container_id, NEW.container_id);
END;
CREATE TRIGGER IF NOT EXISTS key_pairs_deleted AFTER DELETE ON key_pairs BEGIN
  UPDATE key_containers SET generation = random() WHERE id = OLD.container_id;
END;
)sql";

bool HasGenerationColumn(StateDatabase& db) {
  Statement st(db.handle(),
               "SELECT 1 FROM pragma_table_info('key_containers') WHERE name = 'generation'");
  return st.Step() == SQLITE_ROW;
}

SysError SetUpKeyTables(StateDatabase& db) {
  if (SysError err = db.Exec(kKeyTables); err != kErrorSuccess) return err;
  if (!HasGenerationColumn(db)) {
    // Looked at again inside the transaction: another process may have added it meanwhile.
    const SysError err = db.Transaction(
        [&] { return HasGenerationColumn(db) ? kErrorSuccess : db.Exec(kAddGeneration); });
    if (err != kErrorSuccess) return err;
  }
  if (SysError err = db.Exec(kGenerationTriggers); err != kErrorSuccess) return err;
  return SetUpKeyProtection(db);
}

SysError OpenKeyDatabase(StateDatabase** out) {
  return StateDatabase::OpenWithSetup("keys", SetUpKeyTables, out);
}

SysError StepDone(Statement& st, StateDatabase& db) {
  const int rc = st.Step();
  if (rc == SQLITE_DONE || rc == SQLITE_ROW) return kErrorSuccess;
  return StateDatabase::MapError(sqlite3_extended_errcode(db.handle()));
}

SysError StepError(StateDatabase& db) {
  return StateDatabase::MapError(sqlite3_extended_errcode(db.handle()));
}

std::span<const uint8_t> BlobColumn(Statement& st, int col) {
  const void* p = sqlite3_column_blob(st.get(), col);
  const int n = sqlite3_column_bytes(st.get(), col);
  if (p == nullptr || n <= 0) return {};
  return {static_cast<const uint8_t*>(p), static_cast<size_t>(n)};
}

// A container of a provider, with its key pair of one spec: the key pair's columns are NULL when
// the container holds no key of that spec.
constexpr std::string_view kSelectContainerKey =
    "SELECT c.id, c.generation, k.key_spec, k.flags, k.bits, k.public_key, k.private_key "
    "FROM key_containers c LEFT JOIN key_pairs k "
    "ON k.container_id = c.id AND k.key_spec = ? "
    "WHERE c.provider = ? AND c.name = ?";
enum ContainerKeyColumn { kContainerId, kGeneration, kKeySpec, kFlags, kBits, kPublic, kPrivate };

// Steps st (kSelectContainerKey) to the container's row: kNteBadKeyset when there is no such
// container, kNteNoKey when it holds no key of keySpec (st is on its row all the same).
SysError StepToContainerKey(StateDatabase& db, Statement& st, std::string_view provider,
                            std::string_view container, uint32_t keySpec) {
  st.Bind(1, static_cast<int64_t>(keySpec)).Bind(2, provider).Bind(3, container);
  const int rc = st.Step();
  if (rc == SQLITE_DONE) return kNteBadKeyset;
  if (rc != SQLITE_ROW) return StepError(db);
  return st.ColumnIsNull(kKeySpec) ? kNteNoKey : kErrorSuccess;
}

}  // namespace

SysError KeyDatabaseRead(const std::function<SysError(StateDatabase&)>& body) {
  StateDatabase* db = nullptr;
  if (SysError err = OpenKeyDatabase(&db); err != kErrorSuccess) return err;
  std::lock_guard lock(db->mutex());
  return body(*db);
}

SysError KeyDatabaseWrite(const std::function<SysError(StateDatabase&)>& body) {
  StateDatabase* db = nullptr;
  if (SysError err = OpenKeyDatabase(&db); err != kErrorSuccess) return err;
  return db->Transaction([&] { return body(*db); });
}

SysError LoadInstalledProviders(StateDatabase& db, std::vector<ProviderInfo>* providers) {
  Statement st(db, "SELECT name, type FROM key_providers ORDER BY id");
  if (!st.ok()) return StepError(db);
  std::vector<ProviderInfo> out;
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    out.push_back({st.ColumnText(0), static_cast<uint32_t>(st.ColumnInt(1))});
  }
  if (rc != SQLITE_DONE) return StepError(db);
  *providers = std::move(out);
  return kErrorSuccess;
}

SysError ReadInstalledProviders(std::vector<ProviderInfo>* providers) {
  SysError err = kErrorSuccess;
  StateDatabase* db = StateDatabase::Open(&err);
  if (db == nullptr) return err != kErrorSuccess ? err : kErrorRegistryIoFailed;
  std::lock_guard lock(db->mutex());
  Statement table(db->handle(),
                  "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'key_providers'");
  const int rc = table.Step();
  if (rc == SQLITE_DONE) {
    providers->clear();
    return kErrorSuccess;
  }
  if (rc != SQLITE_ROW) return StepError(*db);
  return LoadInstalledProviders(*db, providers);
}

SysError InsertProvider(StateDatabase& db, std::string_view name, uint32_t type) {
  Statement st(db, "INSERT INTO key_providers (name, type) VALUES (?, ?)");
  st.Bind(1, name).Bind(2, static_cast<int64_t>(type));
  const int rc = st.Step();
  if (rc == SQLITE_DONE) return kErrorSuccess;
  if ((rc & 0xFF) == SQLITE_CONSTRAINT) return kNteExists;
  return StepError(db);
}

SysError DeleteProvider(StateDatabase& db, std::string_view name) {
  Statement keys(db,
                 "DELETE FROM key_pairs WHERE container_id IN "
                 "(SELECT id FROM key_containers WHERE provider = ?)");
  keys.Bind(1, name);
  if (SysError err = StepDone(keys, db); err != kErrorSuccess) return err;
  Statement containers(db, "DELETE FROM key_containers WHERE provider = ?");
  containers.Bind(1, name);
  if (SysError err = StepDone(containers, db); err != kErrorSuccess) return err;
  Statement provider(db, "DELETE FROM key_providers WHERE name = ?");
  provider.Bind(1, name);
  if (SysError err = StepDone(provider, db); err != kErrorSuccess) return err;
  return sqlite3_changes(db.handle()) > 0 ? kErrorSuccess : kNteKeysetNotDef;
}

SysError FindContainer(StateDatabase& db, std::string_view provider, std::string_view name,
                       ContainerRow* row) {
  Statement st(db, "SELECT id, name FROM key_containers WHERE provider = ? AND name = ?");
  st.Bind(1, provider).Bind(2, name);
  const int rc = st.Step();
  if (rc == SQLITE_DONE) return kNteBadKeyset;
  if (rc != SQLITE_ROW) return StepError(db);
  row->id = st.ColumnInt(0);
  row->name = st.ColumnText(1);
  return kErrorSuccess;
}

SysError CreateContainer(StateDatabase& db, std::string_view provider, std::string_view name,
                         ContainerRow* row) {
  Statement st(db, "INSERT INTO key_containers (provider, name) VALUES (?, ?)");
  st.Bind(1, provider).Bind(2, name);
  const int rc = st.Step();
  if ((rc & 0xFF) == SQLITE_CONSTRAINT) return kNteExists;
  if (rc != SQLITE_DONE) return StepError(db);
  row->id = sqlite3_last_insert_rowid(db.handle());
  row->name = std::string(name);
  return kErrorSuccess;
}

SysError DeleteContainer(StateDatabase& db, std::string_view provider, std::string_view name) {
  ContainerRow row;
  if (SysError err = FindContainer(db, provider, name, &row); err != kErrorSuccess) return err;
  Statement keys(db, "DELETE FROM key_pairs WHERE container_id = ?");
  keys.Bind(1, row.id);
  if (SysError err = StepDone(keys, db); err != kErrorSuccess) return err;
  Statement container(db, "DELETE FROM key_containers WHERE id = ?");
  container.Bind(1, row.id);
  return StepDone(container, db);
}

SysError ListContainers(StateDatabase& db, std::string_view provider,
                        std::vector<std::string>* names) {
  Statement st(db, "SELECT name FROM key_containers WHERE provider = ? ORDER BY id");
  st.Bind(1, provider);
  std::vector<std::string> out;
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) out.push_back(st.ColumnText(0));
  if (rc != SQLITE_DONE) return StepError(db);
  *names = std::move(out);
  return kErrorSuccess;
}

SysError CountContainers(StateDatabase& db, int64_t* count) {
  Statement st(db, "SELECT COUNT(*) FROM key_containers");
  if (st.Step() != SQLITE_ROW) return StepError(db);
  *count = st.ColumnInt(0);
  return kErrorSuccess;
}

SysError LoadKeyPair(StateDatabase& db, std::string_view provider, std::string_view container,
                     uint32_t keySpec, bool withPrivateKey, StoredKeyPair* pair) {
  Statement st(db, kSelectContainerKey);
  if (SysError err = StepToContainerKey(db, st, provider, container, keySpec)) return err;
  StoredKeyPair out;
  out.keySpec = keySpec;
  out.flags = static_cast<uint32_t>(st.ColumnInt(kFlags));
  out.bits = static_cast<uint32_t>(st.ColumnInt(kBits));
  const auto publicKey = BlobColumn(st, kPublic);
  out.publicKey.assign(publicKey.begin(), publicKey.end());
  if (withPrivateKey) {
    if (SysError err = RevealPrivateKey(db, {st.ColumnInt(kContainerId), keySpec},
                                        BlobColumn(st, kPrivate), &out.pkcs8);
        err != kErrorSuccess) {
      return err;
    }
  }
  *pair = std::move(out);
  return kErrorSuccess;
}

SysError LoadSigningKey(StateDatabase& db, std::string_view provider, std::string_view container,
                        uint32_t keySpec,
                        const std::function<bool(int64_t, int64_t)>& needPrivateKey,
                        SigningKeyRow* row) {
  Statement st(db, kSelectContainerKey);
  const SysError found = StepToContainerKey(db, st, provider, container, keySpec);
  if (found != kErrorSuccess && found != kNteNoKey) return found;
  row->containerId = st.ColumnInt(kContainerId);
  row->generation = st.ColumnInt(kGeneration);
  if (found == kNteNoKey) return kNteNoKey;
  row->flags = static_cast<uint32_t>(st.ColumnInt(kFlags));
  row->pkcs8.Clear();
  if (needPrivateKey(row->containerId, row->generation)) {
    return RevealPrivateKey(db, {row->containerId, keySpec}, BlobColumn(st, kPrivate), &row->pkcs8);
  }
  return kErrorSuccess;
}

SysError SaveKeyPair(StateDatabase& db, int64_t containerId, uint32_t keySpec, uint32_t flags,
                     const RsaKeyRecord& key) {
  std::vector<uint8_t> sealed;
  if (SysError err = ProtectPrivateKey(db, {containerId, keySpec}, key.pkcs8.bytes(), &sealed);
      err != kErrorSuccess) {
    return err;
  }
  Statement st(db,
               "INSERT OR REPLACE INTO key_pairs "
               "(container_id, key_spec, flags, bits, public_key, private_key) "
               "VALUES (?, ?, ?, ?, ?, ?)");
  st.Bind(1, containerId)
      .Bind(2, static_cast<int64_t>(keySpec))
      .Bind(3, static_cast<int64_t>(flags))
      .Bind(4, static_cast<int64_t>(key.bits))
      .BindBlob(5, key.publicKey.data(), key.publicKey.size())
      .BindBlob(6, sealed.data(), sealed.size());
  return StepDone(st, db);
}

SysError SetKeyFlags(StateDatabase& db, int64_t containerId, uint32_t keySpec, uint32_t flags) {
  Statement st(db, "UPDATE key_pairs SET flags = ? WHERE container_id = ? AND key_spec = ?");
  st.Bind(1, static_cast<int64_t>(flags))
      .Bind(2, containerId)
      .Bind(3, static_cast<int64_t>(keySpec));
  return StepDone(st, db);
}

SysError FindKeysByPublicKey(StateDatabase& db, std::span<const uint8_t> publicKey,
                             std::vector<KeyLocation>* keys) {
  Statement st(db,
               "SELECT c.provider, c.name, c.id, k.key_spec "
               "FROM key_pairs k JOIN key_containers c ON c.id = k.container_id "
               "WHERE k.public_key = ? ORDER BY c.id, k.key_spec");
  st.BindBlob(1, publicKey.data(), publicKey.size());
  std::vector<KeyLocation> out;
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    out.push_back({st.ColumnText(0), st.ColumnText(1), st.ColumnInt(2),
                   static_cast<uint32_t>(st.ColumnInt(3))});
  }
  if (rc != SQLITE_DONE) return StepError(db);
  *keys = std::move(out);
  return kErrorSuccess;
}

}  // namespace zyq::platform::posix
