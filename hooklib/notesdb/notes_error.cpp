// The one message every failed Notes operation shows.
#include "hooklib/notesdb/notes_error.h"

#include "hooklib/core/messages.h"

namespace vp {

void ShowNotesError(NotesStatus status) {
  char text[256];
  Notes().ErrorText(status, text, sizeof text);
  ShowError("Notes error: %s", text);
}

}  // namespace vp
