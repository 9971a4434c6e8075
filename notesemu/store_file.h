// One Notes database file: its info text, its notes with their items in order, and cached
// read-only projections of note fields for searches.
//
// Every write runs in a savepoint (all or nothing). Failures are thrown as StoreFailure.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "notesemu/sqlite_db.h"
#include "platform/notes_api.h"

namespace notesemu {

struct Item {
  std::string name;
  uint16_t type = 0;
  uint16_t flags = 0;
  std::vector<uint8_t> value;  // type word (little-endian), then the data
  uint32_t serial = 0;         // position key inside an open note, never reused there
};

struct NoteRecord {
  vp::NoteId id = 0;  // 0: not saved yet
  uint16_t noteClass = 0;
  uint16_t flags = 0;
  std::vector<Item> items;
};

// The texts of chosen fields for every note of some classes (first item of each name).
struct NoteFields {
  vp::NoteId id = 0;
  uint16_t noteClass = 0;
  std::vector<std::vector<std::string>> texts;
  std::vector<const std::vector<std::string>*> values;  // into texts; null: no such item
};
using FieldSnapshot = std::vector<NoteFields>;

class StoreFile {
 public:
  // Creates a new database file at `path` through a temporary file renamed into place, so the
  // path either does not exist or holds the complete database. `fill` adds the content.
  // kErrFileExists when the path exists.
  static void Create(const std::string& path, const std::string& info,
                     const std::function<void(StoreFile&)>& fill);

  // Opens an existing database file; kErrFileNotFound, kErrNotDatabase.
  explicit StoreFile(const std::string& path);

  const std::string& Path() const { return path_; }
  Connection& Db() { return *db_; }

  std::string Info();
  void SetInfo(const std::string& info);

  // False when there is no such note.
  bool ReadNote(vp::NoteId id, NoteRecord* note);
  // The lowest note id of a class, 0 when none.
  vp::NoteId FirstNoteOfClass(uint16_t noteClass);
  // Saves a note with all its items; a note with id 0 gets a new id, which is returned.
  vp::NoteId WriteNote(const NoteRecord& note);
  void DeleteNote(vp::NoteId id);
  // Note ids and classes of the classes in `mask`, in id order.
  std::vector<std::pair<vp::NoteId, uint16_t>> ListNotes(uint16_t mask);

  // The named (upper-case) fields of every note of `mask`; cached until the file changes.
  std::shared_ptr<const FieldSnapshot> Fields(uint16_t mask,
                                              const std::vector<std::string>& fields);

 private:
  StoreFile(const std::string& path, bool create);
  void CreateSchema(const std::string& info);

  std::string path_;
  std::unique_ptr<Connection> db_;
  uint64_t generation_ = 0;  // bumped by this connection's writes
  struct Cached {
    uint64_t generation;
    int64_t dataVersion;
    std::shared_ptr<const FieldSnapshot> snapshot;
  };
  std::map<std::string, Cached> cache_;
};

}  // namespace notesemu
