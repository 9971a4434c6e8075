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

enum class Pick { kTaken, kNoMatch, kCancelled, kFailed };

// Applies the match of a lookup: the exact key, or the user's pick among those offered, each
// shown under the user id that matched.
Pick TakeOrAsk(const char* name, const KeyLookup& lookup, int role, std::string* key) {
  KeyListsReset reset;
  const KeyMatch& match = lookup.match;
  if (match.outcome == MatchOutcome::kNone) return Pick::kNoMatch;
  if (match.outcome == MatchOutcome::kExact) {
    *key = KeyReferenceOf(lookup.keys[match.offers[0].key]);
    return Pick::kTaken;
  }
  FreeKeyLists();
  for (const KeyOffer& offer : match.offers) {
    const ListedKey& listed = lookup.keys[offer.key];
    AddKeyToLists(listed, listed.userIds[offer.userId]);
  }
  SetKeyRole(MessageString(role));
  ClearChosenKey();
  if (ChooseKey(name) != 0) return Pick::kCancelled;
  *key = ChosenKeyReference();
  return Pick::kTaken;
}

Pick LookUpAndTake(const char* name, bool secret, int role, std::string* key) {
  KeyLookup lookup;
  if (LookUpKeys(name, secret, &lookup) != 0) return Pick::kFailed;
  return TakeOrAsk(name, lookup, role, key);
}

int RecipientResult(Pick pick) {
  switch (pick) {
    case Pick::kTaken:
      return 0;
    case Pick::kFailed:
      return -1;
    case Pick::kNoMatch:
    case Pick::kCancelled:
      break;
  }
  return 1;
}

// The user's pick among the keys already in the lists.
int AskAmongListed(const char* name, int role, const char* noneText, std::string* key) {
  if (KeyIdList().count == 0) {
    ShowError("%s", noneText);
    return -1;
  }
  SetKeyRole(MessageString(role));
  ClearChosenKey();
  if (ChooseKey(name) != 0) return -1;
  *key = ChosenKeyReference();
  return 0;
}

}  // namespace

int FindSigningKey(char* senderName, std::string* key) {
  NormalizeNotesName(senderName);
  Pick pick = LookUpAndTake(senderName, true, kRoleSender, key);
  if (pick == Pick::kFailed || pick == Pick::kCancelled) return -1;
  if (pick == Pick::kNoMatch) {
    KeyListsReset reset;
    if (ListSecretKeys(nullptr) != 0) return -1;
    if (AskAmongListed(senderName, kRoleSender, "Unable to find secret key for encryption/signing!",
                       key) != 0)
      return -1;
  }
  SigningKeyFound() = *key;
  return 0;
}

const std::string& LastSigningKey() {
  return SigningKeyFound();
}
void ForgetSigningKey() {
  SigningKeyFound().clear();
}

int LookUpRecipientKey(char* name, std::string* key) {
  NormalizeNotesName(name);
  return RecipientResult(LookUpAndTake(name, false, kRoleRecipient, key));
}

int TakeRecipientKey(const char* name, const KeyLookup& lookup, std::string* key) {
  return RecipientResult(TakeOrAsk(name, lookup, kRoleRecipient, key));
}

int ChooseRecipientKeyByHand(char* name, std::string* key) {
  KeyListsReset reset;
  NormalizeNotesName(name);
  char copy[256];
  CopyText(copy, name);
  const char* domain = GetDomainPart(copy);
  // A substring search whatever the domain starts with ("0x..." would name a key id).
  if (domain && *domain && ListPublicKeys(("*" + std::string(domain)).c_str()) != 0) return -1;
  if (KeyIdList().count == 0 && ListPublicKeys(nullptr) != 0) return -1;
  // Asked even when a single key is offered: it was not found under this name.
  return AskAmongListed(name, kRoleRecipient, "Unable to find public key for encryption/signing!",
                        key);
}

}  // namespace vp
