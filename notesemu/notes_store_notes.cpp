// The store's note and item operations on open notes held in memory.
#include <algorithm>
#include <cstring>

#include "notesemu/names.h"
#include "notesemu/notes_store.h"
#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"

namespace notesemu {
namespace {

constexpr uint32_t kValueBit = 0x80000000u;  // a value block; without it an item block
constexpr uint32_t kMaxValueBytes = 0xFFFF;  // type word included

bool SameName(const std::string& a, const char* b) {
  return UpperAscii(a) == UpperAscii(b);
}

}  // namespace

NotesStore::OpenNoteState& NotesStore::Note(vp::NoteHandle note) {
  auto it = notes_.find(note);
  if (it == notes_.end()) Fail(kErrInvalidHandle);
  return it->second;
}

const Item* NotesStore::FindItem(vp::NoteHandle note, const char* name, uint32_t afterSerial) {
  OpenNoteState& state = Note(note);
  bool past = afterSerial == 0;
  for (const Item& item : state.note.items) {
    if (!past) {
      past = item.serial == afterSerial;
      continue;
    }
    if (SameName(item.name, name)) return &item;
  }
  if (!past) Fail(kErrInvalidBlock);
  return nullptr;
}

vp::NotesStatus NotesStore::OpenNote(vp::DbHandle db, vp::NoteId id, uint16_t flags,
                                     vp::NoteHandle* note) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!note || flags) return kErrInvalidArgument;
    *note = 0;
    StoreFile& file = Database(db);
    FaultPoint("OpenNote", kErrIo);
    if (id == vp::kIconNoteId) id = file.FirstNoteOfClass(vp::kNoteClassIcon);
    OpenNoteState state;
    state.db = db;
    if (id == 0 || !file.ReadNote(id, &state.note)) return kErrNoteNotFound;
    state.nextSerial = static_cast<uint32_t>(state.note.items.size());
    *note = NewHandle();
    notes_[*note] = std::move(state);
    return 0;
  });
}

vp::NotesStatus NotesStore::CreateNote(vp::DbHandle db, uint16_t noteClass, vp::NoteHandle* note) {
  return Guarded([&]() -> vp::NotesStatus {
    Database(db);
    OpenNoteState state;
    state.db = db;
    state.note.noteClass = noteClass;
    *note = NewHandle();
    notes_[*note] = std::move(state);
    return 0;
  });
}

vp::NotesStatus NotesStore::CloseNote(vp::NoteHandle note) {
  return Guarded([&]() -> vp::NotesStatus {
    Note(note);
    notes_.erase(note);
    FaultPoint("CloseNote", kErrIo);
    return 0;
  });
}

vp::NotesStatus NotesStore::UpdateNote(vp::NoteHandle note, uint16_t flags) {
  return Guarded([&]() -> vp::NotesStatus {
    if (flags) return kErrInvalidArgument;
    OpenNoteState& state = Note(note);
    StoreFile& file = Database(state.db);
    FaultPoint("UpdateNote", kErrIo);
    state.note.id = file.WriteNote(state.note);
    return 0;
  });
}

vp::NotesStatus NotesStore::CopyNote(vp::NoteHandle note, vp::NoteHandle* copy) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!copy) return kErrInvalidArgument;
    *copy = 0;
    OpenNoteState state = Note(note);
    FaultPoint("CopyNote", kErrNoMemory);
    state.note.id = 0;
    *copy = NewHandle();
    notes_[*copy] = std::move(state);
    return 0;
  });
}

vp::NotesStatus NotesStore::ItemInfo(vp::NoteHandle note, const char* name, vp::BlockId* item,
                                     uint16_t* type, vp::BlockId* value, uint32_t* valueLength) {
  return ItemInfoNext(note, vp::BlockId{}, name, item, type, value, valueLength);
}

vp::NotesStatus NotesStore::ItemInfoNext(vp::NoteHandle note, vp::BlockId after, const char* name,
                                         vp::BlockId* item, uint16_t* type, vp::BlockId* value,
                                         uint32_t* valueLength) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!name) return kErrInvalidArgument;
    if (after.block && (after.pool != note || (after.block & kValueBit))) return kErrInvalidBlock;
    const Item* found = FindItem(note, name, after.block);
    FaultPoint(after.block ? "ItemInfoNext" : "ItemInfo", kErrIo);
    if (!found) return kErrItemNotFound;
    if (item) *item = vp::BlockId{note, found->serial};
    if (type) *type = found->type;
    if (value) *value = vp::BlockId{note, found->serial | kValueBit};
    if (valueLength) *valueLength = static_cast<uint32_t>(found->value.size());
    return 0;
  });
}

vp::NotesStatus NotesStore::LockBlock(vp::BlockId block, const uint8_t** data) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!data) return kErrInvalidArgument;
    *data = nullptr;
    if (!(block.block & kValueBit)) return kErrInvalidBlock;
    OpenNoteState& state = Note(block.pool);
    FaultPoint("LockBlock", kErrNoMemory);
    for (const Item& item : state.note.items) {
      if ((item.serial | kValueBit) == block.block) {
        *data = item.value.data();
        return 0;
      }
    }
    return kErrInvalidBlock;
  });
}

vp::NotesStatus NotesStore::DeleteItem(vp::NoteHandle note, const char* name) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!name) return kErrInvalidArgument;
    auto& items = Note(note).note.items;
    FaultPoint("DeleteItem", kErrNoMemory);
    size_t before = items.size();
    std::erase_if(items, [&](const Item& item) { return SameName(item.name, name); });
    return items.size() == before ? kErrItemNotFound : 0;
  });
}

vp::NotesStatus NotesStore::AppendItem(vp::NoteHandle note, uint16_t flags, const char* name,
                                       uint16_t type, const void* value, uint32_t length) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!name || !*name || (length && !value)) return kErrInvalidArgument;
    OpenNoteState& state = Note(note);
    FaultPoint("AppendItem", kErrNoMemory);
    if (length > kMaxValueBytes - 2) return kErrItemTooBig;
    Item item{name, type, flags, std::vector<uint8_t>(2 + length), ++state.nextSerial};
    PutU16(item.value.data(), type);
    if (length) std::memcpy(item.value.data() + 2, value, length);
    state.note.items.push_back(std::move(item));
    return 0;
  });
}

vp::NotesStatus NotesStore::SetTextItem(vp::NoteHandle note, const char* name, const char* text,
                                        uint16_t length) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!name || !*name || !text) return kErrInvalidArgument;
    OpenNoteState& state = Note(note);
    FaultPoint("SetTextItem", kErrNoMemory);
    std::string_view value(text, length == 0xFFFF ? std::strlen(text) : length);
    if (value.size() > kMaxValueBytes - 2) return kErrItemTooBig;
    auto& items = state.note.items;
    auto first = std::find_if(items.begin(), items.end(),
                              [&](const Item& item) { return SameName(item.name, name); });
    Item replacement{name, vp::kTypeText, vp::kItemSummary, TextValue(value), ++state.nextSerial};
    if (first == items.end()) {
      items.push_back(std::move(replacement));
    } else {
      // The new item takes the first one's place; later items of the name go.
      size_t keep = static_cast<size_t>(first - items.begin());
      items[keep] = std::move(replacement);
      for (size_t i = items.size(); i-- > keep + 1;) {
        if (SameName(items[i].name, name)) items.erase(items.begin() + static_cast<long>(i));
      }
    }
    return 0;
  });
}

vp::NotesStatus NotesStore::ItemTextListCount(vp::NoteHandle note, const char* name,
                                              uint16_t* count) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!name || !count) return kErrInvalidArgument;
    *count = 0;
    const Item* item = FindItem(note, name, 0);
    FaultPoint("ItemTextListCount", kErrIo);
    size_t n = 0;
    vp::NotesStatus status = item ? ItemTextEntry(item->value, 0, nullptr, &n) : 0;
    if (status == kErrNotTextList) return status;
    *count = static_cast<uint16_t>(n);
    return 0;
  });
}

vp::NotesStatus NotesStore::ItemTextListEntry(vp::NoteHandle note, const char* name, uint16_t index,
                                              char* buffer, uint16_t size, uint16_t* length) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!name || !buffer || size == 0) return kErrInvalidArgument;
    buffer[0] = 0;
    if (length) *length = 0;
    const Item* item = FindItem(note, name, 0);
    FaultPoint("ItemTextListEntry", kErrIo);
    if (!item) return kErrItemNotFound;
    std::string_view text;
    if (vp::NotesStatus status = ItemTextEntry(item->value, index, &text, nullptr)) return status;
    size_t n = std::min<size_t>(text.size(), size - 1u);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    if (length) *length = static_cast<uint16_t>(n);
    return n < text.size() ? kErrTextCut : 0;
  });
}

}  // namespace notesemu
