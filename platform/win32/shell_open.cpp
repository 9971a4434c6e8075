// Opening a file with its associated program through the shell's "open" verb.
#include <windows.h>

#include <shellapi.h>

#include "platform/process.h"

namespace vp {

int OpenWithDesktop(const std::string& path) {
  HINSTANCE result = ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  // The shell answers with a number dressed as a handle: above 32 is success.
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace vp
