// The two dialogs of sending a memo: the encryption options (with the three settings behind them
// in the configuration key) and the list of recipients without a public key.
//
// The state lives in the library's ordinary per-process data and is read by the sender right
// after each dialog; neither dialog's end code carries the answer (both end with 0). Both are
// owned by the Notes window and centred on the screen.
#pragma once
#include <cstdint>

namespace vp {

constexpr int kNoPublicKey = 1000;            // radio: do not attach the own public key
constexpr int kPublicKeyAsText = 1001;        // radio: attach it as text
constexpr int kPublicKeyAsAttachment = 1002;  // radio: attach it as an attachment
constexpr int kOptionsCancelled = -1;

struct EncryptionOptions {
  int publicKeyChoice = 0;          // 1000..1002 after OK, -1 after Cancel, 0 before any dialog
  uint32_t attachPubKey = 0;        // "AttachPubKey": 0, 1 or 2 (choice - 1000)
  uint32_t encryptMessage = 1;      // "EncryptMessage": check box 1011
  uint32_t encryptAttachments = 1;  // "EncryptAttachments": check box 1010
};

// The process's options (initial values as above until the first load).
EncryptionOptions& Options();

// Reads the three values of the configuration key; a value that cannot be read takes its default
// (0, 1, 1). A key that cannot be opened leaves the settings as they are, silently.
void LoadEncryptionOptions();
// Writes the three values; a key that cannot be opened and each write that fails show "Unable to
// write configuration values to registry database!" once (so four times without a key).
void SaveEncryptionOptions();

// Dialog 101. OK stores the choice and the check boxes; Cancel (or Escape, or nobody to answer)
// sets the public-key choice to -1 and stores nothing.
void ShowEncryptionOptionsDialog();

// Dialog 108 over the recipients whose found flag is 0. True when the user chose Continue.
bool ShowMissingKeysDialog();

}  // namespace vp
