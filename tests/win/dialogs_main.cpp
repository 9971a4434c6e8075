// vp_windialogs: opens one of the system's dialogs on screen through the function the system opens
// it with, so the Windows build's dialogs can be driven by an answer script under Wine and looked
// at. It prints what the dialog left behind; run-dialogs.sh checks that and the transcript.
#include <cstdio>
#include <cstring>
#include <string>

#include "control/configuration_dialog.h"
#include "control/control_settings.h"
#include "hooklib/core/messages.h"
#include "hooklib/core/recipient_table.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/gnupg/choose_key.h"
#include "hooklib/gnupg/passphrase.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/incoming/attachments.h"
#include "hooklib/incoming/key_import.h"
#include "hooklib/outgoing/options_dialogs.h"
// Last: its macros would rename the user-interface port's members.
#include <windows.h>

namespace {

void AddKey(const char* keyId, const char* userId) {
  vp::AddToStringList(vp::KeyIdList(), keyId);
  vp::AddToStringList(vp::UserIdList(), userId);
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

int Configuration(bool gnupgEdition) {
  vp::control::ControlState state;
  state.shared = &vp::Settings();
  state.gnupgEdition = gnupgEdition;
  state.shared->cacheInterval = 5;
  snprintf(state.shared->szGpgApp, sizeof state.shared->szGpgApp, "C:\\GnuPG\\gpg.exe");
  vp::control::RunConfigurationDialog(state, nullptr);
  printf("interval %d agent %d\n", static_cast<int>(state.shared->cacheInterval),
         state.useAgent ? 1 : 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string which = argc > 1 ? argv[1] : "";
  // What loading the library does first: the settings, the string table, the recipient table.
  vp::ProcessAttach();
  vp::SharedSettings& s = vp::Settings();
  if (which == "101") {
    vp::ShowEncryptionOptionsDialog();
    printf("choice %d message %u attachments %u\n", vp::Options().publicKeyChoice,
           vp::Options().encryptMessage, vp::Options().encryptAttachments);
  } else if (which == "102") {
    vp::InitOrlavexImpl("Release 9.0.1", vp::kRequiredSubformVersion);
    printf("result %d\n", vp::DoDecryptAttachmentsImpl("Alice", "report.doc.pgp,notes.txt"));
  } else if (which == "103") {
    s.bUseAgent = 0;
    vp::Passphrase()[0] = '\0';  // the segment's, or this process's own without caching
    vp::GetPassphrase(vp::kSigningPassphraseDialog);
    printf("passphrase length %zu\n", strlen(vp::Passphrase()));
    vp::Passphrase()[0] = '\0';
  } else if (which == "106") {
    AddKey("0123456789ABCDEF", "Bob Example <bob@example.com>");
    AddKey("FEDCBA9876543210", "Carol Example <carol@example.com>");
    vp::ShowKeyImportDialog("The following key(s) was found in the file", "C:\\keys.asc");
    printf("closed\n");
  } else if (which == "107") {
    AddKey("0123456789ABCDEF", "Bob Example <bob@example.com>");
    AddKey("FEDCBA9876543210", "Bob Other <bob@other.example>");
    vp::SetKeyRole("recipient");
    int result = vp::ChooseKey("bob");
    printf("result %d chosen %s\n", result, vp::ChosenKey());
  } else if (which == "108") {
    vp::SetRecipient(0, "Carol Example/Brinmoor");
    vp::SetRecipient(1, "Dave Example/Brinmoor");
    vp::Recipients().count = 2;
    vp::Recipients().found[0] = 0;
    vp::Recipients().found[1] = 1;
    printf("continue %d\n", vp::ShowMissingKeysDialog() ? 1 : 0);
  } else if (which == "115") {
    int result = vp::ShowErrorDetails("GnuPG reported:", "gpg: decryption failed: bad key\r\n");
    printf("result %d clipboard [%s]\n", result, ClipboardText().c_str());
  } else if (which == "110") {
    return Configuration(true);
  } else if (which == "103c") {
    return Configuration(false);
  } else {
    fprintf(stderr, "usage: vp_windialogs 101|102|103|106|107|108|115|110|103c\n");
    return 2;
  }
  return 0;
}
