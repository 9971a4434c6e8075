// Bounded lists of heap texts, and the two lists a key listing fills side by side.
#pragma once
#include <cstdint>

namespace vp {

constexpr int kStringListSlots = 8192;

struct StringList {
  char* items[kStringListSlots];  // owned (malloc), entries 0..count-1 in use
  int32_t count;
};

// Stores a heap copy of text; a full list drops the text silently.
void AddToStringList(StringList& list, const char* text);
// Frees every entry and empties the list.
void FreeStringList(StringList& list);

// The key id list and the user id list: entry i of both describes the same key.
StringList& KeyIdList();
StringList& UserIdList();

}  // namespace vp
