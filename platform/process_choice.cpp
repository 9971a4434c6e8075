// The process's launcher: the platform's own unless a test installed another.
#include <atomic>

#include "platform/process.h"

namespace vp {
namespace {

std::atomic<ProcessLauncher*> g_installed_launcher{nullptr};

}  // namespace

ProcessLauncher& GetProcessLauncher() {
  ProcessLauncher* installed = g_installed_launcher.load(std::memory_order_acquire);
  return installed ? *installed : PlatformProcessLauncher();
}

void SetProcessLauncher(ProcessLauncher* launcher) {
  g_installed_launcher.store(launcher, std::memory_order_release);
}

}  // namespace vp
