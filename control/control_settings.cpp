// LoadSettings and SaveSettings, with their messages and write order.
#include "control/control_settings.h"

#include <cstring>

#include "control/control_resources.h"
#include "hooklib/core/startup.h"
#include "platform/default_paths.h"
#include "platform/registry.h"
#include "platform/ui.h"

namespace vp::control {
namespace {

constexpr const char* kWriteFailed = "Unable to write configuration values to registry!";
constexpr const char* kPathWriteFailed = "Unable to write default GPG program path to registry!";

void ReadFlag(RegistryKey key, const char* name, bool* flag) {
  uint32_t value = 0;
  if (RegistryReadDword(key, name, &value)) *flag = value != 0;
}

}  // namespace

void ShowControlInformation(const char* text) {
  Ui().MessageBox(nullptr, text, ControlString(kStrInformation), kMbOk | kMbIconInformation);
}

void ShowControlError(const char* text) {
  Ui().MessageBox(nullptr, text, ControlString(kStrError), kMbOk | kMbIconError);
}

void LoadSettings(ControlState& state) {
  SharedSettings& s = *state.shared;
  RegistryKey key = nullptr;
  bool open = RegistryOpenOrCreate(kConfigKeyPath, kConfigKeyClass, &key);
  if (!open || !RegistryReadDword(key, "CacheInterval", &s.cacheInterval)) {
    s.cacheInterval = 2;
    if (!RegistryWriteDword(key, "CacheInterval", 2))
      ShowControlError("Unable to write default cache interval to registry!");
  }
  ReadFlag(key, "StartMin", &state.startMin);
  ReadFlag(key, "TrayMin", &state.trayMin);
  ReadFlag(key, "UseAgent", &state.useAgent);
  if (state.gnupgEdition &&
      !RegistryReadString(key, "GpgProgramPath", s.szGpgApp, sizeof s.szGpgApp)) {
    std::strncpy(s.szGpgApp, kDefaultGpgPath, sizeof s.szGpgApp - 1);
    s.szGpgApp[sizeof s.szGpgApp - 1] = '\0';
    if (!RegistryWriteString(key, "GpgProgramPath", s.szGpgApp)) ShowControlError(kPathWriteFailed);
  }
  RegistryClose(key);
}

void SaveSettings(const ControlState& state) {
  const SharedSettings& s = *state.shared;
  RegistryKey key = nullptr;
  if (!RegistryOpenOrCreate(kConfigKeyPath, kConfigKeyClass, &key)) ShowControlError(kWriteFailed);
  const struct {
    const char* name;
    uint32_t value;
  } values[] = {{"CacheInterval", s.cacheInterval},
                {"StartMin", state.startMin ? 1u : 0u},
                {"TrayMin", state.trayMin ? 1u : 0u},
                {"UseAgent", state.useAgent ? 1u : 0u}};
  for (const auto& v : values)
    if (!RegistryWriteDword(key, v.name, v.value)) ShowControlError(kWriteFailed);
  if (state.gnupgEdition && !RegistryWriteString(key, "GpgProgramPath", s.szGpgApp))
    ShowControlError(kPathWriteFailed);
  RegistryClose(key);
}

}  // namespace vp::control
