// The "Import public key(s)" dialog and the import and signing runs behind its buttons.
#include "hooklib/incoming/key_import.h"

#include <cstdio>
#include <cstring>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/gnupg/text_utils.h"
#include "hooklib/resources/dialogs.h"

namespace vp {
namespace {

constexpr int kKeyList = 1008;
constexpr int kImport = 1009;
constexpr int kImportAndSign = 1010;
constexpr int kExit = 1004;
constexpr int kImportedMessage = 166;
constexpr int kImportedAndSignedMessage = 167;

char g_caption[256];
char g_source[256];

intptr_t ImportKeysProc(Dialog& dialog, DialogMessage message, int controlId, void*) {
  if (message == DialogMessage::kInit) {
    CenterWindow(dialog.Window());
    const StringList& lines = UserIdList();
    for (int i = lines.count - 1; i >= 0; --i) dialog.ListAdd(kKeyList, lines.items[i]);
    dialog.ListSelect(kKeyList, 0);
    dialog.SetTitle(g_caption);
    BringToFront(dialog.Window(), kKeyList);
    return 0;
  }
  switch (controlId) {
    case kImport:
      ImportListedKeys(0);
      return 1;
    case kImportAndSign:
      ImportListedKeys(1);
      return 1;
    case kExit:
    case kIdCancel:
      dialog.End(kExit);
      return 1;
    default:
      return 0;
  }
}

}  // namespace

void ShowKeyImportDialog(const char* caption, const char* source) {
  if (!source || strlen(source) >= sizeof g_source) {
    ShowError("The file name is too long to import keys from.");
    return;
  }
  CopyText(g_caption, caption ? caption : "");
  CopyText(g_source, source);
  const DialogTemplate* tpl = FindDialogTemplate(kImportKeysDialog);
  if (tpl) Ui().DialogBox(*tpl, NotesWindow(), ImportKeysProc, nullptr);
}

int ImportListedKeys(int sign) {
  const char* passphrase = Settings().passphrase;
  char* result = RunGnuPG("--import", g_source, nullptr, passphrase);
  WriteTrace("%s", result);
  if (RunFailed(result)) {
    return -1;
  }
  RunnerSwitches& switches = GnuPGSwitches();
  switches.answerYes = true;
  if (sign == 1) {
    // In the order collected; the key id list names each key by its fingerprint.
    // A key with several user ids is first asked about "sign all user ids?" and only then
    // for the confirmation the runner answers; without this extra "Y" such a key would stay
    // unsigned while the user is told it was signed.
    char answers[sizeof Settings().passphrase + 2];
    snprintf(answers, sizeof answers, "%s\nY", passphrase);
    const StringList& keys = KeyIdList();
    for (int i = 0; i < keys.count; ++i) {
      WriteTrace("%s", RunGnuPG("--sign-key", keys.items[i], nullptr, answers));
    }
    memset(answers, 0, sizeof answers);
  }
  switches.answerYes = false;
  ShowInformation("%s", MessageString(sign == 1 ? kImportedAndSignedMessage : kImportedMessage));
  return 0;
}

}  // namespace vp
