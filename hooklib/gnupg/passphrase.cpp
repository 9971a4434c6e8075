// Passphrase acquisition.
#include "hooklib/gnupg/passphrase.h"

#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "hooklib/resources/dialogs.h"
#include "platform/clock.h"

namespace vp {
namespace {

constexpr int kPasswordEdit = 1005;
constexpr int kEmptyPassphrase = 164;
constexpr int kWrongPassphrase = 159;

bool g_cancelled = false;

intptr_t PassphraseProc(Dialog& dialog, DialogMessage message, int controlId, void*) {
  char* passphrase = Passphrase();
  if (message == DialogMessage::kInit) {
    CenterWindow(dialog.Window());
    passphrase[0] = '\0';
    dialog.SetText(kPasswordEdit, passphrase);
    BringToFront(dialog.Window(), kPasswordEdit);
    return 0;
  }
  if (controlId == kIdOk) {
    std::string typed = dialog.Text(kPasswordEdit);
    CopyText(passphrase, kPassphraseCapacity, typed.c_str());  // at most 255 characters are kept
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
  char* passphrase = Passphrase();
  if (s.bUseAgent) {
    WriteTrace("Delegating to backend agent for user passphrase...");
    CopyText(passphrase, kPassphraseCapacity, kAgentPlaceholder);
    return;
  }
  if (passphrase[0]) return;  // reuse does not renew the lifetime

  const DialogTemplate* tpl = FindDialogTemplate(dialogId);
  if (!tpl) return;
  g_cancelled = false;
  for (;;) {
    Ui().DialogBox(*tpl, NotesWindow(), PassphraseProc, nullptr);
    if (passphrase[0] || g_cancelled) break;
    ShowWarning("%s", MessageString(kEmptyPassphrase));
  }
  if (passphrase[0]) s.time_start = static_cast<int32_t>(GetClock().Now());
}

bool AskAgainAfterWrongPassphrase(int dialogId) {
  SharedSettings& s = Settings();
  ShowError("%s", MessageString(kWrongPassphrase));
  Passphrase()[0] = '\0';
  if (s.bUseAgent) {
    // The agent has asked already and had its own retries; the placeholder would only fail
    // again, without end.
    WriteTrace("Wrong passphrase in agent mode: the operation is abandoned.");
    GnuPGVersion v = ProgramVersion(s.szGpgApp);
    if (v.known && v.major < 2) {
      WriteTrace("GnuPG %d.%d has no agent to ask for the passphrase; set UseAgent to 0.", v.major,
                 v.minor);
    }
    return false;
  }
  GetPassphrase(dialogId);
  return Passphrase()[0] != '\0';
}

}  // namespace vp
