// The "List of possible names" dialog.
#include "hooklib/gnupg/choose_key.h"

#include <cstdio>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/resources/dialogs.h"

namespace vp {
namespace {

constexpr int kDialogChooseKey = 107;
constexpr int kCaption = 1012;
constexpr int kList = 1011;
constexpr int kAmbiguous = 165;
constexpr int kNoKeyFor = 168;

char g_chosen[256];
char g_chosen_reference[256];
const char* g_role = "";
const char* g_looked_up = "";

intptr_t ChooseKeyProc(Dialog& dialog, DialogMessage message, int controlId, void*) {
  if (message == DialogMessage::kInit) {
    CenterWindow(dialog.Window());
    const StringList& ids = KeyIdList();
    const StringList& users = UserIdList();
    char caption[256];
    snprintf(caption, sizeof caption, MessageString(ids.count > 1 ? kAmbiguous : kNoKeyFor), g_role,
             g_looked_up);
    dialog.SetText(kCaption, caption);
    for (int i = 0; i < ids.count && i < users.count; ++i) {
      int at = dialog.ListAdd(kList, KeyDisplayLine(users.items[i], KeyReference(i)).c_str());
      dialog.ListSetData(kList, at, i);
    }
    dialog.ListSelect(kList, 0);
    BringToFront(dialog.Window(), kList);
    return 0;
  }
  if (controlId == kIdOk) {
    int selected = dialog.ListSelection(kList);
    if (selected >= 0) {
      int index = static_cast<int>(dialog.ListData(kList, selected));
      const StringList& ids = KeyIdList();
      if (index >= 0 && index < ids.count) {
        CopyText(g_chosen, ids.items[index]);
        CopyText(g_chosen_reference, KeyReference(index));
      }
    }
    dialog.End(kIdOk);
    return 1;
  }
  if (controlId == kIdCancel) {
    ClearChosenKey();
    dialog.End(kIdCancel);
    return 1;
  }
  return 0;
}

}  // namespace

void SetKeyRole(const char* roleWord) {
  g_role = roleWord ? roleWord : "";
}

int ChooseKey(const char* name) {
  g_looked_up = name ? name : "";
  const DialogTemplate* tpl = FindDialogTemplate(kDialogChooseKey);
  if (tpl) Ui().DialogBox(*tpl, NotesWindow(), ChooseKeyProc, nullptr);
  return g_chosen[0] ? 0 : -1;
}

const char* ChosenKey() {
  return g_chosen;
}
const char* ChosenKeyReference() {
  return g_chosen_reference;
}
void ClearChosenKey() {
  g_chosen[0] = g_chosen_reference[0] = '\0';
}

}  // namespace vp
