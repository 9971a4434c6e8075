// Choosing the signing key and the recipients' keys.
#include "hooklib/outgoing/key_selection.h"

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/gnupg/choose_key.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/gnupg/text_utils.h"

namespace vp {
namespace {

constexpr int kRoleSender = 170;
constexpr int kRoleRecipient = 171;

// Empties the key lists whichever way the caller leaves.
struct KeyListsReset {
  ~KeyListsReset() { FreeKeyLists(); }
};

std::string& SigningKeyFound() {
  static std::string key;
  return key;
}

int SigningKeyFromLists(char* senderName, std::string* key) {
  if (ListSecretKeys(senderName) != 0) return -1;
  if (KeyIdList().count == 1) {
    *key = KeyReference(0);
    return 0;
  }
  if (KeyIdList().count == 0) {
    if (ListSecretKeys(nullptr) != 0) return -1;
    if (KeyIdList().count == 0) {
      ShowError("Unable to find secret key for encryption/signing!");
      return -1;
    }
  }
  SetKeyRole(MessageString(kRoleSender));
  ClearChosenKey();
  if (ChooseKey(senderName) != 0) return -1;
  *key = ChosenKeyReference();
  return 0;
}

int RecipientKey(char* name, std::string* key) {
  ClearChosenKey();
  NormalizeNotesName(name);
  if (ListPublicKeys(name) != 0) return -1;
  if (KeyIdList().count == 1) {
    *key = KeyReference(0);
    return 0;
  }
  char copy[256];
  CopyText(copy, name);
  const char* domain = GetDomainPart(copy);
  if (domain && *domain && ListPublicKeys(domain) != 0) return -1;
  if (KeyIdList().count == 0) {
    if (ListPublicKeys(nullptr) != 0) return -1;
    if (KeyIdList().count == 0) {
      ShowError("Unable to find public key for encryption/signing!");
      return -1;
    }
  }
  // Asked even when the wider listing found a single key: it was not found under this name.
  if (ChooseKey(name) != 0) return -1;
  *key = ChosenKeyReference();
  return 0;
}

}  // namespace

int FindSigningKey(char* senderName, std::string* key) {
  KeyListsReset reset;
  NormalizeNotesName(senderName);
  if (SigningKeyFromLists(senderName, key) != 0) return -1;
  SigningKeyFound() = *key;
  return 0;
}

const std::string& LastSigningKey() {
  return SigningKeyFound();
}
void ForgetSigningKey() {
  SigningKeyFound().clear();
}

int FindRecipientKeys(int count, char* const* recipients, std::vector<std::string>* keys) {
  KeyListsReset reset;
  SetKeyRole(MessageString(kRoleRecipient));
  for (int i = 0; i < count; ++i) {
    if (!recipients[i]) continue;
    std::string key;
    if (RecipientKey(recipients[i], &key) != 0) return -1;
    keys->push_back(key);
    FreeKeyLists();
  }
  return 0;
}

}  // namespace vp
