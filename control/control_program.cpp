// The control program's start-up, window procedure, tray menu and command table.
#include "control/control_program.h"

#include <cstring>
#include <string>

#include "control/configuration_dialog.h"
#include "control/control_resources.h"
#include "control/passphrase_expiry.h"
#include "control/startup_link.h"
#include "hooklib/core/messages.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"

namespace vp::control {
namespace {

intptr_t AboutProc(Dialog& dialog, DialogMessage message, int controlId, void* param) {
  if (message == DialogMessage::kInit) {
    const SharedSettings& s = *static_cast<const SharedSettings*>(param);
    dialog.SetText(kIdVersionLine,
                   std::string(s.szVersion, strnlen(s.szVersion, sizeof s.szVersion)));
    dialog.SetFontWeight(kIdVersionLine, 900);
    dialog.UseWhiteBackground();
    CenterWindow(dialog.Window());
    return 1;
  }
  if (controlId == 1 || controlId == 2) {
    dialog.End(controlId);
    return 1;
  }
  return 0;
}

}  // namespace

void ControlProgram::Created(Dialog& window) {
  window_ = &window;
  CenterWindow(window.Window());
  Ui().ShowMainWindow(state_.startMin ? WindowShow::kMinimised : WindowShow::kNormal);
  window.SetCheck(kIdAutoStart, StartupLinkExists());
  window.SetCheck(kIdStartMin, state_.startMin);
  window.SetCheck(kIdTrayMin, state_.trayMin);
  if (state_.startMin && state_.trayMin) Ui().ShowMainWindow(WindowShow::kHidden);
  Ui().SetTrayIcon(true, kTrayIconId, kTrayTip);
  state_.shared->time_start = static_cast<int32_t>(GetClock().Now());
}

void ControlProgram::Command(int id) {
  switch (id) {
    case kIdAboutButton:
      ShowAbout();
      break;
    case kIdOptions:
      RunConfigurationDialog(state_, window_->Window());
      break;
    case kIdClear:
      ClearPassphrase(*state_.shared, state_.useAgent);
      ShowControlInformation(ControlString(kStrCleared));
      break;
    case kIdExit:
      Ui().QuitMainWindow();
      break;
    case kIdAutoStart:
      if (StartupLinkExists())
        DeleteStartupLink();
      else
        CreateStartupLink();
      window_->SetCheck(kIdAutoStart, StartupLinkExists());
      break;
    case kIdStartMin:
      state_.startMin = !state_.startMin;
      window_->SetCheck(kIdStartMin, state_.startMin);
      SaveSettings(state_);
      break;
    case kIdTrayMin:
      state_.trayMin = !state_.trayMin;
      window_->SetCheck(kIdTrayMin, state_.trayMin);
      SaveSettings(state_);
      break;
    default:
      break;
  }
}

void ControlProgram::Timer() {
  ExpiryTick(*state_.shared, state_.useAgent);
}

void ControlProgram::TrayClicked(bool doubleClick) {
  if (!doubleClick) {
    ShowTrayMenu();
    return;
  }
  Ui().ShowMainWindow(WindowShow::kNormal);
  Ui().ShowMainWindow(WindowShow::kRestored);
  Ui().BringToFront(window_->Window(), -1);
}

void ControlProgram::MinimiseRequested() {
  Ui().ShowMainWindow(WindowShow::kMinimised);
  if (state_.trayMin) Ui().ShowMainWindow(WindowShow::kHidden);
}

void ControlProgram::TaskbarCreated() {
  Ui().SetTrayIcon(true, kTrayIconId, kTrayTip);
}

void ControlProgram::ShowTrayMenu() {
  int chosen = Ui().TrackMenu({{kIdAboutButton, ControlString(kStrAbout)},
                               {0, ""},
                               {kIdOptions, ControlString(kStrOptions)},
                               {kIdClear, ControlString(kStrClear)},
                               {0, ""},
                               {kIdExit, ControlString(kStrExit)}});
  if (chosen) Command(chosen);
}

void ControlProgram::ShowAbout() {
  Ui().DialogBox(*ControlTemplate(109), window_->Window(), AboutProc, state_.shared);
}

int RunControlProgram(SharedSettings* shared, int tickMs) {
  bool heldByOther = false;
  InstanceLock lock = AcquireInstanceLock("CORVANE", &heldByOther);
  if (!lock && heldByOther) {
    ShowControlError("Another instance of this application is already running.");
    return 0;
  }
  if (!shared) {
    ShowControlError("The shared settings cannot be reached.");
    ReleaseInstanceLock(lock);
    return 0;
  }
  ControlState state;
  state.shared = shared;
  state.gnupgEdition = std::strstr(shared->szVersion, "GnuPG") != nullptr;
  LoadSettings(state);
  ControlProgram program(state);
  Ui().RunMainWindow(*ControlTemplate(125), program, tickMs);
  Ui().SetTrayIcon(false, kTrayIconId, "");
  ReleaseInstanceLock(lock);
  return 0;
}

}  // namespace vp::control
