// nnotes.dll: walking rich-text records and writing structures in canonical form.
#include "notesemu/nnotes/win_entry.h"

using namespace nnotes;

namespace {

using RecordCallback = Status(NNOTES_CALL*)(char* record, Word signature, Dword length,
                                            void* param);

struct Walk {
  RecordCallback callback;
  void* param;
};

vp::NotesStatus ForwardRecord(const uint8_t* record, uint16_t signature, uint32_t length,
                              void* context) {
  auto* walk = static_cast<Walk*>(context);
  // The Notes API hands the record out writable; the callbacks of the system only read it.
  return walk->callback(reinterpret_cast<char*>(const_cast<uint8_t*>(record)), signature, length,
                        walk->param);
}

}  // namespace

extern "C" {

// `value` is a value block as NSFItemInfo gave it.
Status NNOTES_CALL EnumCompositeBuffer(BlockId value, Dword length, RecordCallback callback,
                                       void* param) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    vp::BlockId stored;
    if (!ValueOfPool(value, &stored)) return Status{notesemu::kErrInvalidBlock};
    if (!callback) return Status{notesemu::kErrInvalidArgument};
    Walk walk{callback, param};
    return Store().EnumerateRecords(stored, length, &ForwardRecord, &walk);
  });
}

// 0 for a structure type the store does not know.
Word NNOTES_CALL ODSLength(Word type) {
  return Serialized<Word>(0, [&]() -> Word {
    uint16_t size = 0;
    return Store().StructureSize(type, &size) ? 0 : size;
  });
}

// The caller has made room for `count` structures, as the Notes API expects; nothing is
// written for an unknown type.
void NNOTES_CALL ODSWriteMemory(void** position, Word type, const void* structure, Word count) {
  Serialized<Status>(notesemu::kErrNoMemory, [&] {
    uint16_t size = 0;
    if (!position || !*position || Store().StructureSize(type, &size)) return Status{0};
    auto* at = static_cast<uint8_t*>(*position);
    const uint8_t* end = at + static_cast<size_t>(size) * count;
    Status status = Store().WriteStructure(&at, end, type, structure, count);
    if (!status) *position = at;
    return status;
  });
}

}  // extern "C"
