// nnotes.dll: notes, their items, and locking item values and memory.
#include <cstring>
#include <string>

#include "notesemu/nnotes/win_entry.h"

using namespace nnotes;

namespace {

// An item name as the Notes API passes it: pointer and length, not terminated.
std::string Name(const char* name, Word length) {
  return name ? std::string(name, length) : std::string();
}

// The store's answer for an item, handed out in the Notes API's blocks: the item block as it
// is, the value through a pool of its own.
Status ItemFound(Dword note, Status status, vp::BlockId item, Word type, vp::BlockId value,
                 uint32_t length, BlockId* itemOut, Word* typeOut, BlockId* valueOut,
                 Dword* lengthOut) {
  if (status) return status;
  BlockId i{0, 0}, v{0, 0};
  if (!ToNotes(item, &i)) return notesemu::kErrInvalidBlock;
  if (valueOut) {
    v = PoolForValue(note, value, length);
    if (!v.pool) return notesemu::kErrNoMemory;
  }
  if (itemOut) *itemOut = i;
  if (typeOut) *typeOut = type;
  if (valueOut) *valueOut = v;
  if (lengthOut) *lengthOut = length;
  return 0;
}

}  // namespace

extern "C" {

// A new document in memory; NSFNoteUpdate saves it.
Status NNOTES_CALL NSFNoteCreate(Dword db, Dword* note) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&]() -> Status {
    if (!note) return notesemu::kErrInvalidArgument;
    return Store().CreateNote(db, vp::kNoteClassDocument, note);
  });
}

Status NNOTES_CALL NSFNoteOpen(Dword db, Dword id, Word flags, Dword* note) {
  return Serialized<Status>(notesemu::kErrNoMemory,
                            [&] { return Store().OpenNote(db, id, flags, note); });
}

Status NNOTES_CALL NSFNoteClose(Dword note) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    Status status = Store().CloseNote(note);
    if (!status) DropPools(note);
    return status;
  });
}

Status NNOTES_CALL NSFNoteUpdate(Dword note, Word flags) {
  return Serialized<Status>(notesemu::kErrNoMemory,
                            [&] { return Store().UpdateNote(note, flags); });
}

Status NNOTES_CALL NSFNoteCopy(Dword note, Dword* copy) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] { return Store().CopyNote(note, copy); });
}

// Copies note `id` of `source` into `target` as a new note; the Notes API's other arguments
// (replica and originator ids, the new note's id and class) are not used.
Status NNOTES_CALL NSFDbCopyNote(Dword source, void*, void*, Dword id, Dword target, void*, void*,
                                 Dword*, Word*) {
  return Serialized<Status>(notesemu::kErrNoMemory,
                            [&] { return Store().CopyNoteToDatabase(source, id, target); });
}

Status NNOTES_CALL NSFItemInfo(Dword note, const char* name, Word nameLength, BlockId* item,
                               Word* type, BlockId* value, Dword* valueLength) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    vp::BlockId i, v;
    uint16_t t = 0;
    uint32_t length = 0;
    std::string n = Name(name, nameLength);
    Status status = Store().ItemInfo(note, n.c_str(), &i, &t, &v, &length);
    return ItemFound(note, status, i, t, v, length, item, type, value, valueLength);
  });
}

Status NNOTES_CALL NSFItemInfoNext(Dword note, BlockId after, const char* name, Word nameLength,
                                   BlockId* item, Word* type, BlockId* value, Dword* valueLength) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    vp::BlockId i, v;
    uint16_t t = 0;
    uint32_t length = 0;
    std::string n = Name(name, nameLength);
    Status status = Store().ItemInfoNext(note, FromNotes(after), n.c_str(), &i, &t, &v, &length);
    return ItemFound(note, status, i, t, v, length, item, type, value, valueLength);
  });
}

// A pool (an item value) or a memory handle; null for anything else.
void* NNOTES_CALL OSLockObject(Dword handle) {
  return Serialized<void*>(nullptr, [&]() -> void* {
    if (void* pool = LockPool(handle)) return pool;
    void* data = nullptr;
    return Store().Lock(handle, &data) ? nullptr : data;
  });
}

Bool NNOTES_CALL OSUnlockObject(Dword handle) {
  return Serialized<Bool>(0, [&]() -> Bool {
    if (LockPool(handle)) return 1;
    return Store().Unlock(handle) == 0;
  });
}

Status NNOTES_CALL NSFItemDelete(Dword note, const char* name, Word nameLength) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    std::string n = Name(name, nameLength);
    return Store().DeleteItem(note, n.c_str());
  });
}

Status NNOTES_CALL NSFItemAppend(Dword note, Word flags, const char* name, Word nameLength,
                                 Word type, const void* value, Dword valueLength) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    std::string n = Name(name, nameLength);
    return Store().AppendItem(note, flags, n.c_str(), type, value, valueLength);
  });
}

Status NNOTES_CALL NSFItemSetText(Dword note, const char* name, const char* text, Word length) {
  return Serialized<Status>(notesemu::kErrNoMemory,
                            [&] { return Store().SetTextItem(note, name, text, length); });
}

Word NNOTES_CALL NSFItemGetTextListEntries(Dword note, const char* name) {
  return Serialized<Word>(0, [&]() -> Word {
    uint16_t count = 0;
    return Store().ItemTextListCount(note, name, &count) ? 0 : count;
  });
}

// As the Notes API does: at most size-1 bytes and a terminating zero; returns the bytes copied.
// A cut entry is told by no status: a caller wanting to know passes a larger buffer.
Word NNOTES_CALL NSFItemGetTextListEntry(Dword note, const char* name, Word index, char* buffer,
                                         Word size) {
  return Serialized<Word>(0, [&]() -> Word {
    uint16_t length = 0;
    Status status = Store().ItemTextListEntry(note, name, index, buffer, size, &length);
    if (status && status != vp::kNotesTextCut) {
      if (buffer && size) *buffer = '\0';
      return 0;
    }
    return length;
  });
}

}  // extern "C"
