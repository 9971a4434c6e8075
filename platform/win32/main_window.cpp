// The main window of a program: a dialog template made into a window of its own class, its
// message loop, the expiry timer, the notification-area icon and its menu.
#include "platform/win32/dialog_memory.h"
#include "platform/win32/win_ui_internal.h"

namespace vp::win32 {
namespace {

// The class the main window's template names; registered with 8-bit texts like every window here.
constexpr char kMainClass[] = "CORVANE";
constexpr UINT_PTR kTickTimer = 1;
// The icon's callback: the first application-defined message number plus 100.
constexpr UINT kTrayMessage = WM_APP + 100;
constexpr int kIconResource = 102;

// One main window per process; its class procedure finds the window's state here.
Win32Ui::MainWindow* g_main = nullptr;

// A main window has no closing dialog result; its commands all go to the program.
intptr_t ForwardCommand(Dialog&, DialogMessage message, int controlId, void* param) {
  if (message == DialogMessage::kCommand) static_cast<MainWindowProc*>(param)->Command(controlId);
  return 1;
}

HICON LoadProgramIcon(int size) {
  if (HANDLE icon =
          LoadImageA(ThisModule(), MAKEINTRESOURCEA(kIconResource), IMAGE_ICON, size, size, 0))
    return static_cast<HICON>(icon);
  return nullptr;
}

void RegisterMainClass() {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = Win32Ui::MainWindowProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;  // a dialog template that names a class needs this much
  wc.hInstance = ThisModule();
  wc.hIcon = LoadIconA(ThisModule(), MAKEINTRESOURCEA(kIconResource));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainClass;
  RegisterClassExA(&wc);  // already registered by an earlier run: the same class serves
}

}  // namespace

LRESULT CALLBACK Win32Ui::MainWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  MainWindow* main = g_main;
  if (!main || !main->dialog || main->window != window) return DefDlgProcA(window, message, wp, lp);
  Win32Ui& ui = *main->ui;
  if (message == main->taskbarCreated && message != 0) {
    main->proc->TaskbarCreated();
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wp) != 0) break;
      main->dialog->Command(LOWORD(wp));
      return 0;
    case WM_TIMER:
      if (wp == kTickTimer) {
        ui.log_.Record(uiscript::Event("timer"));
        main->proc->Timer();
      } else if (wp == kScriptTimer) {
        KillTimer(window, kScriptTimer);
        if (ui.ScriptMainStep(*main) && main->window) ui.ScheduleScriptStep(main->window);
      }
      return 0;
    case kTrayMessage:
      if (lp == WM_LBUTTONDBLCLK || lp == WM_RBUTTONDOWN) {
        main->proc->TrayClicked(lp == WM_LBUTTONDBLCLK);
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      // The program minimises the window itself, to the taskbar or the tray; the default
      // processing would show a hidden window again.
      if ((wp & 0xFFF0) == SC_MINIMIZE) {
        main->proc->MinimiseRequested();
        return 0;
      }
      break;
    case WM_CLOSE:
      ui.log_.Record(uiscript::Event("end-request").Text("by", "close"));
      main->proc->EndRequested();
      return 0;
    case WM_ENDSESSION:
      if (wp) {
        ui.log_.Record(uiscript::Event("end-request").Text("by", "logoff"));
        main->proc->EndRequested();
      }
      return 0;
    case WM_DESTROY:
      KillTimer(window, kTickTimer);
      KillTimer(window, kScriptTimer);
      main->window = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefDlgProcA(window, message, wp, lp);
}

bool Win32Ui::ScriptMainStep(MainWindow& main) {
  return uiscript::StepMainWindow(
      *script_, main.tpl->id, *main.dialog, *main.proc, &menuChoice_,
      [&](const uiscript::ScriptLine& line, const std::string& why) { ScriptError(line, why); });
}

void Win32Ui::RunMainWindow(const DialogTemplate& tpl, vp::MainWindowProc& proc, int tickMs) {
  if (tickMs <= 0) tickMs = 1;
  RegisterMainClass();
  MainWindow main{this, &tpl, &proc, nullptr, nullptr, nullptr, 0, false};
  main.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  std::vector<WORD> memory = BuildDialogMemory(tpl, Widen(kMainClass).c_str());
  HWND window =
      CreateDialogIndirectParamA(ThisModule(), AsDialogTemplate(memory), nullptr, nullptr, 0);
  if (!window) {
    log_.Record(uiscript::Event("dialog-failed")
                    .Number("id", tpl.id)
                    .Number("error", static_cast<long long>(GetLastError())));
    return;
  }
  main.window = main.trayWindow = window;
  main.dialog = std::make_unique<WinDialog>(window, tpl, ForwardCommand, &proc, log_, false);
  main_ = g_main = &main;
  main.dialog->Open();
  proc.Created(*main.dialog);
  if (main.window) {
    SetTimer(window, kTickTimer, static_cast<UINT>(tickMs), nullptr);
    log_.Record(uiscript::Event("timer-start").Number("period", tickMs));
    if (Scripted()) ScheduleScriptStep(window);
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (main.window && IsDialogMessageA(main.window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  log_.Record(uiscript::Event("timer-stop"));
  log_.Record(
      uiscript::Event("window-destroy").Number("id", tpl.id).Text("title", main.dialog->Title()));
  g_main = nullptr;
  // The icon is deleted after the loop; it still names the window it was added for.
  trayWindow_ = main.trayWindow;
  main_ = nullptr;
}

void Win32Ui::QuitMainWindow() {
  if (main_ && main_->window) DestroyWindow(main_->window);
}

void Win32Ui::ShowMainWindow(WindowShow how) {
  static const char* const kNames[] = {"normal", "minimised", "hidden", "restored"};
  static const int kCommands[] = {SW_SHOW, SW_SHOWMINIMIZED, SW_HIDE, SW_RESTORE};
  if (main_ && main_->window) {
    int command = kCommands[static_cast<int>(how)];
    if (how == WindowShow::kNormal && !main_->shown) command = SW_SHOWDEFAULT;
    main_->shown = main_->shown || how != WindowShow::kHidden;
    ShowWindow(main_->window, command);
  }
  log_.Record(uiscript::Event("window-show").Text("show", kNames[static_cast<int>(how)]));
}

bool Win32Ui::SetTrayIcon(bool add, int iconId, const std::string& tip) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = main_ ? main_->trayWindow : trayWindow_;
  data.uID = static_cast<UINT>(iconId);
  HICON icon = nullptr;
  if (add) {
    icon = LoadProgramIcon(16);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = icon ? icon : LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    lstrcpynA(data.szTip, tip.c_str(), sizeof data.szTip);
  }
  bool done = Shell_NotifyIconA(add ? NIM_ADD : NIM_DELETE, &data) != FALSE;
  if (icon) DestroyIcon(icon);
  uiscript::Event e(add ? "tray-add" : "tray-delete");
  e.Number("icon", iconId);
  if (add) e.Text("tip", tip);
  log_.Record(e.Flag("shown", done));
  return done;
}

int Win32Ui::TrackMenu(const std::vector<MenuItem>& items) {
  int chosen = menuChoice_;
  HWND owner = main_ ? main_->window : nullptr;
  if (!Scripted() && owner) {
    HMENU bar = CreateMenu();
    HMENU popup = CreatePopupMenu();
    if (bar && popup) {
      for (const MenuItem& item : items)
        AppendMenuA(popup, item.id ? MF_STRING : MF_SEPARATOR, static_cast<UINT_PTR>(item.id),
                    item.id ? item.text.c_str() : nullptr);
      AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), "");
      POINT at{};
      GetCursorPos(&at);
      SetForegroundWindow(owner);
      chosen = TrackPopupMenu(
          popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x,
          at.y, 0, owner, nullptr);
      PostMessageA(owner, WM_NULL, 0, 0);  // lets the menu close when the user clicks elsewhere
    }
    if (bar)
      DestroyMenu(bar);  // and with it the pop-up
    else if (popup)
      DestroyMenu(popup);
  }
  log_.Record(uiscript::MenuEvent(items, &chosen));
  return chosen;
}

}  // namespace vp::win32
