// The shared library's load and unload processing on POSIX: constructor and destructor stand
// where the Windows entry point's process attach and detach stand.
#include "hooklib/core/startup.h"

namespace {

__attribute__((constructor)) void OnLoad() {
  try {
    vp::ProcessAttach();
  } catch (...) {
    // A library that cannot finish its start-up still loads; its calls report failures.
  }
}

__attribute__((destructor)) void OnUnload() {
  try {
    vp::ProcessDetach();
  } catch (...) {
  }
}

}  // namespace
