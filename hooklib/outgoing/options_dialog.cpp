// The encryption options dialog and the three settings it remembers in the configuration key.
#include "hooklib/core/messages.h"
#include "hooklib/core/startup.h"
#include "hooklib/outgoing/options_dialogs.h"
#include "hooklib/resources/dialogs.h"
#include "platform/registry.h"

namespace vp {
namespace {

constexpr int kDialogOptions = 101;
constexpr int kEncryptAttachmentsBox = 1010;
constexpr int kEncryptMessageBox = 1011;

constexpr const char* kAttachPubKey = "AttachPubKey";
constexpr const char* kEncryptMessage = "EncryptMessage";
constexpr const char* kEncryptAttachments = "EncryptAttachments";
constexpr const char* kWriteFailed = "Unable to write configuration values to registry database!";

void ReadOption(RegistryKey key, const char* name, uint32_t* setting, uint32_t fallback) {
  if (!RegistryReadDword(key, name, setting)) *setting = fallback;
}

void WriteOption(RegistryKey key, const char* name, uint32_t value) {
  if (!RegistryWriteDword(key, name, value)) ShowError("%s", kWriteFailed);
}

intptr_t OptionsProc(Dialog& dialog, DialogMessage message, int controlId, void*) {
  EncryptionOptions& o = Options();
  if (message == DialogMessage::kInit) {
    LoadEncryptionOptions();
    // A stored value that names no radio button counts as "no key", and OK then stores 0.
    if (o.attachPubKey > 2) o.attachPubKey = 0;
    o.publicKeyChoice = kNoPublicKey + static_cast<int>(o.attachPubKey);
    dialog.SetCheck(o.publicKeyChoice, true);
    dialog.Focus(o.publicKeyChoice);
    CenterWindow(dialog.Window());
    dialog.SetCheck(kEncryptMessageBox, o.encryptMessage == 1);
    dialog.SetCheck(kEncryptAttachmentsBox, o.encryptAttachments == 1);
    return 0;  // the focus is placed already
  }
  switch (controlId) {
    case kNoPublicKey:
    case kPublicKeyAsText:
    case kPublicKeyAsAttachment:
      o.publicKeyChoice = controlId;
      o.attachPubKey = static_cast<uint32_t>(controlId - kNoPublicKey);
      return 1;
    case kIdOk:
      o.encryptMessage = dialog.IsChecked(kEncryptMessageBox) ? 1 : 0;
      o.encryptAttachments = dialog.IsChecked(kEncryptAttachmentsBox) ? 1 : 0;
      SaveEncryptionOptions();
      dialog.End(0);
      return 1;
    case kIdCancel:
      o.publicKeyChoice = kOptionsCancelled;
      dialog.End(0);
      return 1;
    default:
      return 0;
  }
}

}  // namespace

EncryptionOptions& Options() {
  static EncryptionOptions options;
  return options;
}

void LoadEncryptionOptions() {
  RegistryKey key = nullptr;
  if (!RegistryOpenOrCreate(kConfigKeyPath, kConfigKeyClass, &key)) return;
  EncryptionOptions& o = Options();
  ReadOption(key, kAttachPubKey, &o.attachPubKey, 0);
  ReadOption(key, kEncryptMessage, &o.encryptMessage, 1);
  ReadOption(key, kEncryptAttachments, &o.encryptAttachments, 1);
  RegistryClose(key);
}

void SaveEncryptionOptions() {
  RegistryKey key = nullptr;
  bool open = RegistryOpenOrCreate(kConfigKeyPath, kConfigKeyClass, &key);
  if (!open) ShowError("%s", kWriteFailed);
  const EncryptionOptions& o = Options();
  // Without a key each write fails on its own and says so, as the system's registry does.
  WriteOption(key, kAttachPubKey, o.attachPubKey);
  WriteOption(key, kEncryptMessage, o.encryptMessage);
  WriteOption(key, kEncryptAttachments, o.encryptAttachments);
  if (open) RegistryClose(key);
}

void ShowEncryptionOptionsDialog() {
  const DialogTemplate* tpl = FindDialogTemplate(kDialogOptions);
  if (!tpl) {
    Options().publicKeyChoice = kOptionsCancelled;
    return;
  }
  // Both buttons end the dialog with 0; anything else is a dialog that could not be shown or was
  // closed unanswered, and the options of an earlier memo must not be taken for this one.
  if (Ui().DialogBox(*tpl, NotesWindow(), OptionsProc, nullptr) != 0)
    Options().publicKeyChoice = kOptionsCancelled;
}

}  // namespace vp
