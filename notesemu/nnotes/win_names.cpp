// nnotes.dll: names, text lists in memory, memory handles and the texts of statuses.
#include "notesemu/nnotes/win_entry.h"

using namespace nnotes;

extern "C" {

Status NNOTES_CALL DNAbbreviate(Dword flags, const char* templateName, const char* name,
                                char* buffer, Word size, Word* length) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    return Store().AbbreviateName(flags, templateName, name, buffer, size, length);
  });
}

Status NNOTES_CALL NAMEResolveEnteredNames(Dword typed, Word typedSize, Dword* resolved,
                                           Word* resolvedSize, Word flags, Dword spare) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    return Store().ResolveEnteredNames(typed, typedSize, resolved, resolvedSize, flags, spare);
  });
}

Status NNOTES_CALL ListAllocate(Word entries, Word textSize, Bool prefixed, Dword* handle,
                                void** list, Word* size) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    return Store().ListAllocate(entries, textSize, prefixed != 0, handle, list, size);
  });
}

// 0 for anything that is not the locked data of a list.
Word NNOTES_CALL ListGetNumEntries(const void* list, Bool prefixed) {
  return Serialized<Word>(0, [&]() -> Word {
    uint16_t count = 0;
    return Store().ListEntryCount(list, prefixed != 0, &count) ? 0 : count;
  });
}

Status NNOTES_CALL ListAddEntry(Dword handle, Bool prefixed, Word* size, Word index,
                                const char* text, Word length) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    return Store().ListAddEntry(handle, prefixed != 0, size, index, text, length);
  });
}

Status NNOTES_CALL ListGetText(const void* list, Bool prefixed, Word index, const char** text,
                               Word* length) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    return Store().ListGetText(list, prefixed != 0, index, text, length);
  });
}

Status NNOTES_CALL OSMemFree(Dword handle) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] { return Store().Free(handle); });
}

// The module argument (the Notes client's own library, or null) is not used.
Word NNOTES_CALL OSLoadString(void*, Status status, char* buffer, Word size) {
  return Serialized<Word>(0, [&] { return Store().ErrorText(status, buffer, size); });
}

}  // extern "C"
