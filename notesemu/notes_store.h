// The embedded Notes store: the Notes API served from SQLite database files.
//
// Handles are per process and per store object; one handle counter serves databases, notes and
// memory, so a handle of the wrong kind is refused (kErrInvalidHandle) rather than misread.
// Every operation can be made to fail by fault injection at the site "notes.<Operation>"
// (storage operations then fail with kErrIo, memory operations with kErrNoMemory); inside a note
// update, "notes.write-item" fails while items are being written, which rolls the update back.
#pragma once
#include <map>
#include <memory>
#include <string>

#include "notesemu/formula.h"
#include "notesemu/status_codes.h"
#include "notesemu/store_file.h"
#include "platform/notes_api.h"

namespace notesemu {

class NotesStore : public vp::NotesApi {
 public:
  NotesStore();
  ~NotesStore() override;

  uint16_t ErrorText(vp::NotesStatus status, char* buffer, uint16_t size) override;

  vp::NotesStatus BuildNetPath(const char* port, const char* server, const char* file,
                               char* path) override;
  vp::NotesStatus OpenDatabase(const char* path, vp::DbHandle* db) override;
  vp::NotesStatus CloseDatabase(vp::DbHandle db) override;
  vp::NotesStatus CreateDatabaseCopy(const char* sourcePath, const char* newPath,
                                     uint16_t noteClassMask, uint32_t limit, uint32_t flags,
                                     vp::DbHandle* newDb) override;
  vp::NotesStatus GetDatabaseInfo(vp::DbHandle db, char* info) override;
  vp::NotesStatus SetDatabaseInfo(vp::DbHandle db, const char* info) override;
  vp::NotesStatus ParseDatabaseInfo(const char* info, uint16_t field, char* buffer,
                                    uint16_t size) override;
  vp::NotesStatus ModifyDatabaseInfo(char* info, uint16_t field, const char* value) override;

  vp::NotesStatus OpenNote(vp::DbHandle db, vp::NoteId id, uint16_t flags,
                           vp::NoteHandle* note) override;
  vp::NotesStatus CloseNote(vp::NoteHandle note) override;
  vp::NotesStatus UpdateNote(vp::NoteHandle note, uint16_t flags) override;
  vp::NotesStatus FindDesignNote(vp::DbHandle db, const char* name, uint16_t classMask,
                                 vp::NoteId* id) override;
  vp::NotesStatus CopyNoteToDatabase(vp::DbHandle source, vp::NoteId id,
                                     vp::DbHandle target) override;
  vp::NotesStatus CopyNote(vp::NoteHandle note, vp::NoteHandle* copy) override;

  vp::NotesStatus ItemInfo(vp::NoteHandle note, const char* name, vp::BlockId* item, uint16_t* type,
                           vp::BlockId* value, uint32_t* valueLength) override;
  vp::NotesStatus ItemInfoNext(vp::NoteHandle note, vp::BlockId after, const char* name,
                               vp::BlockId* item, uint16_t* type, vp::BlockId* value,
                               uint32_t* valueLength) override;
  vp::NotesStatus LockBlock(vp::BlockId block, const uint8_t** data) override;
  vp::NotesStatus DeleteItem(vp::NoteHandle note, const char* name) override;
  vp::NotesStatus AppendItem(vp::NoteHandle note, uint16_t flags, const char* name, uint16_t type,
                             const void* value, uint32_t length) override;
  vp::NotesStatus SetTextItem(vp::NoteHandle note, const char* name, const char* text,
                              uint16_t length) override;
  vp::NotesStatus ItemTextListCount(vp::NoteHandle note, const char* name,
                                    uint16_t* count) override;
  vp::NotesStatus ItemTextListEntry(vp::NoteHandle note, const char* name, uint16_t index,
                                    char* buffer, uint16_t size, uint16_t* length) override;

  vp::NotesStatus CompileFormula(const char* name, uint16_t nameLength, const char* text,
                                 uint16_t textLength, vp::MemHandle* formula,
                                 uint16_t* formulaLength, vp::FormulaError* error) override;
  vp::NotesStatus Search(vp::DbHandle db, vp::MemHandle formula, uint16_t flags,
                         uint16_t noteClassMask, vp::SearchCallback callback,
                         void* context) override;

  vp::NotesStatus AbbreviateName(uint32_t flags, const char* templateName, const char* name,
                                 char* buffer, uint16_t size, uint16_t* length) override;
  // Each typed name is looked up among the Person documents of the local directory (names.nsf
  // in the local folder): any FullName entry (canonical or abbreviated), any ShortName entry or
  // the InternetAddress, ignoring case. A match yields the first FullName entry of the first
  // matching document (by note id); group names and unknown names pass as typed. Without a local
  // directory every name passes as typed.
  vp::NotesStatus ResolveEnteredNames(vp::MemHandle typed, uint16_t typedSize,
                                      vp::MemHandle* resolved, uint16_t* resolvedSize,
                                      uint16_t flags, vp::MemHandle spare) override;

  vp::NotesStatus ListAllocate(uint16_t entries, uint16_t textSize, bool prefixed,
                               vp::MemHandle* handle, void** list, uint16_t* size) override;
  vp::NotesStatus ListEntryCount(const void* list, bool prefixed, uint16_t* count) override;
  vp::NotesStatus ListAddEntry(vp::MemHandle handle, bool prefixed, uint16_t* size, uint16_t index,
                               const char* text, uint16_t length) override;
  vp::NotesStatus ListGetText(const void* list, bool prefixed, uint16_t index, const char** text,
                              uint16_t* length) override;

  vp::NotesStatus Lock(vp::MemHandle handle, void** data) override;
  vp::NotesStatus Unlock(vp::MemHandle handle) override;
  vp::NotesStatus Free(vp::MemHandle handle) override;

  vp::NotesStatus EnumerateRecords(vp::BlockId value, uint32_t valueLength,
                                   vp::RecordCallback callback, void* context) override;
  vp::NotesStatus StructureSize(uint16_t type, uint16_t* size) override;
  vp::NotesStatus WriteStructure(uint8_t** position, const uint8_t* end, uint16_t type,
                                 const void* structure, uint16_t count) override;

  // Loads the stand-in's Notes API library that the name stands for (notesemu/api_library.h);
  // kErrLibraryNotFound when it cannot be loaded.
  vp::NotesStatus LoadApiLibrary(const char* libraryName) override;
  // The entry of that name in the library last loaded, bound to this store's handles;
  // kErrEntryNotFound when none was loaded or it lacks the entry. The library's DesignRefresh is
  // notesemu/design_refresh.h's.
  vp::NotesStatus FindDesignRefresh(const char* entryName, vp::DesignRefreshEntry* entry) override;

  // --- Beyond the port: what the store's own tools need -------------------------------------
  // Creates a new, empty database (with an icon note) at the file `path`; all or nothing.
  vp::NotesStatus CreateDatabase(const std::string& path, const std::string& info);
  // A new, unsaved note of `noteClass` in `db`.
  vp::NotesStatus CreateNote(vp::DbHandle db, uint16_t noteClass, vp::NoteHandle* note);
  // The id and class of every note of `mask` in `db`, in id order.
  vp::NotesStatus ListNotes(vp::DbHandle db, uint16_t mask,
                            std::vector<std::pair<vp::NoteId, uint16_t>>* notes);
  // Groups the following writes to `db` into one transaction until EndBatch (commit or undo).
  vp::NotesStatus BeginBatch(vp::DbHandle db);
  vp::NotesStatus EndBatch(vp::DbHandle db, bool commit);
  // The file of an open database.
  vp::NotesStatus DatabaseFile(vp::DbHandle db, std::string* file);
  // Databases, notes and memory handles not yet closed or freed.
  size_t HandlesInUse() const { return dbs_.size() + notes_.size() + memory_.size(); }

 private:
  struct OpenNoteState {
    vp::DbHandle db = 0;
    NoteRecord note;
    uint32_t nextSerial = 0;
  };
  struct MemBlock {
    std::vector<uint8_t> bytes;
    int locks = 0;
    std::unique_ptr<Formula> formula;
  };

  uint32_t NewHandle() { return nextHandle_++; }
  StoreFile& Database(vp::DbHandle db);
  OpenNoteState& Note(vp::NoteHandle note);
  MemBlock& Memory(vp::MemHandle handle);
  const Item* FindItem(vp::NoteHandle note, const char* name, uint32_t afterSerial);
  MemBlock* LockedList(const void* list);

  std::map<uint32_t, std::unique_ptr<StoreFile>> dbs_;
  std::map<uint32_t, OpenNoteState> notes_;
  std::map<uint32_t, MemBlock> memory_;
  uint32_t nextHandle_ = 1;
  void* apiLibrary_ = nullptr;  // never unloaded
};

// Runs `body` and turns a thrown StoreFailure (or exhausted memory) into its status.
template <typename Body>
vp::NotesStatus Guarded(Body&& body) {
  try {
    return body();
  } catch (const StoreFailure& failure) {
    return failure.status;
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
}

}  // namespace notesemu
