// Auto-start port: the user's start-up folder and the shortcut that starts a program at logon.
#pragma once
#include <string>

namespace vp {

// The shortcut's file name in the start-up folder ("Veilpost Control.desktop" on POSIX).
extern const char* const kStartupShortcutName;

// The start-up folder when the settings name none: $XDG_CONFIG_HOME/autostart, else
// ~/.config/autostart. "" when there is no home.
std::string DefaultStartupFolder();

// The running program's absolute path; false when it cannot be learnt.
bool OwnExecutablePath(std::string* path);

// Writes a shortcut at `linkPath` that starts `target` (a desktop entry on POSIX, its folder
// made when missing). False with the system's reason in *error.
bool WriteStartupShortcut(const std::string& target, const std::string& linkPath,
                          std::string* error);

// The Exec value of a desktop entry that runs `program` with no arguments: quoted and escaped
// as the desktop-entry rules ask.
std::string DesktopExecValue(const std::string& program);

}  // namespace vp
