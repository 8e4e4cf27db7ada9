#include "platform/posix/StateDatabase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zyq::platform::posix {
namespace {

std::mutex g_openMutex;
std::unique_ptr<StateDatabase> g_database;

SysError ErrnoToSysError(int e) {
  switch (e) {
    case ENOENT:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kErrorAccessDenied;
    case ENOSPC:
      return kErrorDiskFull;
    case ENAMETOOLONG:
      return kErrorFilenameExcedRange;
    case ENOTDIR:
      return kErrorPathNotFound;
    default:
      return kErrorWriteFault;
  }
}

SysError MakeFolders(const std::string& path) {
  if (path.empty()) return kErrorPathNotFound;
  size_t pos = 1;
  while (true) {
    pos = path.find('/', pos);
    const std::string part = path.substr(0, pos);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return ErrnoToSysError(errno);
    }
    if (pos == std::string::npos) break;
    ++pos;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrorPathNotFound;
  return kErrorSuccess;
}

// The fault injection of FailNthCallForTesting.
std::atomic<int64_t> g_calls{0};
std::atomic<int64_t> g_failAt{0};
std::atomic<int> g_failCode{SQLITE_IOERR};

// The SQL function through which an injected fault reaches SQLite: it fails with the code given,
// so that SQLite records the error on the connection as it records any other.
void FailWithCode(sqlite3_context* context, int, sqlite3_value** argv) {
  sqlite3_result_error_code(context, sqlite3_value_int(argv[0]));
}
constexpr const char* kFaultFunction = "zyq_injected_fault";

// Counts one call; when it is the one chosen to fail, runs the failing function on the
// connection and returns its result (else SQLITE_OK).
int InjectedFault(sqlite3* db) {
  const int64_t call = g_calls.fetch_add(1) + 1;
  if (call != g_failAt.load()) return SQLITE_OK;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT zyq_injected_fault(?1)", -1, &stmt, nullptr) != SQLITE_OK) {
    return SQLITE_ERROR;
  }
  sqlite3_bind_int(stmt, 1, g_failCode.load());
  const int rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  return rc;
}

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS schema_info (name TEXT PRIMARY KEY, version INTEGER NOT NULL);
)sql";

}  // namespace

std::string StateFolderPath() {
  if (const char* home = std::getenv("ZYQSEC_HOME"); home != nullptr && *home != '\0') {
    return home;
  }
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0') {
    return std::string(xdg) + "/ZYQSecurities";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/share/ZYQSecurities";
}

SysError EnsureStateFolder() {
  const std::string folder = StateFolderPath();
  const SysError err = MakeFolders(folder);
  if (err != kErrorSuccess) return err;
  ::chmod(folder.c_str(), 0700);
  return kErrorSuccess;
}

Statement::Statement(sqlite3* db, std::string_view sql) {
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

Statement::Statement(StateDatabase& db, std::string_view sql)
    : stmt_(db.TakeStatement(sql)), keeper_(&db), sql_(sql) {}

Statement::~Statement() {
  if (keeper_ != nullptr && stmt_ != nullptr) {
    keeper_->ReturnStatement(sql_, stmt_);
  } else {
    sqlite3_finalize(stmt_);
  }
}

Statement& Statement::Bind(int index, int64_t value) {
  if (stmt_) sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  if (stmt_) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  return *this;
}

Statement& Statement::BindBlob(int index, const void* data, size_t n) {
  if (stmt_) {
    // A zero-length blob is still a blob, not NULL.
    static const char kEmpty = 0;
    sqlite3_bind_blob(stmt_, index, n ? data : &kEmpty, static_cast<int>(n), SQLITE_TRANSIENT);
  }
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (stmt_) sqlite3_bind_null(stmt_, index);
  return *this;
}

int Statement::Step() {
  if (!stmt_) return SQLITE_MISUSE;
  if (const int fault = InjectedFault(sqlite3_db_handle(stmt_)); fault != SQLITE_OK) return fault;
  return sqlite3_step(stmt_);
}

int64_t Statement::ColumnInt(int col) const {
  return sqlite3_column_int64(stmt_, col);
}

std::string Statement::ColumnText(int col) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
  return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col))) : std::string();
}

std::string Statement::ColumnBlob(int col) const {
  const void* p = sqlite3_column_blob(stmt_, col);
  const int n = sqlite3_column_bytes(stmt_, col);
  return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
}

bool Statement::ColumnIsNull(int col) const {
  return sqlite3_column_type(stmt_, col) == SQLITE_NULL;
}

StateDatabase* StateDatabase::Open(SysError* error) {
  std::lock_guard lock(g_openMutex);
  const std::string folder = StateFolderPath();
  if (g_database && g_database->folder_ == folder) return g_database.get();
  g_database.reset();
  if (SysError err = EnsureStateFolder(); err != kErrorSuccess) {
    if (error) *error = err;
    return nullptr;
  }
  const std::string path = folder + "/state.db";
  const mode_t old = ::umask(077);
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  ::umask(old);
  if (rc != SQLITE_OK) {
    if (error) *error = MapError(db ? sqlite3_extended_errcode(db) : rc);
    sqlite3_close(db);
    return nullptr;
  }
  ::chmod(path.c_str(), 0600);
  sqlite3_busy_timeout(db, 10000);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_exec(db,
               "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; "
               "PRAGMA journal_size_limit=0;",
               nullptr, nullptr, nullptr);
  // The log and its index outlive the last connection, so that the next process (the library
  // opens the database while it loads) finds them instead of creating both files again. The
  // size limit empties the log when the last connection closes, after its checkpoint: a log
  // left behind holds no page that could be replayed onto another database file put in place.
  int persist = 1;
  sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
  sqlite3_create_function_v2(db, kFaultFunction, 1, SQLITE_UTF8, nullptr, FailWithCode, nullptr,
                             nullptr, nullptr);
  // The connection is not shared yet, so the base schema runs without its lock: the open lock
  // is never held while a connection's lock is taken.
  if (sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
    if (error) *error = MapError(sqlite3_extended_errcode(db));
    sqlite3_close(db);
    return nullptr;
  }
  g_database = std::make_unique<StateDatabase>(folder, db);
  return g_database.get();
}

SysError StateDatabase::OpenWithSchema(std::string_view part, std::string_view schema,
                                       StateDatabase** out) {
  return OpenWithSetup(
      part, [schema](StateDatabase& db) { return db.Exec(schema); }, out);
}

SysError StateDatabase::OpenWithSetup(std::string_view part,
                                      const std::function<SysError(StateDatabase&)>& setup,
                                      StateDatabase** out) {
  SysError err = kErrorSuccess;
  StateDatabase* db = Open(&err);
  if (db == nullptr) return err != kErrorSuccess ? err : kErrorRegistryIoFailed;
  std::lock_guard lock(db->mutex_);
  if (std::find(db->schemas_.begin(), db->schemas_.end(), part) == db->schemas_.end()) {
    if (SysError schemaErr = setup(*db); schemaErr != kErrorSuccess) return schemaErr;
    db->schemas_.emplace_back(part);
  }
  *out = db;
  return kErrorSuccess;
}

void StateDatabase::CloseForTesting() {
  std::lock_guard lock(g_openMutex);
  g_database.reset();
}

StateDatabase::~StateDatabase() {
  // Also run when the process exits: the locks order the closing after the last use by another
  // thread, which may have ended without being joined.
  std::scoped_lock lock(mutex_, statementsMutex_);
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  sqlite3_close(db_);
}

sqlite3_stmt* StateDatabase::TakeStatement(std::string_view sql) {
  {
    std::lock_guard lock(statementsMutex_);
    for (auto it = statements_.begin(); it != statements_.end(); ++it) {
      if (it->first == sql) {
        sqlite3_stmt* stmt = it->second;
        statements_.erase(it);
        return stmt;
      }
    }
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  return stmt;
}

void StateDatabase::ReturnStatement(std::string_view sql, sqlite3_stmt* stmt) {
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  {
    std::lock_guard lock(statementsMutex_);
    const bool kept = std::any_of(statements_.begin(), statements_.end(),
                                  [&](const auto& entry) { return entry.first == sql; });
    if (!kept) {
      statements_.emplace_back(std::string(sql), stmt);
      return;
    }
  }
  sqlite3_finalize(stmt);
}

void StateDatabase::FailNthCallForTesting(int64_t n, int sqliteCode) {
  g_failCode.store(sqliteCode);
  g_failAt.store(n);
  g_calls.store(0);
}

int64_t StateDatabase::CallsForTesting() {
  return g_calls.load();
}

SysError StateDatabase::Exec(std::string_view sql) {
  std::lock_guard lock(mutex_);
  if (const int fault = InjectedFault(db_); fault != SQLITE_OK) return MapError(fault);
  const std::string text(sql);
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? kErrorSuccess : MapError(sqlite3_extended_errcode(db_));
}

SysError StateDatabase::Transaction(const std::function<SysError()>& body) {
  std::lock_guard lock(mutex_);
  if (depth_ > 0) {
    ++depth_;
    const SysError err = body();
    --depth_;
    return err;
  }
  if (SysError err = Exec("BEGIN IMMEDIATE"); err != kErrorSuccess) return err;
  depth_ = 1;
  SysError err = body();
  depth_ = 0;
  if (err == kErrorSuccess) {
    err = Exec("COMMIT");
    if (err == kErrorSuccess) return kErrorSuccess;
  }
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return err;
}

SysError StateDatabase::MapError(int sqliteCode) {
  switch (sqliteCode & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
      return kErrorSuccess;
    case SQLITE_FULL:
      return kErrorDiskFull;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return kErrorAccessDenied;
    case SQLITE_CANTOPEN:
      return kErrorPathNotFound;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kErrorLockViolation;
    case SQLITE_NOMEM:
      return kErrorNotEnoughMemory;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return kErrorRegistryCorrupt;
    case SQLITE_IOERR:
      return kErrorRegistryIoFailed;
    default:
      return kErrorRegistryIoFailed;
  }
}

}  // namespace zyq::platform::posix
