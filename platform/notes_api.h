// Notes API port: the Notes database operations the system calls, as one replaceable interface.
//
// Shapes follow the Notes C API so the system's code reads like the algorithms it implements:
// handles are small integers (0 is "no handle"), notes are named by 32-bit note ids, items are
// reached through item and value blocks, and every operation returns a 16-bit status, 0 for
// success. The text of any non-zero status comes from ErrorText. The POSIX build is served by the
// embedded store in notesemu/; tests and hosts may install another implementation with SetNotes.
//
// Ownership: handles returned by an operation belong to the caller until closed or freed by the
// named operation (ResolveEnteredNames takes over the typed list's handle, whatever it returns).
// Pointers obtained from Lock, LockBlock or ListGetText stay valid only while their handle is
// locked (memory) or their note stays open and the item is not deleted (blocks).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace vp {

using NotesStatus = uint16_t;
using DbHandle = uint32_t;
using NoteHandle = uint32_t;
using MemHandle = uint32_t;
using NoteId = uint32_t;

constexpr NotesStatus kNotesOk = 0;
// The status of ItemInfo/ItemInfoNext (and DeleteItem) when no (further) item of the name exists.
constexpr NotesStatus kNotesItemNotFound = 0x0222;
// Only the low 14 bits of a status select its text; the upper two are flags.
constexpr NotesStatus kNotesStatusMask = 0x3FFF;

// Opens the database's icon note, whatever its real id.
constexpr NoteId kIconNoteId = 0xFFFF0010;

// Note classes, used alone or as masks.
enum : uint16_t {
  kNoteClassDocument = 0x0001,
  kNoteClassInfo = 0x0002,
  kNoteClassForm = 0x0004,  // forms and subforms
  kNoteClassView = 0x0008,
  kNoteClassIcon = 0x0010,
  kNoteClassDesign = 0x0020,
  kNoteClassAcl = 0x0040,
  kNoteClassHelpIndex = 0x0080,
  kNoteClassHelp = 0x0100,
  kNoteClassFilter = 0x0200,
  kNoteClassField = 0x0400,
  kNoteClassReplFormula = 0x0800,
  kNoteClassPrivate = 0x1000,
  kNoteClassAll = 0x7FFF,
};

// Item value types (the 16-bit word in front of every value).
enum : uint16_t {
  kTypeComposite = 0x0001,  // rich text: a sequence of records
  kTypeNumber = 0x0300,
  kTypeText = 0x0500,
  kTypeTextList = 0x0501,
};

// Item flags.
enum : uint16_t {
  kItemSign = 0x0001,
  kItemSeal = 0x0002,
  kItemSummary = 0x0004,
  kItemReadWriters = 0x0020,
  kItemNames = 0x0040,
  kItemReaders = 0x0400,
};

// Fields of the database info text.
enum : uint16_t {
  kInfoTitle = 0,
  kInfoCategories = 1,
  kInfoTemplateName = 2,
  kInfoInheritsFrom = 3,
};
constexpr int kDbInfoSize = 128;     // the info text, zero included
constexpr int kNotesPathSize = 256;  // network paths, zero included

// The flags byte passed to a search callback: bit 0 set when the note matches the formula.
constexpr uint8_t kSearchMatch = 0x01;

// Structure types of WriteStructure / StructureSize.
constexpr uint16_t kCdHotspotBeginType = 230;

// A place inside an open note: an item (block) or an item's value (type word, then the data).
struct BlockId {
  uint32_t pool = 0;   // the note handle
  uint32_t block = 0;  // 0 is "no block"
};

struct SearchMatch {
  NoteId id = 0;
  uint16_t noteClass = 0;
  uint8_t flags = 0;  // kSearchMatch
};
// Called once per note of the searched classes; a non-zero return ends the search with it.
using SearchCallback = NotesStatus (*)(void* context, const SearchMatch& match);

// Called once per rich-text record: its bytes (header included), its signature (a one-byte
// signature is reported in the low byte with a zero high byte; word signatures as they are, e.g.
// 0xFF82), its whole length. A non-zero return ends the enumeration with it.
using RecordCallback = NotesStatus (*)(const uint8_t* record, uint16_t signature, uint32_t length,
                                       void* context);

// The hotspot-begin record (structure type 230), in host form; WriteStructure writes it in
// canonical (little-endian) byte order.
struct CdHotspotBegin {
  uint16_t signature = 0;  // 0xFFAD
  uint16_t length = 0;     // the whole record, name data included
  uint16_t type = 0;       // 14: subform
  uint32_t flags = 0;
  uint16_t dataLength = 0;
};

// Where a formula failed to compile (offsets in bytes from the formula's start).
struct FormulaError {
  NotesStatus status = 0;
  uint16_t line = 0, column = 0, offset = 0, length = 0;
};

// The design refresh entry of the Notes API library: server name, database, flags, and two
// callbacks the system passes empty.
using DesignRefreshEntry = std::function<NotesStatus(
    const char* server, DbHandle db, uint32_t flags, void* abortCheck, void* messageProc)>;

class NotesApi {
 public:
  virtual ~NotesApi() = default;

  // --- Errors -------------------------------------------------------------------------------
  // Writes the text of `status` (masked with kNotesStatusMask) into `buffer`, cut to size-1
  // bytes and terminated; returns its length. Never fails: unknown codes get a generic text.
  virtual uint16_t ErrorText(NotesStatus status, char* buffer, uint16_t size) = 0;

  // --- Databases ----------------------------------------------------------------------------
  // Joins a server and a file name into a network path of at most kNotesPathSize-1 bytes
  // ("" server: the local file name). Too long: an error and an empty path.
  virtual NotesStatus BuildNetPath(const char* port, const char* server, const char* file,
                                   char* path) = 0;
  virtual NotesStatus OpenDatabase(const char* path, DbHandle* db) = 0;
  virtual NotesStatus CloseDatabase(DbHandle db) = 0;
  // Creates `newPath` (which must not exist) holding the notes of `noteClassMask` and the info of
  // `sourcePath`, and opens it. `limit` and `flags` must be 0. All or nothing.
  virtual NotesStatus CreateDatabaseCopy(const char* sourcePath, const char* newPath,
                                         uint16_t noteClassMask, uint32_t limit, uint32_t flags,
                                         DbHandle* newDb) = 0;
  // The 128-byte info text (kDbInfoSize bytes, zero-terminated).
  virtual NotesStatus GetDatabaseInfo(DbHandle db, char* info) = 0;
  virtual NotesStatus SetDatabaseInfo(DbHandle db, const char* info) = 0;
  // Copies field `field` of an info text into `buffer` (cut to size-1, terminated); a missing
  // field is empty.
  virtual NotesStatus ParseDatabaseInfo(const char* info, uint16_t field, char* buffer,
                                        uint16_t size) = 0;
  // Replaces field `field` of the info text in place; refuses a result over kDbInfoSize-1 bytes
  // (the info text is then unchanged).
  virtual NotesStatus ModifyDatabaseInfo(char* info, uint16_t field, const char* value) = 0;

  // --- Notes --------------------------------------------------------------------------------
  // Loads a note with its items (flags must be 0); kIconNoteId opens the icon note.
  virtual NotesStatus OpenNote(DbHandle db, NoteId id, uint16_t flags, NoteHandle* note) = 0;
  virtual NotesStatus CloseNote(NoteHandle note) = 0;
  // Saves the note and all its items in one transaction (flags 0); a new note gets its id.
  virtual NotesStatus UpdateNote(NoteHandle note, uint16_t flags) = 0;
  // The design note whose title (or one of its "|"-separated aliases) is `name`, ignoring case,
  // among the classes of `classMask`.
  virtual NotesStatus FindDesignNote(DbHandle db, const char* name, uint16_t classMask,
                                     NoteId* id) = 0;
  // Saves a copy of note `id` of `source` as a new note of `target`.
  virtual NotesStatus CopyNoteToDatabase(DbHandle source, NoteId id, DbHandle target) = 0;
  // An unsaved in-memory copy of an open note (saving it would make a new note).
  virtual NotesStatus CopyNote(NoteHandle note, NoteHandle* copy) = 0;

  // --- Items --------------------------------------------------------------------------------
  // The first item named `name` (ignoring case): its block, value type, value block and value
  // length (type word included). Every output may be null (a presence test).
  // kNotesItemNotFound when there is none.
  virtual NotesStatus ItemInfo(NoteHandle note, const char* name, BlockId* item, uint16_t* type,
                               BlockId* value, uint32_t* valueLength) = 0;
  // As ItemInfo, for the next item of that name after the item block `after`.
  virtual NotesStatus ItemInfoNext(NoteHandle note, BlockId after, const char* name, BlockId* item,
                                   uint16_t* type, BlockId* value, uint32_t* valueLength) = 0;
  // The bytes of a value block (type word first). Item blocks cannot be locked.
  virtual NotesStatus LockBlock(BlockId block, const uint8_t** data) = 0;
  // Deletes every item named `name`; kNotesItemNotFound when there was none.
  virtual NotesStatus DeleteItem(NoteHandle note, const char* name) = 0;
  // Appends an item (value without its type word; at most 65533 bytes).
  virtual NotesStatus AppendItem(NoteHandle note, uint16_t flags, const char* name, uint16_t type,
                                 const void* value, uint32_t length) = 0;
  // Replaces every item `name` with one text item; length 0xFFFF: `text` is zero-terminated.
  virtual NotesStatus SetTextItem(NoteHandle note, const char* name, const char* text,
                                  uint16_t length) = 0;
  // Entries of a text or text-list item (a text item counts as one entry; no item: 0).
  virtual NotesStatus ItemTextListCount(NoteHandle note, const char* name, uint16_t* count) = 0;
  // Copies entry `index` into `buffer`, terminated, and sets `length` to the bytes copied.
  // An entry longer than size-1 is cut and the status is kNotesTextCut (see below).
  virtual NotesStatus ItemTextListEntry(NoteHandle note, const char* name, uint16_t index,
                                        char* buffer, uint16_t size, uint16_t* length) = 0;

  // --- Formulas and search ------------------------------------------------------------------
  // Compiles a selection formula into a memory handle (free it with Free). `name` may be null;
  // `formulaLength` and `error` may be null.
  virtual NotesStatus CompileFormula(const char* name, uint16_t nameLength, const char* text,
                                     uint16_t textLength, MemHandle* formula,
                                     uint16_t* formulaLength, FormulaError* error) = 0;
  // Calls `callback` for every note of `noteClassMask` (flags must be 0), in note-id order, with
  // kSearchMatch set where the formula selects the note.
  virtual NotesStatus Search(DbHandle db, MemHandle formula, uint16_t flags, uint16_t noteClassMask,
                             SearchCallback callback, void* context) = 0;

  // --- Names --------------------------------------------------------------------------------
  // "CN=Bob Example/OU=Sales/O=Acme" -> "Bob Example/Sales/Acme"; other names unchanged.
  // `flags` 0, `templateName` null. `length` may be null.
  virtual NotesStatus AbbreviateName(uint32_t flags, const char* templateName, const char* name,
                                     char* buffer, uint16_t size, uint16_t* length) = 0;
  // Looks every entry of the typed text list up in the local directory (see the implementation)
  // and returns a new list of the results in `resolved` (unlocked). Takes over `typed` in every
  // case. `resolvedSize` may be null; `spare` stays the caller's.
  virtual NotesStatus ResolveEnteredNames(MemHandle typed, uint16_t typedSize, MemHandle* resolved,
                                          uint16_t* resolvedSize, uint16_t flags,
                                          MemHandle spare) = 0;

  // --- Text lists (in memory handles) -------------------------------------------------------
  // A new list with `entries` empty entries (the system uses 0 and 0), returned locked.
  // `prefixed`: the list starts with its type word, as item values do.
  virtual NotesStatus ListAllocate(uint16_t entries, uint16_t textSize, bool prefixed,
                                   MemHandle* handle, void** list, uint16_t* size) = 0;
  // `list` must be the locked data of a list handle.
  virtual NotesStatus ListEntryCount(const void* list, bool prefixed, uint16_t* count) = 0;
  // Inserts an entry at `index` (<= count). The handle must be unlocked (the list may move);
  // `size` is updated. A list is limited to 65535 bytes.
  virtual NotesStatus ListAddEntry(MemHandle handle, bool prefixed, uint16_t* size, uint16_t index,
                                   const char* text, uint16_t length) = 0;
  // Entry `index` of a locked list: a pointer into the list (not terminated) and its length.
  virtual NotesStatus ListGetText(const void* list, bool prefixed, uint16_t index,
                                  const char** text, uint16_t* length) = 0;

  // --- Memory handles -----------------------------------------------------------------------
  // Locks nest; Free works locked or not.
  virtual NotesStatus Lock(MemHandle handle, void** data) = 0;
  virtual NotesStatus Unlock(MemHandle handle) = 0;
  virtual NotesStatus Free(MemHandle handle) = 0;

  // --- Rich text ----------------------------------------------------------------------------
  // Walks the records of a rich-text value (as ItemInfo gives it: type word included). Records
  // are padded to even lengths. A damaged record ends the walk with an error.
  virtual NotesStatus EnumerateRecords(BlockId value, uint32_t valueLength, RecordCallback callback,
                                       void* context) = 0;
  // The canonical size of structure `type`.
  virtual NotesStatus StructureSize(uint16_t type, uint16_t* size) = 0;
  // Writes `count` structures of `type` from host form at *position in canonical byte order and
  // advances *position; refuses to write past `end`.
  virtual NotesStatus WriteStructure(uint8_t** position, const uint8_t* end, uint16_t type,
                                     const void* structure, uint16_t count) = 0;

  // --- Entries bound at run time ------------------------------------------------------------
  // Loads the Notes API library by name (the system asks for "NNOTES.DLL").
  virtual NotesStatus LoadApiLibrary(const char* libraryName) = 0;
  // Looks up "DesignRefresh" in the loaded library; an empty `entry` and an error when missing.
  // Through the entry, the database inheriting a template's design takes it over.
  virtual NotesStatus FindDesignRefresh(const char* entryName, DesignRefreshEntry* entry) = 0;
};

// A text-list entry did not fit the caller's buffer (it was cut).
constexpr NotesStatus kNotesTextCut = 0x0125;

// The process's Notes API: the embedded store unless a host or test installed another one.
NotesApi& Notes();
// Installs `api` (owned); null returns to the embedded store.
void SetNotes(std::unique_ptr<NotesApi> api);
// The platform's default Notes API: the embedded store (notesemu/) on POSIX, the Notes client's
// nnotes.dll on Windows.
std::unique_ptr<NotesApi> MakePlatformNotesApi();

}  // namespace vp
