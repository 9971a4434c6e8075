// The list of recipients without a public key: Continue picks their keys by hand later, Cancel
// returns to Notes.
#include "hooklib/core/messages.h"
#include "hooklib/core/recipient_table.h"
#include "hooklib/outgoing/options_dialogs.h"
#include "hooklib/resources/dialogs.h"

namespace vp {
namespace {

constexpr int kDialogMissingKeys = 108;
constexpr int kNameList = 1011;
constexpr int kContinue = 1016;

bool g_proceed = false;

intptr_t MissingKeysProc(Dialog& dialog, DialogMessage message, int controlId, void*) {
  if (message == DialogMessage::kInit) {
    CenterWindow(dialog.Window());
    const RecipientTable& table = Recipients();
    for (int i = 0; i < table.count && i < kMaxRecipients; ++i) {
      if (table.found[i] == 0 && table.entries[i]) dialog.ListAdd(kNameList, table.entries[i]);
    }
    return 1;
  }
  if (controlId == kContinue || controlId == kIdCancel) {
    g_proceed = controlId == kContinue;
    dialog.End(0);
    return 1;
  }
  return 0;
}

}  // namespace

bool ShowMissingKeysDialog() {
  g_proceed = false;
  const DialogTemplate* tpl = FindDialogTemplate(kDialogMissingKeys);
  if (tpl) Ui().DialogBox(*tpl, NotesWindow(), MissingKeysProc, nullptr);
  return g_proceed;
}

}  // namespace vp
