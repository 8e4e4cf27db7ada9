// System certificate stores in the user's state database.
//
// cert_entries holds one row per stored certificate (the row id gives the insertion order);
// cert_properties holds the properties of an entry by CryptoAPI property id (2: the key link).
// Every call reads the database afresh, so changes made by other processes are seen by the
// next enumeration.
#include <cstring>
#include <mutex>

#include "platform/common/certs/StoreBackend.h"
#include "platform/posix/StateDatabase.h"

namespace zyq::platform::detail {
namespace {

using posix::StateDatabase;
using posix::Statement;

constexpr int64_t kKeyProvInfoPropId = 2;  // CERT_KEY_PROV_INFO_PROP_ID

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS cert_entries (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  store TEXT NOT NULL,
  encoded BLOB NOT NULL,
  issuer BLOB NOT NULL,
  serial BLOB NOT NULL,
  sha1 BLOB NOT NULL
);
CREATE INDEX IF NOT EXISTS cert_entries_by_identity ON cert_entries (store, issuer, serial);
CREATE TABLE IF NOT EXISTS cert_properties (
  entry_id INTEGER NOT NULL REFERENCES cert_entries (id) ON DELETE CASCADE,
  prop_id INTEGER NOT NULL,
  value BLOB NOT NULL,
  PRIMARY KEY (entry_id, prop_id)
);
INSERT OR IGNORE INTO schema_info (name, version) VALUES ('cert', 1);
)sql";

void PutU32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool GetU32(const std::string& in, size_t* pos, uint32_t* v) {
  if (*pos > in.size() || in.size() - *pos < 4) return false;
  *v = 0;
  for (int i = 0; i < 4; ++i) *v |= uint32_t{static_cast<uint8_t>(in[*pos + i])} << (8 * i);
  *pos += 4;
  return true;
}

bool GetText(const std::string& in, size_t* pos, std::string* text) {
  uint32_t n = 0;
  if (!GetU32(in, pos, &n) || in.size() - *pos < n) return false;
  *text = in.substr(*pos, n);
  *pos += n;
  return true;
}

// The process's database, with the store tables created once per connection.
SysError OpenWithSchema(StateDatabase** out) {
  return StateDatabase::OpenWithSchema("stores", kSchema, out);
}

class DatabaseBackend final : public StoreBackend {
 public:
  explicit DatabaseBackend(std::string name) : name_(std::move(name)) {}
  std::string Name() const override { return name_; }

 protected:
  SysError Atomically(const std::function<SysError()>& body) override {
    StateDatabase* db = nullptr;
    if (SysError err = Db(&db)) return err;
    return db->Transaction(body);
  }

  SysError ListEntries(std::vector<StoredEntry>* out) override {
    StateDatabase* db = nullptr;
    if (SysError err = Db(&db)) return err;
    std::lock_guard lock(db->mutex());
    Statement st(db->handle(),
                 "SELECT e.id, e.encoded, p.value FROM cert_entries e LEFT JOIN cert_properties p "
                 "ON p.entry_id = e.id AND p.prop_id = ?2 WHERE e.store = ?1 ORDER BY e.id");
    st.Bind(1, name_).Bind(2, kKeyProvInfoPropId);
    out->clear();
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) out->push_back(Row(st));
    return rc == SQLITE_DONE ? kErrorSuccess : Fail(db, rc);
  }

  SysError FindEntry(const Bytes& issuer, const Bytes& serial,
                     std::optional<StoredEntry>* out) override {
    StateDatabase* db = nullptr;
    if (SysError err = Db(&db)) return err;
    std::lock_guard lock(db->mutex());
    Statement st(db->handle(),
                 "SELECT e.id, e.encoded, p.value FROM cert_entries e LEFT JOIN cert_properties p "
                 "ON p.entry_id = e.id AND p.prop_id = ?4 "
                 "WHERE e.store = ?1 AND e.issuer = ?2 AND e.serial = ?3 ORDER BY e.id LIMIT 1");
    st.Bind(1, name_)
        .BindBlob(2, issuer.data(), issuer.size())
        .BindBlob(3, serial.data(), serial.size())
        .Bind(4, kKeyProvInfoPropId);
    out->reset();
    const int rc = st.Step();
    if (rc == SQLITE_ROW) *out = Row(st);
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? kErrorSuccess : Fail(db, rc);
  }

  SysError InsertEntry(const DecodedCertificate& cert, const std::optional<KeyProvInfo>& link,
                       int64_t* id) override {
    return Atomically([&]() -> SysError {
      StateDatabase* db = nullptr;
      if (SysError err = Db(&db)) return err;
      Statement st(db->handle(),
                   "INSERT INTO cert_entries (store, encoded, issuer, serial, sha1) "
                   "VALUES (?1, ?2, ?3, ?4, ?5)");
      BindCertificate(st.Bind(1, name_), cert);
      if (int rc = st.Step(); rc != SQLITE_DONE) return Fail(db, rc);
      *id = sqlite3_last_insert_rowid(db->handle());
      return WriteKeyLink(db, *id, link);
    });
  }

  SysError ReplaceEntry(int64_t id, const DecodedCertificate& cert,
                        const std::optional<KeyProvInfo>& link) override {
    return Atomically([&]() -> SysError {
      StateDatabase* db = nullptr;
      if (SysError err = Db(&db)) return err;
      Statement st(db->handle(),
                   "UPDATE cert_entries SET encoded = ?2, issuer = ?3, serial = ?4, sha1 = ?5 "
                   "WHERE id = ?1");
      BindCertificate(st.Bind(1, id), cert);
      if (int rc = st.Step(); rc != SQLITE_DONE) return Fail(db, rc);
      if (sqlite3_changes(db->handle()) == 0) return kCryptENotFound;
      return WriteKeyLink(db, id, link);
    });
  }

  SysError UpdateKeyLink(int64_t id, const std::optional<KeyProvInfo>& link) override {
    return Atomically([&]() -> SysError {
      StateDatabase* db = nullptr;
      if (SysError err = Db(&db)) return err;
      Statement st(db->handle(), "SELECT 1 FROM cert_entries WHERE id = ?1 AND store = ?2");
      st.Bind(1, id).Bind(2, name_);
      const int rc = st.Step();
      if (rc == SQLITE_DONE) return kCryptENotFound;
      if (rc != SQLITE_ROW) return Fail(db, rc);
      return WriteKeyLink(db, id, link);
    });
  }

  SysError RemoveEntry(int64_t id) override {
    return Atomically([&]() -> SysError {
      StateDatabase* db = nullptr;
      if (SysError err = Db(&db)) return err;
      Statement st(db->handle(), "DELETE FROM cert_entries WHERE id = ?1 AND store = ?2");
      st.Bind(1, id).Bind(2, name_);
      if (int rc = st.Step(); rc != SQLITE_DONE) return Fail(db, rc);
      return sqlite3_changes(db->handle()) == 0 ? kCryptENotFound : kErrorSuccess;
    });
  }

 private:
  // The process's database with the store tables in place.
  static SysError Db(StateDatabase** out) { return OpenWithSchema(out); }

  static SysError Fail(StateDatabase* db, int rc) {
    const SysError err = StateDatabase::MapError(sqlite3_extended_errcode(db->handle()));
    return err != kErrorSuccess ? err : StateDatabase::MapError(rc);
  }

  static StoredEntry Row(const Statement& st) {
    StoredEntry e;
    e.id = st.ColumnInt(0);
    const std::string der = st.ColumnBlob(1);
    e.encoded.assign(der.begin(), der.end());
    KeyProvInfo link;
    if (!st.ColumnIsNull(2) && DecodeKeyLink(st.ColumnBlob(2), &link)) e.keyLink = link;
    return e;
  }

  static void BindCertificate(Statement& st, const DecodedCertificate& cert) {
    st.BindBlob(2, cert.encoded.data(), cert.encoded.size())
        .BindBlob(3, cert.issuer.data(), cert.issuer.size())
        .BindBlob(4, cert.serialNumber.data(), cert.serialNumber.size())
        .BindBlob(5, cert.sha1Thumbprint.data(), cert.sha1Thumbprint.size());
  }

  static SysError WriteKeyLink(StateDatabase* db, int64_t id,
                               const std::optional<KeyProvInfo>& link) {
    Statement del(db->handle(), "DELETE FROM cert_properties WHERE entry_id = ?1 AND prop_id = ?2");
    del.Bind(1, id).Bind(2, kKeyProvInfoPropId);
    if (int rc = del.Step(); rc != SQLITE_DONE) return Fail(db, rc);
    if (!link) return kErrorSuccess;
    const Bytes value = EncodeKeyLink(*link);
    Statement ins(db->handle(),
                  "INSERT INTO cert_properties (entry_id, prop_id, value) VALUES (?1, ?2, ?3)");
    ins.Bind(1, id).Bind(2, kKeyProvInfoPropId).BindBlob(3, value.data(), value.size());
    if (int rc = ins.Step(); rc != SQLITE_DONE) return Fail(db, rc);
    return kErrorSuccess;
  }

  std::string name_;
};

}  // namespace

Bytes EncodeKeyLink(const KeyProvInfo& link) {
  Bytes out{'K', 'P', 'I', '1'};
  PutU32(out, link.providerType);
  PutU32(out, link.flags);
  PutU32(out, link.keySpec);
  PutU32(out, static_cast<uint32_t>(link.containerName.size()));
  out.insert(out.end(), link.containerName.begin(), link.containerName.end());
  PutU32(out, static_cast<uint32_t>(link.providerName.size()));
  out.insert(out.end(), link.providerName.begin(), link.providerName.end());
  return out;
}

bool DecodeKeyLink(const std::string& value, KeyProvInfo* link) {
  if (value.compare(0, 4, "KPI1") != 0) return false;
  size_t pos = 4;
  KeyProvInfo l;
  if (!GetU32(value, &pos, &l.providerType) || !GetU32(value, &pos, &l.flags) ||
      !GetU32(value, &pos, &l.keySpec) || !GetText(value, &pos, &l.containerName) ||
      !GetText(value, &pos, &l.providerName) || pos != value.size()) {
    return false;
  }
  *link = std::move(l);
  return true;
}

SysError OpenDatabaseBackend(const std::string& name, std::shared_ptr<StoreBackend>* out) {
  StateDatabase* db = nullptr;
  if (SysError err = OpenWithSchema(&db)) return err;
  *out = std::make_shared<DatabaseBackend>(name);
  return kErrorSuccess;
}

}  // namespace zyq::platform::detail
