// The store's handle tables, error texts, and the database and info operations.
#include "notesemu/notes_store.h"

#include <cstring>
#include <filesystem>

#include "notesemu/data_paths.h"
#include "notesemu/db_info.h"
#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"
#include "platform/faults.h"

namespace notesemu {

NotesStore::NotesStore() = default;
NotesStore::~NotesStore() = default;

StoreFile& NotesStore::Database(vp::DbHandle db) {
  auto it = dbs_.find(db);
  if (it == dbs_.end()) Fail(kErrInvalidHandle);
  return *it->second;
}

uint16_t NotesStore::ErrorText(vp::NotesStatus status, char* buffer, uint16_t size) {
  if (!buffer || size == 0) return 0;
  const char* text = vp::FaultHit("notes.ErrorText") ? "" : StatusText(status);
  size_t n = std::min<size_t>(std::strlen(text), size - 1u);
  std::memcpy(buffer, text, n);
  buffer[n] = 0;
  return static_cast<uint16_t>(n);
}

vp::NotesStatus NotesStore::BuildNetPath(const char* port, const char* server, const char* file,
                                         char* path) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!path) return kErrInvalidArgument;
    path[0] = 0;
    FaultPoint("BuildNetPath", kErrIo);
    if (!file || (port && *port)) return kErrInvalidArgument;
    std::string joined = server && *server ? std::string(server) + "!!" + file : file;
    if (joined.size() > vp::kNotesPathSize - 1) return kErrPathTooLong;
    std::memcpy(path, joined.c_str(), joined.size() + 1);
    return 0;
  });
}

vp::NotesStatus NotesStore::OpenDatabase(const char* path, vp::DbHandle* db) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!path || !db) return kErrInvalidArgument;
    *db = 0;
    FaultPoint("OpenDatabase", kErrIo);
    auto file = std::make_unique<StoreFile>(FileForNetPath(path));
    *db = NewHandle();
    dbs_[*db] = std::move(file);
    return 0;
  });
}

vp::NotesStatus NotesStore::CloseDatabase(vp::DbHandle db) {
  return Guarded([&]() -> vp::NotesStatus {
    Database(db);
    dbs_.erase(db);  // closing always releases the handle, even when the fault below hits
    FaultPoint("CloseDatabase", kErrIo);
    return 0;
  });
}

vp::NotesStatus NotesStore::CreateDatabaseCopy(const char* sourcePath, const char* newPath,
                                               uint16_t noteClassMask, uint32_t limit,
                                               uint32_t flags, vp::DbHandle* newDb) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!sourcePath || !newPath || !newDb || limit || flags) return kErrInvalidArgument;
    *newDb = 0;
    FaultPoint("CreateDatabaseCopy", kErrIo);
    StoreFile source(FileForNetPath(sourcePath));
    std::string target = FileForNetPath(newPath);
    StoreFile::Create(target, source.Info(), [&](StoreFile& copy) {
      Savepoint sp(copy.Db());
      for (const auto& [id, cls] : source.ListNotes(noteClassMask)) {
        NoteRecord note;
        if (source.ReadNote(id, &note)) copy.WriteNote(note);
      }
      sp.Commit();
    });
    auto file = std::make_unique<StoreFile>(target);
    *newDb = NewHandle();
    dbs_[*newDb] = std::move(file);
    return 0;
  });
}

vp::NotesStatus NotesStore::CreateDatabase(const std::string& path, const std::string& info) {
  return Guarded([&]() -> vp::NotesStatus {
    if (info.size() > vp::kDbInfoSize - 1) return kErrInfoFull;
    FaultPoint("CreateDatabase", kErrIo);
    StoreFile::Create(path, info, [&](StoreFile& file) {
      NoteRecord icon;
      icon.noteClass = vp::kNoteClassIcon;
      icon.items.push_back(Item{"$TITLE", vp::kTypeText, vp::kItemSummary, TextValue(info), 0});
      file.WriteNote(icon);
    });
    return 0;
  });
}

vp::NotesStatus NotesStore::GetDatabaseInfo(vp::DbHandle db, char* info) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!info) return kErrInvalidArgument;
    StoreFile& file = Database(db);
    FaultPoint("GetDatabaseInfo", kErrIo);
    std::string text = file.Info().substr(0, vp::kDbInfoSize - 1);
    std::memset(info, 0, vp::kDbInfoSize);
    std::memcpy(info, text.data(), text.size());
    return 0;
  });
}

vp::NotesStatus NotesStore::SetDatabaseInfo(vp::DbHandle db, const char* info) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!info) return kErrInvalidArgument;
    StoreFile& file = Database(db);
    FaultPoint("SetDatabaseInfo", kErrIo);
    file.SetInfo(std::string(info, strnlen(info, vp::kDbInfoSize - 1)));
    return 0;
  });
}

vp::NotesStatus NotesStore::ParseDatabaseInfo(const char* info, uint16_t field, char* buffer,
                                              uint16_t size) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!info || !buffer || size == 0) return kErrInvalidArgument;
    buffer[0] = 0;
    FaultPoint("ParseDatabaseInfo", kErrNoMemory);
    std::string value = InfoField(std::string(info, strnlen(info, vp::kDbInfoSize - 1)), field);
    size_t n = std::min<size_t>(value.size(), size - 1u);
    std::memcpy(buffer, value.data(), n);
    buffer[n] = 0;
    return 0;
  });
}

vp::NotesStatus NotesStore::ModifyDatabaseInfo(char* info, uint16_t field, const char* value) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!info || !value) return kErrInvalidArgument;
    FaultPoint("ModifyDatabaseInfo", kErrNoMemory);
    std::string text(info, strnlen(info, vp::kDbInfoSize - 1));
    vp::NotesStatus status = SetInfoField(&text, field, value);
    if (status) return status;
    std::memset(info, 0, vp::kDbInfoSize);
    std::memcpy(info, text.data(), text.size());
    return 0;
  });
}

vp::NotesStatus NotesStore::ListNotes(vp::DbHandle db, uint16_t mask,
                                      std::vector<std::pair<vp::NoteId, uint16_t>>* notes) {
  return Guarded([&]() -> vp::NotesStatus {
    *notes = Database(db).ListNotes(mask);
    return 0;
  });
}

vp::NotesStatus NotesStore::BeginBatch(vp::DbHandle db) {
  return Guarded([&]() -> vp::NotesStatus {
    Database(db).Db().Exec("BEGIN IMMEDIATE");
    return 0;
  });
}

vp::NotesStatus NotesStore::EndBatch(vp::DbHandle db, bool commit) {
  return Guarded([&]() -> vp::NotesStatus {
    Database(db).Db().Exec(commit ? "COMMIT" : "ROLLBACK");
    return 0;
  });
}

}  // namespace notesemu
