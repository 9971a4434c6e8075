// The module (DLL or program) that holds the calling code, for its resources.
#pragma once
#include <windows.h>

namespace vp::win32 {

// The module whose image contains this function: orlavex.dll inside the library, the program
// itself when the platform code is linked into an executable.
HMODULE OwnModule();

}  // namespace vp::win32
