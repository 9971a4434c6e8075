// Bounded lists of heap texts.
#include "hooklib/gnupg/string_list.h"

#include <cstdlib>
#include <cstring>

namespace vp {

void AddToStringList(StringList& list, const char* text) {
  if (list.count >= kStringListSlots || list.count < 0) return;
  char* copy = strdup(text ? text : "");
  if (!copy) return;
  list.items[list.count++] = copy;
}

void FreeStringList(StringList& list) {
  for (int32_t i = 0; i < list.count; ++i) {
    free(list.items[i]);
    list.items[i] = nullptr;
  }
  list.count = 0;
}

StringList& KeyIdList() {
  static StringList list;
  return list;
}

StringList& UserIdList() {
  static StringList list;
  return list;
}

}  // namespace vp
