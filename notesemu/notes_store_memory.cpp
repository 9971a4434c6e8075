// The store's memory handles, text lists in memory, rich-text records and structures.
#include <cstring>

#include "notesemu/notes_store.h"
#include "notesemu/rich_text.h"
#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"

namespace notesemu {

NotesStore::MemBlock& NotesStore::Memory(vp::MemHandle handle) {
  auto it = memory_.find(handle);
  if (it == memory_.end()) Fail(kErrInvalidHandle);
  return it->second;
}

NotesStore::MemBlock* NotesStore::LockedList(const void* list) {
  for (auto& [handle, block] : memory_) {
    if (block.locks > 0 && block.bytes.data() == list) return &block;
  }
  return nullptr;
}

vp::NotesStatus NotesStore::ListAllocate(uint16_t entries, uint16_t textSize, bool prefixed,
                                         vp::MemHandle* handle, void** list, uint16_t* size) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!handle) return kErrInvalidArgument;
    *handle = 0;
    FaultPoint("ListAllocate", kErrNoMemory);
    std::vector<std::string> empty(entries, std::string(textSize, '\0'));
    MemBlock block;
    block.bytes = BuildTextList(empty, prefixed);
    if (block.bytes.empty()) return kErrListFull;
    block.locks = 1;
    *handle = NewHandle();
    MemBlock& stored = memory_[*handle] = std::move(block);
    if (list) *list = stored.bytes.data();
    if (size) *size = static_cast<uint16_t>(stored.bytes.size());
    return 0;
  });
}

vp::NotesStatus NotesStore::ListEntryCount(const void* list, bool prefixed, uint16_t* count) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!count) return kErrInvalidArgument;
    *count = 0;
    MemBlock* block = LockedList(list);
    if (!block) return kErrNotLocked;
    FaultPoint("ListEntryCount", kErrNoMemory);
    std::vector<std::string_view> entries;
    if (!ParseTextList(block->bytes.data(), block->bytes.size(), prefixed, &entries)) {
      return kErrNotTextList;
    }
    *count = static_cast<uint16_t>(entries.size());
    return 0;
  });
}

vp::NotesStatus NotesStore::ListAddEntry(vp::MemHandle handle, bool prefixed, uint16_t* size,
                                         uint16_t index, const char* text, uint16_t length) {
  return Guarded([&]() -> vp::NotesStatus {
    if (length && !text) return kErrInvalidArgument;
    MemBlock& block = Memory(handle);
    if (block.locks > 0) return kErrHandleLocked;  // the list may have to move
    FaultPoint("ListAddEntry", kErrNoMemory);
    vp::NotesStatus status = InsertTextListEntry(&block.bytes, prefixed, index,
                                                 std::string_view(text ? text : "", length));
    if (status) return status;
    if (size) *size = static_cast<uint16_t>(block.bytes.size());
    return 0;
  });
}

vp::NotesStatus NotesStore::ListGetText(const void* list, bool prefixed, uint16_t index,
                                        const char** text, uint16_t* length) {
  return Guarded([&]() -> vp::NotesStatus {
    if (text) *text = nullptr;
    if (length) *length = 0;
    MemBlock* block = LockedList(list);
    if (!block) return kErrNotLocked;
    FaultPoint("ListGetText", kErrNoMemory);
    std::vector<std::string_view> entries;
    if (!ParseTextList(block->bytes.data(), block->bytes.size(), prefixed, &entries)) {
      return kErrNotTextList;
    }
    if (index >= entries.size()) return kErrListIndex;
    if (text) *text = entries[index].data();
    if (length) *length = static_cast<uint16_t>(entries[index].size());
    return 0;
  });
}

vp::NotesStatus NotesStore::Lock(vp::MemHandle handle, void** data) {
  return Guarded([&]() -> vp::NotesStatus {
    MemBlock& block = Memory(handle);
    FaultPoint("Lock", kErrNoMemory);
    ++block.locks;
    if (data) *data = block.bytes.data();
    return 0;
  });
}

vp::NotesStatus NotesStore::Unlock(vp::MemHandle handle) {
  return Guarded([&]() -> vp::NotesStatus {
    MemBlock& block = Memory(handle);
    if (block.locks == 0) return kErrNotLocked;
    --block.locks;
    FaultPoint("Unlock", kErrNoMemory);
    return 0;
  });
}

vp::NotesStatus NotesStore::Free(vp::MemHandle handle) {
  return Guarded([&]() -> vp::NotesStatus {
    Memory(handle);
    memory_.erase(handle);  // freed even when the fault below reports a failure
    FaultPoint("Free", kErrNoMemory);
    return 0;
  });
}

vp::NotesStatus NotesStore::EnumerateRecords(vp::BlockId value, uint32_t valueLength,
                                             vp::RecordCallback callback, void* context) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!callback) return kErrInvalidArgument;
    const uint8_t* data = nullptr;
    vp::NotesStatus status = LockBlock(value, &data);
    if (status) return status;
    FaultPoint("EnumerateRecords", kErrNoMemory);
    const Item* item = nullptr;
    for (const Item& i : Note(value.pool).note.items) {
      if (i.value.data() == data) item = &i;
    }
    if (!item || valueLength > item->value.size() || valueLength < 2) return kErrInvalidArgument;
    if (GetU16(data) != vp::kTypeComposite) return kErrRichText;
    return WalkRecords(data + 2, valueLength - 2, callback, context);
  });
}

vp::NotesStatus NotesStore::StructureSize(uint16_t type, uint16_t* size) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!size) return kErrInvalidArgument;
    *size = 0;
    FaultPoint("StructureSize", kErrNoMemory);
    if (type != vp::kCdHotspotBeginType) return kErrStructureType;
    *size = kCdHotspotBeginSize;
    return 0;
  });
}

vp::NotesStatus NotesStore::WriteStructure(uint8_t** position, const uint8_t* end, uint16_t type,
                                           const void* structure, uint16_t count) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!position || !*position || !end || !structure) return kErrInvalidArgument;
    FaultPoint("WriteStructure", kErrNoMemory);
    if (type != vp::kCdHotspotBeginType) return kErrStructureType;
    const auto* items = static_cast<const vp::CdHotspotBegin*>(structure);
    uint8_t* p = *position;
    for (uint16_t i = 0; i < count; ++i) {
      vp::NotesStatus status = WriteHotspotBegin(&p, end, items[i]);
      if (status) return status;  // nothing is advanced on failure
    }
    *position = p;
    return 0;
  });
}

}  // namespace notesemu
