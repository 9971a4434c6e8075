// Showing a failed Notes operation to the user.
#pragma once
#include "platform/notes_api.h"

namespace vp {

// Shows "Notes error: %s" with the error text of `status` (an error box through ShowError).
void ShowNotesError(NotesStatus status);
// As above, with a second line naming what was being done: "While <step>." or, with a subject,
// "While <step> '<subject>'."
void ShowNotesError(NotesStatus status, const char* step, const char* subject = nullptr);

}  // namespace vp
