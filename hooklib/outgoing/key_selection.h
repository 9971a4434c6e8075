// The keys of one encryption: the sender's signing key and one public key per recipient.
//
// Every name is looked up by the one matching rule (MatchKeys): a key that matches exactly, and
// alone, is taken without a question; any other match is put to the user in "List of possible
// names", even a single key. Keys are named for GnuPG by fingerprint (or 16-digit id), never by
// the short id the lists show. The key lists are empty after every call.
#pragma once
#include <string>

#include "hooklib/gnupg/key_listing.h"

namespace vp {

// The signing key for `senderName` (normalised in place): the one secret key it matches exactly,
// else the user's pick among the keys it matches or, with none matching, among all secret keys.
// 0 with *key set; -1 when GnuPG did not start or no secret key exists (after a message) or the
// user cancelled. The key found is also remembered as the last signing key.
int FindSigningKey(char* senderName, std::string* key);

// The key the last successful FindSigningKey found; "" after ForgetSigningKey.
const std::string& LastSigningKey();
void ForgetSigningKey();

// The key of recipient `name` (normalised in place): the one key it matches exactly, or the
// user's pick among the keys it matches. 0 with *key set; 1 when it has no key (none matches, or
// the user cancelled the choice); -1 when GnuPG did not start (after its message).
int LookUpRecipientKey(char* name, std::string* key);

// The same for a name already normalised and looked up (LookUpPublicKeysBatched): applies the
// lookup's match, asking where it is not exact. 0 with *key set; 1 when it has no key.
int TakeRecipientKey(const char* name, const KeyLookup& lookup, std::string* key);

// For a recipient without a key whom the user chose to send to anyway: the user picks a key among
// those of the name's mail domain or, with none there, among all public keys. 0 with *key set;
// -1 when GnuPG did not start or no public key exists (after a message) or the user cancelled.
int ChooseRecipientKeyByHand(char* name, std::string* key);

}  // namespace vp
