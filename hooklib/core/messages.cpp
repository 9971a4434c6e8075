// Message boxes and the window services: every box is owned by the Notes main window.
#include "hooklib/core/messages.h"

#include <cstdarg>
#include <cstdio>

#include "hooklib/core/strings.h"

namespace vp {
namespace {

WindowHandle g_notes_window = nullptr;

constexpr int kCaptionQuestion = 173;
constexpr int kCaptionInformation = 174;
constexpr int kCaptionWarning = 175;
constexpr int kCaptionError = 176;

// Formats into a buffer of the box's capacity (longer texts are cut) and shows the box.
int ShowFormatted(int captionId, unsigned style, size_t capacity, const char* format,
                  va_list args) {
  char text[1024];
  vsnprintf(text, capacity < sizeof text ? capacity : sizeof text, format, args);
  return Ui().MessageBox(g_notes_window, text, MessageString(captionId), kMbSetForeground | style);
}

}  // namespace

int ShowQuestion(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int answer = ShowFormatted(kCaptionQuestion, kMbYesNo | kMbIconQuestion, 1024, format, args);
  va_end(args);
  return answer;
}

void ShowInformation(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ShowFormatted(kCaptionInformation, kMbOk | kMbIconInformation, 1024, format, args);
  va_end(args);
}

void ShowWarning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ShowFormatted(kCaptionWarning, kMbOk | kMbIconWarning, 1024, format, args);
  va_end(args);
}

int ShowError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int answer = ShowFormatted(kCaptionError, kMbOk | kMbIconError, 256, format, args);
  va_end(args);
  return answer;
}

void CenterWindow(WindowHandle window) {
  Rect r;
  if (!Ui().GetWindowRect(window, &r)) return;
  int w = r.right - r.left + 1;
  int h = r.bottom - r.top + 1;
  int screenW = 0, screenH = 0;
  Ui().ScreenSize(&screenW, &screenH);
  Ui().MoveWindow(window, (screenW - w) / 2, (screenH - h) / 2, w, h, true);
}

void BringToFront(WindowHandle window, int controlId) {
  Ui().BringToFront(window, controlId);
}

void EnableNotesWindow(bool enable) {
  WindowHandle w = Ui().FindWindowByClass("NOTESframe");
  if (!w) w = Ui().FindWindowByClass("NOTES");
  g_notes_window = w;
  if (w) Ui().EnableWindow(w, enable);
}

WindowHandle NotesWindow() {
  return g_notes_window;
}

}  // namespace vp
