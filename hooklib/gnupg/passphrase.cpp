// Passphrase acquisition.
#include "hooklib/gnupg/passphrase.h"

#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/core/trace.h"
#include "hooklib/resources/dialogs.h"
#include "platform/clock.h"

namespace vp {
namespace {

constexpr int kPasswordEdit = 1005;
constexpr int kEmptyPassphrase = 164;
constexpr int kWrongPassphrase = 159;

bool g_cancelled = false;

intptr_t PassphraseProc(Dialog& dialog, DialogMessage message, int controlId, void*) {
  SharedSettings& s = Settings();
  if (message == DialogMessage::kInit) {
    CenterWindow(dialog.Window());
    s.passphrase[0] = '\0';
    dialog.SetText(kPasswordEdit, s.passphrase);
    BringToFront(dialog.Window(), kPasswordEdit);
    return 0;
  }
  if (controlId == kIdOk) {
    std::string typed = dialog.Text(kPasswordEdit);
    CopyText(s.passphrase, typed.c_str());  // at most 255 characters are kept
    std::fill(typed.begin(), typed.end(), '\0');
    g_cancelled = false;
    dialog.End(kIdOk);
    return 1;
  }
  if (controlId == kIdCancel) {
    dialog.End(kIdCancel);
    g_cancelled = true;
    return 1;
  }
  return 0;
}

}  // namespace

void GetPassphrase(int dialogId) {
  SharedSettings& s = Settings();
  if (s.bUseAgent) {
    WriteTrace("Delegating to backend agent for user passphrase...");
    CopyText(s.passphrase, kAgentPlaceholder);
    return;
  }
  if (s.passphrase[0]) return;  // reuse does not renew the lifetime

  const DialogTemplate* tpl = FindDialogTemplate(dialogId);
  if (!tpl) return;
  g_cancelled = false;
  for (;;) {
    Ui().DialogBox(*tpl, NotesWindow(), PassphraseProc, nullptr);
    if (s.passphrase[0] || g_cancelled) break;
    ShowWarning("%s", MessageString(kEmptyPassphrase));
  }
  if (s.passphrase[0]) s.time_start = static_cast<int32_t>(GetClock().Now());
}

bool AskAgainAfterWrongPassphrase(int dialogId) {
  ShowError("%s", MessageString(kWrongPassphrase));
  Settings().passphrase[0] = '\0';
  GetPassphrase(dialogId);
  return Settings().passphrase[0] != '\0';
}

}  // namespace vp
