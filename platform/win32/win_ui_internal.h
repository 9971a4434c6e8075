// What the Win32 user interface's files share: the state of a running dialog and of the main
// window, and the private messages and timers.
#pragma once
#include <memory>

#include "platform/win32/win_dialog.h"
#include "platform/win32/win_ui.h"

namespace vp::win32 {

// The timer that carries out the next script step on a window once it has been painted.
constexpr UINT_PTR kScriptTimer = 0x5650;

struct Win32Ui::DialogRun {
  Win32Ui* ui;
  const DialogTemplate* tpl;
  DialogProc proc;
  void* param;
  std::unique_ptr<WinDialog> dialog;
  bool answered = true;
};

struct Win32Ui::MainWindow {
  Win32Ui* ui;
  const DialogTemplate* tpl;
  vp::MainWindowProc* proc;
  HWND window = nullptr;
  HWND trayWindow = nullptr;  // the icon's owner, still named when the icon goes after the window
  std::unique_ptr<WinDialog> dialog;
  UINT taskbarCreated = 0;
  bool shown = false;  // the first showing takes the show command the program was started with
};

}  // namespace vp::win32
