// SQLite connections, statements and savepoints for the store, with error mapping.
#include "notesemu/sqlite_db.h"

#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "notesemu/status_codes.h"
#include "platform/faults.h"

namespace notesemu {
namespace {

uint64_t g_queries = 0;

vp::NotesStatus MapError(int code) {
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kErrBusy;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return kErrNotDatabase;
    case SQLITE_NOMEM:
      return kErrNoMemory;
    case SQLITE_CANTOPEN:
      return kErrFileNotFound;
    default:
      return kErrIo;
  }
}

}  // namespace

void Fail(vp::NotesStatus status) {
  throw StoreFailure{status};
}

void FaultPoint(const char* site, vp::NotesStatus status) {
  std::string name = std::string("notes.") + site;
  if (vp::FaultHit(name.c_str())) Fail(status);
}

uint64_t QueryCount() {
  return g_queries;
}

Connection::Connection(const std::string& path, bool create) {
  std::error_code ec;
  if (!create && !std::filesystem::is_regular_file(path, ec)) Fail(kErrFileNotFound);
  int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    Fail(MapError(rc));
  }
  sqlite3_busy_timeout(db_, 5000);
  sqlite3_extended_result_codes(db_, 0);
}

Connection::~Connection() {
  sqlite3_close(db_);
}

void Connection::Exec(const char* sql) {
  ++g_queries;
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) Fail(MapError(rc));
}

int64_t Connection::DataVersion() {
  Statement st(*this, "PRAGMA data_version");
  return st.Step() ? st.Int(0) : 0;
}

Statement::Statement(Connection& connection, const char* sql) : db_(connection.Raw()) {
  int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr);
  if (rc != SQLITE_OK) Fail(MapError(rc));
}

Statement::~Statement() {
  sqlite3_finalize(stmt_);
}

Statement& Statement::Bind(int index, int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::BindBlob(int index, const void* data, size_t size) {
  static const char kEmpty = 0;
  sqlite3_bind_blob(stmt_, index, size ? data : &kEmpty, static_cast<int>(size), SQLITE_TRANSIENT);
  return *this;
}

bool Statement::Step() {
  if (!started_) {
    ++g_queries;
    started_ = true;
  }
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(MapError(rc));
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  started_ = false;
}

int64_t Statement::Int(int column) {
  return sqlite3_column_int64(stmt_, column);
}

std::string Statement::Text(int column) {
  const unsigned char* p = sqlite3_column_text(stmt_, column);
  int n = sqlite3_column_bytes(stmt_, column);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
}

std::vector<uint8_t> Statement::Blob(int column) {
  const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  int n = sqlite3_column_bytes(stmt_, column);
  return p ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>();
}

bool Statement::IsNull(int column) {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

Savepoint::Savepoint(Connection& connection) : connection_(connection) {
  connection_.Exec("SAVEPOINT vp_write");
}

Savepoint::~Savepoint() {
  if (done_) return;
  // Undo everything since the savepoint; the release then ends it (and any transaction it began).
  sqlite3_exec(connection_.Raw(), "ROLLBACK TO vp_write; RELEASE vp_write", nullptr, nullptr,
               nullptr);
}

void Savepoint::Commit() {
  connection_.Exec("RELEASE vp_write");
  done_ = true;
}

}  // namespace notesemu
