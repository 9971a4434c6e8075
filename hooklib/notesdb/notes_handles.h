// Notes handles that close themselves: a failed step can return at once and every handle that
// was opened is still closed. Declare databases before their notes so notes close first.
#pragma once
#include "platform/notes_api.h"

namespace vp {

struct NoteScope {
  NoteHandle handle = 0;
  NoteScope() = default;
  NoteScope(const NoteScope&) = delete;
  NoteScope& operator=(const NoteScope&) = delete;
  ~NoteScope() {
    if (handle) Notes().CloseNote(handle);
  }
};

struct DatabaseScope {
  DbHandle handle = 0;
  DatabaseScope() = default;
  DatabaseScope(const DatabaseScope&) = delete;
  DatabaseScope& operator=(const DatabaseScope&) = delete;
  ~DatabaseScope() {
    if (handle) Notes().CloseDatabase(handle);
  }
};

}  // namespace vp
