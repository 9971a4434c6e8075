// The main window's message loop without a window system: the window's commands come from the
// front end, the timer from the monotonic clock, and SIGTERM/SIGINT end it as Exit does.
#include <signal.h>
#include <time.h>

#include <chrono>
#include <cstring>

#include "platform/headless/headless_ui.h"

namespace vp::headless {
namespace {

volatile sig_atomic_t g_end_signal = 0;

void OnEndSignal(int signal) {
  g_end_signal = signal;
}

// Catches the end signals for the life of the loop; the old handlers come back afterwards.
class EndSignals {
 public:
  EndSignals() {
    g_end_signal = 0;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnEndSignal;
    sigemptyset(&sa.sa_mask);  // no SA_RESTART: a signal cuts the wait short
    sigaction(SIGTERM, &sa, &oldTerm_);
    sigaction(SIGINT, &sa, &oldInt_);
  }
  ~EndSignals() {
    sigaction(SIGTERM, &oldTerm_, nullptr);
    sigaction(SIGINT, &oldInt_, nullptr);
  }
  int Take() {
    int s = g_end_signal;
    g_end_signal = 0;
    return s;
  }

 private:
  struct sigaction oldTerm_;
  struct sigaction oldInt_;
};

int64_t MonotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A main window has no closing dialog result; its commands all go to the program.
intptr_t ForwardCommand(Dialog&, DialogMessage message, int controlId, void* param) {
  if (message == DialogMessage::kCommand) static_cast<MainWindowProc*>(param)->Command(controlId);
  return 1;
}

}  // namespace

void HeadlessUi::WaitMs(int ms) {
  if (ms <= 0 || g_end_signal) return;
  struct timespec ts {
    ms / 1000, static_cast<long>(ms % 1000) * 1000000L
  };
  nanosleep(&ts, nullptr);  // EINTR on a signal: the loop looks at once
}

void HeadlessUi::MainWindowStep(VirtualDialog& window, MainWindowProc& proc, int waitMs) {
  (void)window;
  (void)proc;
  WaitMs(waitMs);
}

void HeadlessUi::RunMainWindow(const DialogTemplate& tpl, MainWindowProc& proc, int tickMs) {
  if (tickMs <= 0) tickMs = 1;
  VirtualDialog window(tpl, ForwardCommand, &proc, log_);
  main_ = &window;
  quit_ = false;
  window.Open();
  proc.Created(window);
  EndSignals signals;
  log_.Record(Event("timer-start").Number("period", tickMs));
  int64_t next = MonotonicMs() + tickMs;
  while (!quit_) {
    if (int s = signals.Take()) {
      log_.Record(Event("signal").Number("signal", s));
      proc.EndRequested();
      continue;
    }
    int64_t now = MonotonicMs();
    if (now >= next) {
      log_.Record(Event("timer"));
      proc.Timer();
      // Counted from the end of the handler, as a window system's timer is: a handler slower
      // than the period must not starve the window's own input.
      next = MonotonicMs() + tickMs;
      continue;
    }
    MainWindowStep(window, proc, static_cast<int>(next - now));
  }
  log_.Record(Event("timer-stop"));
  log_.Record(Event("window-destroy").Number("id", tpl.id).Text("title", window.Title()));
  main_ = nullptr;
}

void HeadlessUi::ShowMainWindow(WindowShow how) {
  static const char* const kNames[] = {"normal", "minimised", "hidden", "restored"};
  log_.Record(Event("window-show").Text("show", kNames[static_cast<int>(how)]));
}

bool HeadlessUi::SetTrayIcon(bool add, int iconId, const std::string& tip) {
  Event e(add ? "tray-add" : "tray-delete");
  e.Number("icon", iconId);
  if (add) e.Text("tip", tip);
  log_.Record(e);
  return true;
}

int HeadlessUi::TrackMenu(const std::vector<MenuItem>& items) {
  int chosen = ChooseMenuItem(items);
  log_.Record(MenuEvent(items, &chosen));
  return chosen;
}

}  // namespace vp::headless
