// The configuration dialog's procedure and the open-file chooser for the GnuPG program.
#include "control/configuration_dialog.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "control/control_resources.h"
#include "hooklib/core/messages.h"

namespace vp::control {
namespace {

// The agent check box greys the cache interval: with the agent on, the agent keeps the
// passphrase.
void ShowAgent(Dialog& dialog, bool useAgent) {
  dialog.SetCheck(kIdUseAgent, useAgent);
  for (int id : {kIdCacheMinutes, kIdCacheLabel, kIdMinutesLabel}) dialog.Enable(id, !useAgent);
}

void CopyPath(char (&dest)[256], const std::string& path) {
  std::snprintf(dest, sizeof dest, "%s", path.c_str());
}

// Shows the open-file chooser for executables, `buffer` being the initial name and receiving
// the chosen path.
bool ChooseExecutable(char (&buffer)[256]) {
  std::string path(buffer, strnlen(buffer, sizeof buffer));
  if (!Ui().ChooseOpenFile("executables", &path) || path.size() >= sizeof buffer) return false;
  CopyPath(buffer, path);
  return true;
}

intptr_t ConfigurationProc(Dialog& dialog, DialogMessage message, int id, void* param) {
  ControlState& state = *static_cast<ControlState*>(param);
  SharedSettings& s = *state.shared;
  if (message == DialogMessage::kInit) {
    dialog.SetText(kIdCacheMinutes, std::to_string(static_cast<int32_t>(s.cacheInterval)));
    dialog.SetRange(kIdCacheUpDown, 0, 99);
    if (state.gnupgEdition) {
      dialog.SetText(kIdGpgPath, std::string(s.szGpgApp, strnlen(s.szGpgApp, sizeof s.szGpgApp)));
      ShowAgent(dialog, state.useAgent);
    }
    CenterWindow(dialog.Window());
    return 1;
  }
  switch (id) {
    case 1:
      s.cacheInterval = ParseCacheMinutes(dialog.Text(kIdCacheMinutes).substr(0, 255));
      if (state.gnupgEdition) CopyPath(s.szGpgApp, dialog.Text(kIdGpgPath));
      SaveSettings(state);
      dialog.End(1);
      return 1;
    case 2:
      dialog.End(2);
      return 1;
    case kIdUseAgent:
      state.useAgent = !state.useAgent;
      ShowAgent(dialog, state.useAgent);
      SaveSettings(state);
      return 1;
    case kIdBrowse:
      if (ChooseExecutable(s.szGpgApp)) {
        dialog.SetText(kIdGpgPath, s.szGpgApp);
        state.useAgent = IsGpg2Program(s.szGpgApp);
        ShowAgent(dialog, state.useAgent);
        SaveSettings(state);
      }
      return 1;
    default:
      return 0;
  }
}

}  // namespace

uint32_t ParseCacheMinutes(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  uint32_t minutes = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    minutes = minutes * 10 + static_cast<uint32_t>(text[i] - '0');
    if (minutes > kMaxCacheMinutes) minutes = kMaxCacheMinutes + 1;  // no overflow on long input
  }
  if (negative) return 0;
  return minutes > kMaxCacheMinutes ? kMaxCacheMinutes : minutes;
}

bool IsGpg2Program(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name == "gpg2" || name == "gpg2.exe";
}

intptr_t RunConfigurationDialog(ControlState& state, WindowHandle owner) {
  return Ui().DialogBox(*ControlTemplate(state.gnupgEdition ? 110 : 103), owner, ConfigurationProc,
                        &state);
}

}  // namespace vp::control
