// Notes API port on Windows: every operation calls its entry in the Notes client's nnotes.dll,
// found by name when it is first needed. The library therefore loads, and each operation
// fails with a clear message, on a machine without a Notes client.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/notes_api.h"

namespace vp {
namespace {

// Statuses of this port, in a range the Notes API does not hand out for its own errors.
constexpr NotesStatus kNoNotesLibrary = 0x3F01;
constexpr NotesStatus kNoNotesEntry = 0x3F02;

// The Notes API's block id: a pool handle and an offset in it.
struct NotesBlockId {
  DWORD pool;
  WORD block;
};

NotesBlockId ToNotes(BlockId b) {
  return NotesBlockId{b.pool, static_cast<WORD>(b.block)};
}
BlockId FromNotes(NotesBlockId b) {
  return BlockId{b.pool, b.block};
}

// The part of the Notes API's search match record the system reads; the record is copied out
// of the callback's argument, which need not be aligned.
constexpr size_t kMatchNoteIdOffset = 16;
constexpr size_t kMatchClassOffset = 48;
constexpr size_t kMatchFlagsOffset = 50;
constexpr size_t kMatchSize = 52;

struct SearchContext {
  SearchCallback callback;
  void* context;
};

NotesStatus WINAPI SearchThunk(void* param, const void* match, void* summary) {
  (void)summary;
  unsigned char raw[kMatchSize];
  std::memcpy(raw, match, sizeof raw);
  SearchMatch m;
  std::memcpy(&m.id, raw + kMatchNoteIdOffset, sizeof m.id);
  std::memcpy(&m.noteClass, raw + kMatchClassOffset, sizeof m.noteClass);
  m.flags = raw[kMatchFlagsOffset];
  auto* c = static_cast<SearchContext*>(param);
  return c->callback(c->context, m);
}

struct RecordContext {
  RecordCallback callback;
  void* context;
};

NotesStatus WINAPI RecordThunk(char* record, WORD signature, DWORD length, void* param) {
  auto* c = static_cast<RecordContext*>(param);
  return c->callback(reinterpret_cast<const uint8_t*>(record), signature, length, c->context);
}

class NnotesApi : public NotesApi {
 public:
  uint16_t ErrorText(NotesStatus status, char* buffer, uint16_t size) override {
    if (!buffer || size == 0) return 0;
    status &= kNotesStatusMask;
    std::string text;
    if (status == kNoNotesLibrary) {
      text =
          "The Notes client's API library nnotes.dll could not be loaded: no Notes client is "
          "installed, or it is not on the search path.";
    } else if (status == kNoNotesEntry) {
      text = "The Notes client's nnotes.dll has no entry " + missing_ + ".";
    } else if (auto load = Entry<WORD WINAPI(HMODULE, NotesStatus, char*, WORD)>("OSLoadString")) {
      WORD n = load(nullptr, status, buffer, size);
      buffer[n < size ? n : size - 1] = '\0';
      return static_cast<uint16_t>(strlen(buffer));
    } else {
      char code[40];
      std::snprintf(code, sizeof code, "Notes error 0x%04X", status);
      text = code;
    }
    size_t n = text.size() < size ? text.size() : size - 1u;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<uint16_t>(n);
  }

  NotesStatus BuildNetPath(const char* port, const char* server, const char* file,
                           char* path) override {
    return Call<NotesStatus WINAPI(const char*, const char*, const char*, char*)>(
        "OSPathNetConstruct", port, server, file, path);
  }
  NotesStatus OpenDatabase(const char* path, DbHandle* db) override {
    return Call<NotesStatus WINAPI(const char*, DWORD*)>("NSFDbOpen", path, Out(db));
  }
  NotesStatus CloseDatabase(DbHandle db) override {
    return Call<NotesStatus WINAPI(DWORD)>("NSFDbClose", db);
  }
  NotesStatus CreateDatabaseCopy(const char* sourcePath, const char* newPath,
                                 uint16_t noteClassMask, uint32_t limit, uint32_t flags,
                                 DbHandle* newDb) override {
    return Call<NotesStatus WINAPI(const char*, const char*, WORD, WORD, DWORD, DWORD*)>(
        "NSFDbCreateAndCopy", sourcePath, newPath, noteClassMask, static_cast<WORD>(limit), flags,
        Out(newDb));
  }
  NotesStatus GetDatabaseInfo(DbHandle db, char* info) override {
    return Call<NotesStatus WINAPI(DWORD, char*)>("NSFDbInfoGet", db, info);
  }
  NotesStatus SetDatabaseInfo(DbHandle db, const char* info) override {
    return Call<NotesStatus WINAPI(DWORD, const char*)>("NSFDbInfoSet", db, info);
  }
  NotesStatus ParseDatabaseInfo(const char* info, uint16_t field, char* buffer,
                                uint16_t size) override {
    auto parse = Entry<void WINAPI(const char*, WORD, char*, WORD)>("NSFDbInfoParse");
    if (!parse) return Missing();
    parse(info, field, buffer, size);
    return kNotesOk;
  }
  NotesStatus ModifyDatabaseInfo(char* info, uint16_t field, const char* value) override {
    auto modify = Entry<void WINAPI(char*, WORD, const char*)>("NSFDbInfoModify");
    if (!modify) return Missing();
    modify(info, field, value);
    return kNotesOk;
  }

  NotesStatus OpenNote(DbHandle db, NoteId id, uint16_t flags, NoteHandle* note) override {
    return Call<NotesStatus WINAPI(DWORD, DWORD, WORD, DWORD*)>("NSFNoteOpen", db, id, flags,
                                                                Out(note));
  }
  NotesStatus CloseNote(NoteHandle note) override {
    return Call<NotesStatus WINAPI(DWORD)>("NSFNoteClose", note);
  }
  NotesStatus UpdateNote(NoteHandle note, uint16_t flags) override {
    return Call<NotesStatus WINAPI(DWORD, WORD)>("NSFNoteUpdate", note, flags);
  }
  NotesStatus FindDesignNote(DbHandle db, const char* name, uint16_t classMask,
                             NoteId* id) override {
    return Call<NotesStatus WINAPI(DWORD, const char*, WORD, DWORD*)>("NIFFindDesignNote", db, name,
                                                                      classMask, Out(id));
  }
  NotesStatus CopyNoteToDatabase(DbHandle source, NoteId id, DbHandle target) override {
    return Call<NotesStatus WINAPI(DWORD, void*, void*, DWORD, DWORD, void*, void*, DWORD*, WORD*)>(
        "NSFDbCopyNote", source, nullptr, nullptr, id, target, nullptr, nullptr, nullptr, nullptr);
  }
  NotesStatus CopyNote(NoteHandle note, NoteHandle* copy) override {
    return Call<NotesStatus WINAPI(DWORD, DWORD*)>("NSFNoteCopy", note, Out(copy));
  }

  NotesStatus ItemInfo(NoteHandle note, const char* name, BlockId* item, uint16_t* type,
                       BlockId* value, uint32_t* valueLength) override {
    NotesBlockId i{}, v{};
    DWORD length = 0;
    NotesStatus rc = Call<NotesStatus WINAPI(DWORD, const char*, WORD, NotesBlockId*, WORD*,
                                             NotesBlockId*, DWORD*)>(
        "NSFItemInfo", note, name, NameLength(name), item ? &i : nullptr, type,
        value ? &v : nullptr, valueLength ? &length : nullptr);
    if (rc == kNotesOk) Fill(item, i, value, v, valueLength, length);
    return rc;
  }
  NotesStatus ItemInfoNext(NoteHandle note, BlockId after, const char* name, BlockId* item,
                           uint16_t* type, BlockId* value, uint32_t* valueLength) override {
    NotesBlockId i{}, v{};
    DWORD length = 0;
    NotesStatus rc = Call<NotesStatus WINAPI(DWORD, NotesBlockId, const char*, WORD, NotesBlockId*,
                                             WORD*, NotesBlockId*, DWORD*)>(
        "NSFItemInfoNext", note, ToNotes(after), name, NameLength(name), item ? &i : nullptr, type,
        value ? &v : nullptr, valueLength ? &length : nullptr);
    if (rc == kNotesOk) Fill(item, i, value, v, valueLength, length);
    return rc;
  }
  // The pool stays where it is while its note is open; the lock is given back at once, so
  // nothing is left locked when the note closes.
  NotesStatus LockBlock(BlockId block, const uint8_t** data) override {
    auto lock = Entry<void * WINAPI(DWORD)>("OSLockObject");
    auto unlock = Entry<BOOL WINAPI(DWORD)>("OSUnlockObject");
    if (!lock || !unlock) return Missing();
    auto* base = static_cast<const uint8_t*>(lock(block.pool));
    unlock(block.pool);
    *data = base ? base + block.block : nullptr;
    return kNotesOk;
  }
  NotesStatus DeleteItem(NoteHandle note, const char* name) override {
    return Call<NotesStatus WINAPI(DWORD, const char*, WORD)>("NSFItemDelete", note, name,
                                                              NameLength(name));
  }
  NotesStatus AppendItem(NoteHandle note, uint16_t flags, const char* name, uint16_t type,
                         const void* value, uint32_t length) override {
    return Call<NotesStatus WINAPI(DWORD, WORD, const char*, WORD, WORD, const void*, DWORD)>(
        "NSFItemAppend", note, flags, name, NameLength(name), type, value, length);
  }
  NotesStatus SetTextItem(NoteHandle note, const char* name, const char* text,
                          uint16_t length) override {
    return Call<NotesStatus WINAPI(DWORD, const char*, const char*, WORD)>("NSFItemSetText", note,
                                                                           name, text, length);
  }
  NotesStatus ItemTextListCount(NoteHandle note, const char* name, uint16_t* count) override {
    auto entries = Entry<WORD WINAPI(DWORD, const char*)>("NSFItemGetTextListEntries");
    if (!entries) return Missing();
    *count = entries(note, name);
    return kNotesOk;
  }
  NotesStatus ItemTextListEntry(NoteHandle note, const char* name, uint16_t index, char* buffer,
                                uint16_t size, uint16_t* length) override {
    auto entry =
        Entry<WORD WINAPI(DWORD, const char*, WORD, char*, WORD)>("NSFItemGetTextListEntry");
    if (!entry) return Missing();
    if (length) *length = 0;
    if (!buffer || size == 0) return kNotesTextCut;
    // The Notes API cuts an entry to the buffer silently; one byte more than the caller's
    // buffer tells a cut entry (which would name someone else) from one that fits exactly.
    std::string wide(static_cast<size_t>(size) + 1, '\0');
    WORD asked = size < 0xFFFF ? static_cast<WORD>(size + 1) : size;
    WORD n = entry(note, name, index, wide.data(), asked);
    bool cut = n >= size || (asked == size && n + 1u >= size);
    WORD kept = cut ? static_cast<WORD>(size - 1) : n;
    std::memcpy(buffer, wide.data(), kept);
    buffer[kept] = '\0';
    if (length) *length = kept;
    return cut ? kNotesTextCut : kNotesOk;
  }

  NotesStatus CompileFormula(const char* name, uint16_t nameLength, const char* text,
                             uint16_t textLength, MemHandle* formula, uint16_t* formulaLength,
                             FormulaError* error) override {
    FormulaError e;
    WORD length = 0;
    DWORD handle = 0;
    NotesStatus rc = Call<NotesStatus WINAPI(const char*, WORD, const char*, WORD, DWORD*, WORD*,
                                             NotesStatus*, WORD*, WORD*, WORD*, WORD*)>(
        "NSFFormulaCompile", name, nameLength, text, textLength, &handle, &length, &e.status,
        &e.line, &e.column, &e.offset, &e.length);
    if (formula) *formula = handle;
    if (formulaLength) *formulaLength = length;
    if (error) *error = e;
    return rc;
  }
  NotesStatus Search(DbHandle db, MemHandle formula, uint16_t flags, uint16_t noteClassMask,
                     SearchCallback callback, void* context) override {
    SearchContext c{callback, context};
    return Call<NotesStatus WINAPI(DWORD, DWORD, const char*, WORD, WORD, void*,
                                   NotesStatus(WINAPI*)(void*, const void*, void*), void*, void*)>(
        "NSFSearch", db, formula, nullptr, flags, noteClassMask, nullptr, SearchThunk, &c, nullptr);
  }

  NotesStatus AbbreviateName(uint32_t flags, const char* templateName, const char* name,
                             char* buffer, uint16_t size, uint16_t* length) override {
    WORD n = 0;
    NotesStatus rc = Call<NotesStatus WINAPI(DWORD, const char*, const char*, char*, WORD, WORD*)>(
        "DNAbbreviate", flags, templateName, name, buffer, size, &n);
    if (length) *length = n;
    return rc;
  }
  NotesStatus ResolveEnteredNames(MemHandle typed, uint16_t typedSize, MemHandle* resolved,
                                  uint16_t* resolvedSize, uint16_t flags,
                                  MemHandle spare) override {
    WORD size = 0;
    DWORD handle = 0;
    NotesStatus rc = Call<NotesStatus WINAPI(DWORD, WORD, DWORD*, WORD*, WORD, DWORD)>(
        "NAMEResolveEnteredNames", typed, typedSize, &handle, &size, flags, spare);
    if (resolved) *resolved = handle;
    if (resolvedSize) *resolvedSize = size;
    return rc;
  }

  NotesStatus ListAllocate(uint16_t entries, uint16_t textSize, bool prefixed, MemHandle* handle,
                           void** list, uint16_t* size) override {
    DWORD h = 0;
    NotesStatus rc = Call<NotesStatus WINAPI(WORD, WORD, BOOL, DWORD*, void**, WORD*)>(
        "ListAllocate", entries, textSize, prefixed, &h, list, size);
    *handle = h;
    return rc;
  }
  NotesStatus ListEntryCount(const void* list, bool prefixed, uint16_t* count) override {
    auto entries = Entry<WORD WINAPI(const void*, BOOL)>("ListGetNumEntries");
    if (!entries) return Missing();
    *count = entries(list, prefixed);
    return kNotesOk;
  }
  NotesStatus ListAddEntry(MemHandle handle, bool prefixed, uint16_t* size, uint16_t index,
                           const char* text, uint16_t length) override {
    return Call<NotesStatus WINAPI(DWORD, BOOL, WORD*, WORD, const char*, WORD)>(
        "ListAddEntry", handle, prefixed, size, index, text, length);
  }
  NotesStatus ListGetText(const void* list, bool prefixed, uint16_t index, const char** text,
                          uint16_t* length) override {
    return Call<NotesStatus WINAPI(const void*, BOOL, WORD, const char**, WORD*)>(
        "ListGetText", list, prefixed, index, text, length);
  }

  NotesStatus Lock(MemHandle handle, void** data) override {
    auto lock = Entry<void * WINAPI(DWORD)>("OSLockObject");
    if (!lock) return Missing();
    *data = lock(handle);
    return kNotesOk;
  }
  NotesStatus Unlock(MemHandle handle) override {
    auto unlock = Entry<BOOL WINAPI(DWORD)>("OSUnlockObject");
    if (!unlock) return Missing();
    unlock(handle);
    return kNotesOk;
  }
  NotesStatus Free(MemHandle handle) override {
    return Call<NotesStatus WINAPI(DWORD)>("OSMemFree", handle);
  }

  NotesStatus EnumerateRecords(BlockId value, uint32_t valueLength, RecordCallback callback,
                               void* context) override {
    RecordContext c{callback, context};
    return Call<NotesStatus WINAPI(NotesBlockId, DWORD,
                                   NotesStatus(WINAPI*)(char*, WORD, DWORD, void*), void*)>(
        "EnumCompositeBuffer", ToNotes(value), valueLength, RecordThunk, &c);
  }
  NotesStatus StructureSize(uint16_t type, uint16_t* size) override {
    auto length = Entry<WORD WINAPI(WORD)>("ODSLength");
    if (!length) return Missing();
    *size = length(type);
    return kNotesOk;
  }
  NotesStatus WriteStructure(uint8_t** position, const uint8_t* end, uint16_t type,
                             const void* structure, uint16_t count) override {
    uint16_t size = 0;
    if (NotesStatus rc = StructureSize(type, &size)) return rc;
    if (static_cast<size_t>(end - *position) < static_cast<size_t>(size) * count)
      return kNotesTextCut;
    auto write = Entry<void WINAPI(void**, WORD, const void*, WORD)>("ODSWriteMemory");
    if (!write) return Missing();
    void* at = *position;
    write(&at, type, structure, count);
    *position = static_cast<uint8_t*>(at);
    return kNotesOk;
  }

  NotesStatus LoadApiLibrary(const char* libraryName) override {
    loaded_ = LoadLibraryA(libraryName);
    return loaded_ ? kNotesOk : kNoNotesLibrary;
  }
  NotesStatus FindDesignRefresh(const char* entryName, DesignRefreshEntry* entry) override {
    *entry = nullptr;
    auto refresh =
        loaded_ ? reinterpret_cast<NotesStatus(WINAPI*)(const char*, DWORD, DWORD, void*, void*)>(
                      reinterpret_cast<void*>(GetProcAddress(loaded_, entryName)))
                : nullptr;
    if (!refresh) {
      missing_ = entryName;
      return loaded_ ? kNoNotesEntry : kNoNotesLibrary;
    }
    *entry = [refresh](const char* server, DbHandle db, uint32_t flags, void* abortCheck,
                       void* messageProc) {
      return refresh(server, db, flags, abortCheck, messageProc);
    };
    return kNotesOk;
  }

 private:
  HMODULE Library() {
    if (!library_) library_ = LoadLibraryA("nnotes.dll");
    return library_;
  }

  // The entry `name` of nnotes.dll, or null (remembering why) when there is none.
  template <typename Signature>
  Signature* Entry(const char* name) {
    HMODULE library = Library();
    if (!library) {
      failure_ = kNoNotesLibrary;
      return nullptr;
    }
    FARPROC found = GetProcAddress(library, name);
    if (!found) {
      failure_ = kNoNotesEntry;
      missing_ = name;
      return nullptr;
    }
    return reinterpret_cast<Signature*>(reinterpret_cast<void*>(found));
  }

  NotesStatus Missing() const { return failure_; }

  template <typename Signature, typename... Args>
  NotesStatus Call(const char* name, Args... args) {
    Signature* fn = Entry<Signature>(name);
    if (!fn) return Missing();
    return fn(args...);
  }

  static DWORD* Out(uint32_t* p) {
    static_assert(sizeof(DWORD) == sizeof(uint32_t));
    return reinterpret_cast<DWORD*>(p);
  }
  static WORD NameLength(const char* name) { return static_cast<WORD>(name ? strlen(name) : 0); }
  static void Fill(BlockId* item, NotesBlockId i, BlockId* value, NotesBlockId v,
                   uint32_t* valueLength, DWORD length) {
    if (item) *item = FromNotes(i);
    if (value) *value = FromNotes(v);
    if (valueLength) *valueLength = length;
  }

  HMODULE library_ = nullptr;
  HMODULE loaded_ = nullptr;
  NotesStatus failure_ = kNoNotesLibrary;
  std::string missing_;
};

}  // namespace

std::unique_ptr<NotesApi> MakePlatformNotesApi() {
  return std::make_unique<NnotesApi>();
}

}  // namespace vp
