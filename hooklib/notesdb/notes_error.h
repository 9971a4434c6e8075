// Showing a failed Notes operation to the user.
#pragma once
#include "platform/notes_api.h"

namespace vp {

// Shows "Notes error: %s" with the error text of `status` (an error box through ShowError).
void ShowNotesError(NotesStatus status);

}  // namespace vp
