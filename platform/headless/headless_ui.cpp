// What every headless front end shares: boxes and dialogs recorded, windows, the clipboard.
#include "platform/headless/headless_ui.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/headless/window_table.h"

namespace vp::headless {
namespace {

std::string g_clipboard;

}  // namespace

std::string PrintableText(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7F)) {
      out += static_cast<char>(c);
    } else {
      out += '^';
      out += static_cast<char>(c == 0x7F ? '?' : c + '@');
    }
  }
  return out;
}

std::string ClipboardText() {
  return g_clipboard;
}

int HeadlessUi::MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                           unsigned style) {
  (void)owner;
  BoxAnswer answer{kIdOk, true};
  if (BoxButtons(style).size() > 1)
    answer = AnswerBox(text, caption, style);
  else
    ShowBox(text, caption, style);
  Event e("message");
  e.Text("caption", caption)
      .Text("text", text)
      .Text("buttons", ButtonsName(style))
      .Text("answer", AnswerWord(answer.id))
      .Flag("answered", answer.answered);
  log_.Record(e);
  if (!answer.answered) Unanswered(e);
  return answer.id;
}

intptr_t HeadlessUi::DialogBox(const DialogTemplate& tpl, WindowHandle owner, DialogProc proc,
                               void* param) {
  (void)owner;
  VirtualDialog dialog(tpl, proc, param, log_);
  open_.push_back(&dialog);
  dialog.Open();
  bool answered = dialog.Ended() || RunDialog(dialog);
  if (!dialog.Ended()) {
    answered = false;
    dialog.PressClosingButton();
  }
  open_.erase(std::find(open_.begin(), open_.end(), &dialog));
  Event e("dialog-close");
  e.Number("id", tpl.id)
      .Text("title", dialog.Title())
      .Number("answer", static_cast<long long>(dialog.Result()))
      .Flag("answered", answered);
  log_.Record(e);
  if (!answered) Unanswered(e);
  return dialog.Result();
}

Event HeadlessUi::WindowEvent(const char* kind, WindowHandle window) const {
  return Event(kind).Text("class", window->className).Text("title", window->title);
}

WindowHandle HeadlessUi::FindWindowByClass(const char* className) {
  return FindWindowOfClass(className);
}

void HeadlessUi::EnableWindow(WindowHandle window, bool enable) {
  if (!IsLiveWindow(window)) return;
  window->enabled = enable ? 1 : 0;
  log_.Record(WindowEvent("window-enable", window).Flag("enabled", enable));
}

bool HeadlessUi::IsWindowEnabled(WindowHandle window) {
  return IsLiveWindow(window) && window->enabled;
}

bool HeadlessUi::GetWindowRect(WindowHandle window, Rect* rect) {
  if (!IsLiveWindow(window) || !rect) return false;
  *rect = Rect{window->left, window->top, window->right, window->bottom};
  return true;
}

void HeadlessUi::MoveWindow(WindowHandle window, int x, int y, int w, int h, bool repaint) {
  (void)repaint;
  if (!IsLiveWindow(window)) return;
  window->left = x;
  window->top = y;
  window->right = x + w;
  window->bottom = y + h;
  log_.Record(WindowEvent("window-move", window)
                  .Number("x", x)
                  .Number("y", y)
                  .Number("w", w)
                  .Number("h", h));
}

void HeadlessUi::ScreenSize(int* width, int* height) {
  VirtualScreenSize(width, height);
}

void HeadlessUi::BringToFront(WindowHandle window, int controlId) {
  if (!IsLiveWindow(window)) return;
  for (VirtualDialog* d : open_)
    if (d->Window() == window) d->Focus(controlId);
  log_.Record(WindowEvent("bring-to-front", window).Number("control", controlId));
}

// The chooser admits only an existing regular file (the filter's kind: runnable for
// "executables"); anything else is refused as the system's chooser would not let it be picked.
bool HeadlessUi::ChooseOpenFile(const std::string& filter, std::string* path) {
  std::string chosen;
  BoxAnswer answer = AnswerOpenFile(*path, &chosen);
  struct stat st;
  bool admitted = !chosen.empty() && stat(chosen.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                  (filter != "executables" || access(chosen.c_str(), X_OK) == 0);
  Event e("open-file");
  e.Text("filter", filter)
      .Text("initial", *path)
      .Text("answer", chosen.empty() ? "cancel" : chosen)
      .Flag("answered", answer.answered)
      .Flag("refused", !chosen.empty() && !admitted);
  log_.Record(e);
  if (!answer.answered) Unanswered(e);
  if (!admitted) return false;
  *path = chosen;
  return true;
}

bool HeadlessUi::SetClipboardText(WindowHandle owner, const std::string& text) {
  (void)owner;
  g_clipboard = text;
  log_.Record(Event("clipboard").Text("text", text));
  return true;
}

bool HeadlessUi::ChooseSaveAsPath(WindowHandle owner, const SaveAsRequest& request,
                                  std::string* path) {
  (void)owner;
  std::string chosen;
  BoxAnswer answer = AnswerSaveAs(request, &chosen);
  if (!chosen.empty()) {
    if (chosen[0] != '/' && !request.startFolder.empty())
      chosen = request.startFolder + "/" + chosen;
    size_t slash = chosen.rfind('/');
    std::string name = chosen.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.find('.') == std::string::npos && !request.defaultExtension.empty())
      chosen += "." + request.defaultExtension;
  }
  Event e("save-as");
  e.Text("name", request.proposedName)
      .Text("folder", request.startFolder)
      .Text("extension", request.defaultExtension)
      .Flag("overwrite-prompt", request.overwritePrompt)
      .Text("answer", chosen.empty() ? "cancel" : chosen)
      .Flag("answered", answer.answered);
  log_.Record(e);
  if (!answer.answered) Unanswered(e);
  *path = chosen;
  return !chosen.empty();
}

int HeadlessUi::ShellOpen(const std::string& path) {
  BoxAnswer answer = AnswerShell(path);
  Event e("shell");
  e.Text("path", path).Number("result", answer.id).Flag("answered", answer.answered);
  log_.Record(e);
  return answer.id;
}

}  // namespace vp::headless
