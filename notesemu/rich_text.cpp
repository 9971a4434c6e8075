// The record walker and the canonical writer of the hotspot-begin structure.
#include "notesemu/rich_text.h"

#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"

namespace notesemu {

vp::NotesStatus WalkRecords(const uint8_t* data, size_t size, vp::RecordCallback callback,
                            void* context) {
  size_t pos = 0;
  while (pos < size) {
    if (size - pos < 2) return kErrRichText;
    const uint8_t* rec = data + pos;
    uint16_t signature;
    size_t header;
    uint32_t length;
    if (rec[1] == 0xFF) {
      header = 4;
      if (size - pos < header) return kErrRichText;
      signature = static_cast<uint16_t>(0xFF00 | rec[0]);
      length = GetU16(rec + 2);
    } else if (rec[1] == 0x00) {
      header = 6;
      if (size - pos < header) return kErrRichText;
      signature = rec[0];
      length = GetU32(rec + 2);
    } else {
      header = 2;
      signature = rec[0];
      length = rec[1];
    }
    if (length < header || length > size - pos) return kErrRichText;
    vp::NotesStatus status = callback(rec, signature, length, context);
    if (status) return status;
    pos += length + (length & 1);
  }
  return 0;
}

vp::NotesStatus WriteHotspotBegin(uint8_t** position, const uint8_t* end,
                                  const vp::CdHotspotBegin& hotspot) {
  uint8_t* p = *position;
  if (end < p || static_cast<size_t>(end - p) < kCdHotspotBeginSize) return kErrStructureRoom;
  PutU16(p, hotspot.signature);
  PutU16(p + 2, hotspot.length);
  PutU16(p + 4, hotspot.type);
  PutU32(p + 6, hotspot.flags);
  PutU16(p + 10, hotspot.dataLength);
  *position = p + kCdHotspotBeginSize;
  return 0;
}

}  // namespace notesemu
