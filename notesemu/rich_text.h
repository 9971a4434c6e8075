// Rich-text records: walking a composite value and writing the hotspot-begin structure.
//
// A record starts with its signature byte; the next byte tells the header: 0xFF a word length
// follows (4-byte header), 0x00 a double-word length follows (6-byte header), anything else is
// the whole record's length itself (2-byte header). Lengths include the header; records are
// padded to even lengths. All numbers are little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/notes_api.h"

namespace notesemu {

constexpr uint16_t kCdHotspotBeginSize = 12;

// Walks the records of `data` (the value without its type word).
vp::NotesStatus WalkRecords(const uint8_t* data, size_t size, vp::RecordCallback callback,
                            void* context);

// Writes one hotspot-begin structure at *position and advances it; kErrStructureRoom when it
// would pass `end`.
vp::NotesStatus WriteHotspotBegin(uint8_t** position, const uint8_t* end,
                                  const vp::CdHotspotBegin& hotspot);

}  // namespace notesemu
