// The start-up shortcut: the control program starts at logon while it exists.
#pragma once
#include <string>

namespace vp::control {

// The shortcut's path in the start-up folder (the Shell Folders "Startup" value, else the
// platform's own); false after an error box.
bool GetStartupLinkPath(std::string* path);
bool StartupLinkExists();
// Each false after an error box.
bool CreateStartupLink();
bool DeleteStartupLink();

}  // namespace vp::control
