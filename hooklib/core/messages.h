// Message boxes, the error details dialog and the small window services of the library.
#pragma once
#include "hooklib/core/printf_format.h"
#include "platform/ui.h"

namespace vp {

// Formatted boxes owned by the Notes window, brought to the foreground. The question, information
// and warning boxes cut their text at 1023 bytes, the error box at 255.
int ShowQuestion(const char* format, ...) VP_PRINTF_FORMAT(1, 2);  // kIdYes/kIdNo
void ShowInformation(const char* format, ...) VP_PRINTF_FORMAT(1, 2);
void ShowWarning(const char* format, ...) VP_PRINTF_FORMAT(1, 2);
int ShowError(const char* format, ...) VP_PRINTF_FORMAT(1, 2);

// Dialog 115 with a caption line and copyable details; returns 0 when closed.
int ShowErrorDetails(const char* caption, const char* details);

// Centres a window on the screen (size grows by one pixel each way, as the system reports it).
void CenterWindow(WindowHandle window);
// Raises a window, makes it the foreground window and focuses one of its controls.
void BringToFront(WindowHandle window, int controlId);

// Finds the Notes main window ("NOTESframe", else "NOTES"), remembers it as the owner of every
// box and dialog, and enables or disables it.
void EnableNotesWindow(bool enable);

// Keeps the Notes window disabled for its lifetime: enabled again however an export ends, an
// exception from an allocation included.
struct NotesWindowDisabled {
  NotesWindowDisabled() { EnableNotesWindow(false); }
  ~NotesWindowDisabled() { EnableNotesWindow(true); }
  NotesWindowDisabled(const NotesWindowDisabled&) = delete;
  NotesWindowDisabled& operator=(const NotesWindowDisabled&) = delete;
};
// Shows the wait cursor for its lifetime, the arrow again afterwards.
struct WaitCursor {
  WaitCursor() { Ui().ShowWaitCursor(true); }
  ~WaitCursor() { Ui().ShowWaitCursor(false); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// The window EnableNotesWindow last found (null before or when none was found).
WindowHandle NotesWindow();

}  // namespace vp
