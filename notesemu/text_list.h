// The text-list layout shared by list handles and text-list items, in canonical byte order:
// [type word 0x0501 when prefixed] [entry count] [one length word per entry] [the texts].
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notes_api.h"

namespace notesemu {

inline uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetU32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, static_cast<uint16_t>(v));
  PutU16(p + 2, static_cast<uint16_t>(v >> 16));
}

// The largest list: its size must fit a 16-bit word.
constexpr size_t kMaxListBytes = 0xFFFF;

// A list with the given entries; empty when it would exceed kMaxListBytes.
std::vector<uint8_t> BuildTextList(const std::vector<std::string>& entries, bool prefixed);

// The entries of a list of `size` bytes (views into `data`); false when the bytes are not a
// well-formed list.
bool ParseTextList(const uint8_t* data, size_t size, bool prefixed,
                   std::vector<std::string_view>* entries);

// Inserts an entry at `index`; kErrListIndex past the end, kErrListFull over kMaxListBytes,
// kErrNotTextList for malformed bytes. The list is unchanged on failure.
vp::NotesStatus InsertTextListEntry(std::vector<uint8_t>* list, bool prefixed, uint16_t index,
                                    std::string_view text);

// A text item's value: the type word, then the text.
std::vector<uint8_t> TextValue(std::string_view text);

// Entry `index` of an item value (a text item has one entry) without copying the others.
// `count` (may be null) receives the number of entries; `entry` may be null to ask only that.
// kErrNotTextList when a text list's counts and lengths do not fit its bytes (the count is then
// 0), kErrListIndex when there is no such entry; items of other types have no entries.
vp::NotesStatus ItemTextEntry(const std::vector<uint8_t>& value, size_t index,
                              std::string_view* entry, size_t* count);

// The texts of an item value (type word first): one entry for text, each entry for a text list,
// none for other types or malformed values.
std::vector<std::string> ItemTexts(const std::vector<uint8_t>& value);

}  // namespace notesemu
