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

// Wrong passphrases GnuPG reported since the operation asked with GetPassphrase.
int g_wrong = 0;

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
    dialog.End(kIdOk);
    return 1;
  }
  if (controlId == kIdCancel) {
    dialog.End(kIdCancel);
    return 1;
  }
  return 0;
}

// Shows the dialog until a passphrase is typed, the user cancels, or kMaxPassphraseAttempts
// empty entries in a row. Only OK counts as an answer: a dialog that could not be shown, or was
// closed any other way, is a Cancel (never an empty entry to ask about again).
void AskForPassphrase(int dialogId) {
  SharedSettings& s = Settings();
  char* passphrase = Passphrase();
  const DialogTemplate* tpl = FindDialogTemplate(dialogId);
  if (!tpl) return;
  for (int shown = 1;; ++shown) {
    if (Ui().DialogBox(*tpl, NotesWindow(), PassphraseProc, nullptr) != kIdOk) {
      passphrase[0] = '\0';
      return;
    }
    if (passphrase[0]) break;
    if (shown == kMaxPassphraseAttempts) {
      ShowWarning("No passphrase was entered %d times in a row: the operation is abandoned.",
                  kMaxPassphraseAttempts);
      return;
    }
    ShowWarning("%s", MessageString(kEmptyPassphrase));
  }
  s.time_start = static_cast<int32_t>(GetClock().Now());
}

}  // namespace

int64_t PassphraseSecondsLeft(int64_t now, int32_t start, uint32_t intervalMinutes) {
  const int64_t elapsed =
      static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(start));
  if (elapsed < 0) return 0;
  const int64_t left = int64_t{intervalMinutes} * 60 - elapsed;
  return left > 0 ? left : 0;
}

void GetPassphrase(int dialogId) {
  SharedSettings& s = Settings();
  char* passphrase = Passphrase();
  g_wrong = 0;  // a new operation
  if (s.bUseAgent) {
    WriteTrace("Delegating to backend agent for user passphrase...");
    CopyText(passphrase, kPassphraseCapacity, kAgentPlaceholder);
    return;
  }
  if (passphrase[0]) return;  // reuse does not renew the lifetime
  AskForPassphrase(dialogId);
}

bool AskAgainAfterWrongPassphrase(int dialogId) {
  SharedSettings& s = Settings();
  Passphrase()[0] = '\0';
  if (++g_wrong >= kMaxPassphraseAttempts) {
    ShowError(
        "The passphrase you have entered is incorrect.\nIt was wrong %d times in a row: the "
        "operation is abandoned.",
        kMaxPassphraseAttempts);
    return false;
  }
  ShowError("%s", MessageString(kWrongPassphrase));
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
  AskForPassphrase(dialogId);
  return Passphrase()[0] != '\0';
}

}  // namespace vp
