// The control program: its start-up, its main window's procedure and its command table.
#pragma once
#include "control/control_settings.h"
#include "platform/ui.h"

namespace vp::control {

constexpr int kTrayIconId = 32869;
constexpr const char* kTrayTip = "Veilpost Control";

class ControlProgram final : public MainWindowProc {
 public:
  explicit ControlProgram(ControlState& state) : state_(state) {}

  void Created(Dialog& window) override;
  void Command(int id) override;
  void Timer() override;
  void TrayClicked(bool doubleClick) override;
  void TaskbarCreated() override;
  void EndRequested() override { Command(kIdExitCommand); }
  void MinimiseRequested() override;

 private:
  static constexpr int kIdExitCommand = 1028;
  void ShowTrayMenu();
  void ShowAbout();

  ControlState& state_;
  Dialog* window_ = nullptr;
};

// The whole program: lock, settings, window, loop. Returns the exit code.
int RunControlProgram(SharedSettings* shared, int tickMs);

}  // namespace vp::control
