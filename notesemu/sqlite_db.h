// A thin SQLite layer for the store: connections, statements, savepoints, and the query count.
//
// Failures are thrown as StoreFailure carrying the Notes status that describes them; the store's
// API methods catch them at their boundary, so nothing escapes to callers of the Notes API.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notes_api.h"

struct sqlite3;
struct sqlite3_stmt;

namespace notesemu {

struct StoreFailure {
  vp::NotesStatus status;
};
[[noreturn]] void Fail(vp::NotesStatus status);
// Throws the status for `site` when a fault is configured there ("notes." + site).
void FaultPoint(const char* site, vp::NotesStatus status);

// Statements run against every store file of this process since it started.
uint64_t QueryCount();

class Connection {
 public:
  // Opens an existing file read-write, or creates a new one. Throws kErrFileNotFound,
  // kErrNotDatabase or kErrIo.
  Connection(const std::string& path, bool create);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Exec(const char* sql);
  // Changes whenever another connection committed to the file.
  int64_t DataVersion();
  sqlite3* Raw() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement(Connection& connection, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, std::string_view text);
  Statement& BindBlob(int index, const void* data, size_t size);
  // True while a row is available; false when done. Throws on errors.
  bool Step();
  void Reset();

  int64_t Int(int column);
  std::string Text(int column);
  std::vector<uint8_t> Blob(int column);
  bool IsNull(int column);

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  bool started_ = false;
};

// A savepoint that rolls back unless committed; nests inside an outer transaction.
class Savepoint {
 public:
  explicit Savepoint(Connection& connection);
  ~Savepoint();
  void Commit();

 private:
  Connection& connection_;
  bool done_ = false;
};

}  // namespace notesemu
