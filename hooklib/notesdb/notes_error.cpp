// The message every failed Notes operation shows.
#include "hooklib/notesdb/notes_error.h"

#include "hooklib/core/messages.h"

namespace vp {

void ShowNotesError(NotesStatus status) {
  char text[256];
  Notes().ErrorText(status, text, sizeof text);
  ShowError("Notes error: %s", text);
}

void ShowNotesError(NotesStatus status, const char* step, const char* subject) {
  char text[256];
  Notes().ErrorText(status, text, sizeof text);
  if (subject) {
    ShowError("Notes error: %s\nWhile %s '%s'.", text, step, subject);
  } else {
    ShowError("Notes error: %s\nWhile %s.", text, step);
  }
}

}  // namespace vp
