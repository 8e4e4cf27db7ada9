// The per-user persistent state of the platform substitute: one SQLite database in the user's
// state folder, holding the registry hives, the system certificate stores and the key
// containers. Several processes may use it at once (WAL journal, busy timeout); every change
// happens inside a transaction, so a process that dies mid-operation leaves the old state.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemErrors.h"

namespace zyq::platform::posix {

// The state folder: $ZYQSEC_HOME, else $XDG_DATA_HOME/ZYQSecurities, else
// ~/.local/share/ZYQSecurities. Read from the environment at each call.
std::string StateFolderPath();

// Creates the state folder (and its parents) with mode 0700 when missing; returns the error.
SysError EnsureStateFolder();

class StateDatabase;

// RAII owner of a prepared statement.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  // A statement of the process's connection that is prepared once and kept by the connection
  // between uses (for the statements of frequent calls): taken from the connection here, reset
  // and handed back with its bindings cleared at the end. sql must outlive the statement (a
  // literal).
  Statement(StateDatabase& db, std::string_view sql);
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  bool ok() const { return stmt_ != nullptr; }
  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, std::string_view text);
  Statement& BindBlob(int index, const void* data, size_t n);
  Statement& BindNull(int index);
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();
  int64_t ColumnInt(int col) const;
  std::string ColumnText(int col) const;
  std::string ColumnBlob(int col) const;
  bool ColumnIsNull(int col) const;
  sqlite3_stmt* get() { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  StateDatabase* keeper_ = nullptr;  // the connection that keeps it, or null
  std::string_view sql_;
};

class StateDatabase {
 public:
  // The process's database for the current state folder. The connection is reopened when the
  // state folder named by the environment changes (tests point each case at its own folder).
  // Returns null when the folder or the database cannot be opened; *error tells why.
  static StateDatabase* Open(SysError* error = nullptr);

  // Open, then makes sure the tables of one part of the state exist on that connection: `part`
  // names the part ("registry", "keys", "stores"), `schema` holds its CREATE ... IF NOT EXISTS
  // statements, run once per connection. Safe to call from several threads. kErrorSuccess with
  // *out set, or the error of opening or of the schema.
  static SysError OpenWithSchema(std::string_view part, std::string_view schema,
                                 StateDatabase** out);
  // The same with a set-up function instead of a script, for a part whose tables change form
  // (a migration that must look at the existing tables first). Run once per connection under
  // the connection's lock.
  static SysError OpenWithSetup(std::string_view part,
                                const std::function<SysError(StateDatabase&)>& setup,
                                StateDatabase** out);

  // Closes the process's connection; the next Open reconnects.
  static void CloseForTesting();

  // Fault injection for tests. Every statement step (Statement::Step) and every Exec in the
  // process is a call; after this, calls are counted from 0 and call number n (n >= 1) fails
  // before it runs: SQLite itself reports sqliteCode (an extended code such as
  // SQLITE_IOERR_WRITE or SQLITE_FULL) as that statement's result, so the connection's last
  // error is that code and SQLite rolls back an open transaction as it does after an I/O
  // error. n = 0 counts without failing.
  static void FailNthCallForTesting(int64_t n, int sqliteCode);
  // The calls counted since the last FailNthCallForTesting.
  static int64_t CallsForTesting();

  ~StateDatabase();
  StateDatabase(const StateDatabase&) = delete;
  StateDatabase& operator=(const StateDatabase&) = delete;

  sqlite3* handle() { return db_; }
  const std::string& folder() const { return folder_; }

  // Runs body inside BEGIN IMMEDIATE ... COMMIT. The body returns kErrorSuccess to commit;
  // any other value rolls back and is returned. Nested calls join the outer transaction.
  SysError Transaction(const std::function<SysError()>& body);

  // Executes SQL without results (schema statements). Returns the mapped error.
  SysError Exec(std::string_view sql);

  // Maps an SQLite result code to a Windows error code (disk full, access denied, busy...).
  static SysError MapError(int sqliteCode);

  // Serialises users of the connection inside this process.
  std::recursive_mutex& mutex() { return mutex_; }

  // Takes ownership of an open connection; use Open to get the process's database.
  StateDatabase(std::string folder, sqlite3* db) : folder_(std::move(folder)), db_(db) {}

 private:
  friend class Statement;
  // A kept statement for sql (prepared now when none is free), or null when it does not
  // prepare; Return hands it back (finalized when another of the same text is kept already).
  sqlite3_stmt* TakeStatement(std::string_view sql);
  void ReturnStatement(std::string_view sql, sqlite3_stmt* stmt);

  std::string folder_;
  sqlite3* db_;
  int depth_ = 0;
  // Kept statements not in use, by their SQL text (guarded by statementsMutex_, not mutex_: a
  // statement may be taken and given back by any thread that holds the connection).
  std::vector<std::pair<std::string, sqlite3_stmt*>> statements_;
  std::mutex statementsMutex_;
  // The parts whose schema this connection has run (guarded by mutex_).
  std::vector<std::string> schemas_;
  std::recursive_mutex mutex_;
};

}  // namespace zyq::platform::posix
