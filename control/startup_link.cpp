// Creating, finding and deleting the start-up shortcut, with the messages of each failure.
#include "control/startup_link.h"

#include "control/control_settings.h"
#include "platform/autostart.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/ui.h"

namespace vp::control {

bool GetStartupLinkPath(std::string* path) {
  RegistryKey key = nullptr;
  if (!RegistryOpenOrCreate("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            nullptr, &key)) {
    ShowControlError("Unable to open registry for reading!");
    return false;
  }
  char folder[260] = "";
  bool named = RegistryReadString(key, "Startup", folder, sizeof folder);
  RegistryClose(key);
  std::string chosen = named ? folder : DefaultStartupFolder();
  if (chosen.empty()) {
    ShowControlError("Unable to read startup path from registry!");
    return false;
  }
  *path = chosen + kPathSeparator + kStartupShortcutName;
  return true;
}

bool StartupLinkExists() {
  std::string path;
  return GetStartupLinkPath(&path) && PathExists(path);
}

bool CreateStartupLink() {
  std::string target;
  if (!OwnExecutablePath(&target)) {
    ShowControlError("Unable to get module filename!");
    return false;
  }
  std::string path;
  if (!GetStartupLinkPath(&path)) return false;
  std::string error;
  if (WriteStartupShortcut(target, path, &error)) return true;
  ShowControlError(error.c_str());
  return false;
}

bool DeleteStartupLink() {
  std::string path;
  if (!GetStartupLinkPath(&path)) return false;
  if (!DeleteFilePath(path)) {
    ShowControlError(("Unable to delete " + path + "!").c_str());
    return false;
  }
  Ui().BroadcastSettingsChange();
  return true;
}

}  // namespace vp::control
