// The Win32 user interface: message boxes, modal dialogs, windows, the clipboard, the choosers and
// the shell, each answered from the script when there is one.
#include "platform/win32/win_ui.h"

#include <cstdlib>
#include <cstring>

#include "platform/process.h"
#include "platform/win32/dialog_memory.h"
#include "platform/win32/win_ui_internal.h"

namespace vp::win32 {
namespace {

HWND AsHwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}

bool IsAbsolutePath(const std::string& path) {
  return (!path.empty() && (path[0] == '\\' || path[0] == '/')) ||
         (path.size() > 1 && path[1] == ':');
}

bool EndsWithIgnoringCase(const std::string& text, const char* tail) {
  size_t n = strlen(tail);
  return text.size() >= n && _stricmp(text.c_str() + text.size() - n, tail) == 0;
}

bool IsExistingFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

Win32Ui::Win32Ui(const std::string& scriptPath) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!scriptPath.empty()) {
    script_ = std::make_unique<uiscript::ScriptAnswers>(scriptPath);
    if (!script_->Error().empty())
      log_.Record(uiscript::Event("script-error").Text("text", script_->Error()));
  }
  // How long a scripted window stays on screen before it is answered, so it can be looked at.
  if (const char* pause = getenv("VEILPOST_UI_PAUSE_MS")) pauseMs_ = strtoul(pause, nullptr, 10);
}

void Win32Ui::ScriptError(const uiscript::ScriptLine& line, const std::string& text) {
  log_.Record(uiscript::Event("script-error").Number("line", line.number).Text("text", text));
}

uiscript::Event Win32Ui::WindowEvent(const char* kind, HWND window) const {
  char className[256] = "";
  GetClassNameA(window, className, sizeof className);
  return uiscript::Event(kind).Text("class", className).Text("title", WindowText(window));
}

int Win32Ui::MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                        unsigned style) {
  int answer = kIdOk;
  bool answered = true;
  if (!Scripted()) {
    answer = MessageBoxA(AsHwnd(owner), text.c_str(), caption.c_str(), style);
    // A box that could not be shown answers Cancel, like one the user closed.
    if (answer == 0) answer = kIdCancel;
  } else if (uiscript::BoxButtons(style).size() > 1)
    answer = uiscript::AnswerBoxFromScript(
        *script_, style, &answered,
        [&](const uiscript::ScriptLine& line, const std::string& why) { ScriptError(line, why); });
  log_.Record(uiscript::Event("message")
                  .Text("caption", caption)
                  .Text("text", text)
                  .Text("buttons", uiscript::ButtonsName(style))
                  .Text("answer", uiscript::AnswerWord(answer))
                  .Flag("answered", answered));
  return answer;
}

void Win32Ui::ScheduleScriptStep(HWND window) {
  SetTimer(window, kScriptTimer, pauseMs_ ? pauseMs_ : 1, nullptr);
}

void Win32Ui::ScriptDialogStep(DialogRun& run) {
  WinDialog& dialog = *run.dialog;
  const uiscript::ScriptLine* line = script_->Take("dialog " + std::to_string(run.tpl->id));
  if (line)
    uiscript::ApplyDialogLine(dialog, *line,
                              [&](const std::string& why) { ScriptError(*line, why); });
  run.answered = dialog.Ended();
  if (!dialog.Ended()) dialog.PressClosingButton();
}

INT_PTR CALLBACK Win32Ui::DialogRunProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_INITDIALOG) {
    auto* run = reinterpret_cast<DialogRun*>(lp);
    SetWindowLongPtrA(window, DWLP_USER, lp);
    run->dialog =
        std::make_unique<WinDialog>(window, *run->tpl, run->proc, run->param, run->ui->log_, true);
    INT_PTR placeFocus = run->dialog->Open();
    if (run->ui->Scripted() && !run->dialog->Ended()) run->ui->ScheduleScriptStep(window);
    return placeFocus;
  }
  auto* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrA(window, DWLP_USER));
  if (!run || !run->dialog) return FALSE;
  if (message == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    run->dialog->Command(LOWORD(wp));
    return TRUE;
  }
  // A dialog procedure answers these two with the brush itself.
  if (message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC) {
    HBRUSH brush =
        run->dialog->BackgroundBrush(reinterpret_cast<HDC>(wp), message == WM_CTLCOLORSTATIC);
    return reinterpret_cast<INT_PTR>(brush);
  }
  if (message == WM_TIMER && wp == kScriptTimer) {
    KillTimer(window, kScriptTimer);
    if (!run->dialog->Ended()) run->ui->ScriptDialogStep(*run);
    return TRUE;
  }
  return FALSE;
}

intptr_t Win32Ui::DialogBox(const DialogTemplate& tpl, WindowHandle owner, DialogProc proc,
                            void* param) {
  std::vector<WORD> memory = BuildDialogMemory(tpl);
  DialogRun run{this, &tpl, proc, param, nullptr};
  INT_PTR result = DialogBoxIndirectParamA(ThisModule(), AsDialogTemplate(memory), AsHwnd(owner),
                                           DialogRunProc, reinterpret_cast<LPARAM>(&run));
  // A dialog that could not be shown (no desktop: error 1400, a template the system refused) or
  // that went away without being ended was never answered: that is a Cancel, so no caller reads
  // an empty field as the user's entry or asks again without end.
  if (!run.dialog || !run.dialog->Ended()) {
    log_.Record(uiscript::Event("dialog-failed")
                    .Number("id", tpl.id)
                    .Number("result", static_cast<long long>(result))
                    .Number("error", static_cast<long long>(GetLastError())));
    return kIdCancel;
  }
  log_.Record(uiscript::Event("dialog-close")
                  .Number("id", tpl.id)
                  .Text("title", run.dialog->Title())
                  .Number("answer", static_cast<long long>(result))
                  .Flag("answered", run.answered));
  return result;
}

WindowHandle Win32Ui::FindWindowByClass(const char* className) {
  return reinterpret_cast<WindowHandle>(FindWindowA(className, nullptr));
}

void Win32Ui::EnableWindow(WindowHandle window, bool enable) {
  if (!IsWindow(AsHwnd(window))) return;
  ::EnableWindow(AsHwnd(window), enable);
  log_.Record(WindowEvent("window-enable", AsHwnd(window)).Flag("enabled", enable));
}

bool Win32Ui::IsWindowEnabled(WindowHandle window) {
  return IsWindow(AsHwnd(window)) && ::IsWindowEnabled(AsHwnd(window));
}

bool Win32Ui::GetWindowRect(WindowHandle window, Rect* rect) {
  RECT r;
  if (!rect || !::GetWindowRect(AsHwnd(window), &r)) return false;
  *rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

void Win32Ui::MoveWindow(WindowHandle window, int x, int y, int w, int h, bool repaint) {
  if (!::MoveWindow(AsHwnd(window), x, y, w, h, repaint)) return;
  log_.Record(WindowEvent("window-move", AsHwnd(window))
                  .Number("x", x)
                  .Number("y", y)
                  .Number("w", w)
                  .Number("h", h));
}

void Win32Ui::ScreenSize(int* width, int* height) {
  *width = GetSystemMetrics(SM_CXSCREEN);
  *height = GetSystemMetrics(SM_CYSCREEN);
}

void Win32Ui::BringToFront(WindowHandle window, int controlId) {
  HWND w = AsHwnd(window);
  if (!IsWindow(w)) return;
  SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(w);
  if (HWND control = controlId == -1 ? nullptr : GetDlgItem(w, controlId))
    SendMessageA(w, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  log_.Record(WindowEvent("bring-to-front", w).Number("control", controlId));
}

// The clipboard owns the block once it holds it; a block it did not take is ours to free.
bool Win32Ui::SetClipboardText(WindowHandle owner, const std::string& text) {
  if (!OpenClipboard(AsHwnd(owner))) return false;
  EmptyClipboard();
  bool placed = false;
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    if (void* bytes = GlobalLock(block)) {
      memcpy(bytes, text.c_str(), text.size() + 1);
      GlobalUnlock(block);
      placed = SetClipboardData(CF_TEXT, block) != nullptr;
    }
    if (!placed) GlobalFree(block);
  }
  CloseClipboard();
  if (placed) log_.Record(uiscript::Event("clipboard").Text("text", text));
  return placed;
}

bool Win32Ui::ChooseOpenFile(const std::string& filter, std::string* path) {
  bool executables = filter == "executables";
  std::string chosen;
  bool answered = false;
  if (Scripted()) {
    if (const uiscript::ScriptLine* line = script_->Take("open-file")) {
      chosen = line->rest;
      // The chooser lets only an existing file of the filter's kind be picked.
      answered = IsExistingFile(chosen) && (!executables || EndsWithIgnoringCase(chosen, ".exe"));
    }
  } else {
    char buffer[MAX_PATH] = "";
    strncpy(buffer, path->c_str(), sizeof buffer - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = executables ? "Executables (*.EXE)\0*.EXE\0" : "All files (*.*)\0*.*\0";
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    answered = GetOpenFileNameA(&ofn) != FALSE;
    if (answered) chosen = buffer;
  }
  log_.Record(uiscript::Event("open-file")
                  .Text("filter", filter)
                  .Text("initial", *path)
                  .Text("answer", chosen)
                  .Flag("answered", answered));
  if (!answered) return false;
  *path = chosen;
  return true;
}

void Win32Ui::BroadcastSettingsChange() {
  // Sent and waited for, but a window that hangs does not hold the program.
  SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  log_.Record(uiscript::Event("settings-change"));
}

bool Win32Ui::ChooseSaveAsPath(WindowHandle owner, const SaveAsRequest& request,
                               std::string* path) {
  std::string chosen;
  bool answered = true;
  if (Scripted()) {
    const uiscript::ScriptLine* line = script_->Take("save-as");
    answered = line != nullptr;
    if (line && line->rest != "cancel") {
      // The chooser takes a relative name in its folder and adds the default extension.
      chosen = line->rest;
      if (!IsAbsolutePath(chosen) && !request.startFolder.empty())
        chosen = request.startFolder + "\\" + chosen;
      size_t cut = chosen.find_last_of("\\/");
      std::string name = chosen.substr(cut == std::string::npos ? 0 : cut + 1);
      if (name.find('.') == std::string::npos && !request.defaultExtension.empty())
        chosen += "." + request.defaultExtension;
    }
  } else {
    char buffer[256] = "";
    strncpy(buffer, request.proposedName.c_str(), sizeof buffer - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = AsHwnd(owner);
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    ofn.lpstrInitialDir = request.startFolder.empty() ? nullptr : request.startFolder.c_str();
    ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    ofn.Flags = OFN_EXPLORER | (request.overwritePrompt ? OFN_OVERWRITEPROMPT : 0);
    if (GetSaveFileNameA(&ofn)) chosen = buffer;
  }
  log_.Record(uiscript::Event("save-as")
                  .Text("name", request.proposedName)
                  .Text("folder", request.startFolder)
                  .Text("extension", request.defaultExtension)
                  .Flag("overwrite-prompt", request.overwritePrompt)
                  .Text("answer", chosen.empty() ? "cancel" : chosen)
                  .Flag("answered", answered));
  *path = chosen;
  return !chosen.empty();
}

void Win32Ui::ShowWaitCursor(bool wait) {
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(wait ? IDC_WAIT : IDC_ARROW)));
  log_.Record(uiscript::Event("cursor").Text("shape", wait ? "wait" : "arrow"));
}

int Win32Ui::ShellOpen(const std::string& path) {
  int result = kShellOpened;
  bool answered = true;
  if (Scripted()) {
    // A script says what the shell answers; nothing is opened.
    answered = false;
    if (const uiscript::ScriptLine* line = script_->Take("shell")) {
      char* end = nullptr;
      long code = strtol(line->rest.c_str(), &end, 10);
      if (line->rest.empty() || *end != '\0') {
        ScriptError(*line, "the shell's result is not a number");
      } else {
        result = static_cast<int>(code);
        answered = true;
      }
    }
  } else {
    result = OpenWithDesktop(path);
  }
  log_.Record(uiscript::Event("shell")
                  .Text("path", path)
                  .Number("result", result)
                  .Flag("answered", answered));
  return result;
}

}  // namespace vp::win32
