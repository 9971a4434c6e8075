// The keys of one encryption: the sender's signing key and one public key per recipient.
//
// A name that matches exactly one key takes it; otherwise the user picks one in "List of
// possible names" from a wider listing. Keys are named for GnuPG by fingerprint (or 16-digit id),
// never by the short id the lists show. The key lists are empty after every call.
#pragma once
#include <string>
#include <vector>

namespace vp {

// The signing key for `senderName` (normalised in place): the one secret key matching it, else
// the user's pick among those that match or, with none matching, among all secret keys. 0 with
// *key set; -1 when GnuPG did not start or no secret key exists (after a message) or the user
// cancelled. The key found is also remembered as the last signing key.
int FindSigningKey(char* senderName, std::string* key);

// The key the last successful FindSigningKey found; "" after ForgetSigningKey.
const std::string& LastSigningKey();
void ForgetSigningKey();

// Appends to *keys the key of each of `count` recipient names (each normalised in place), in
// order, one per name (so a key may stand more than once). A name without exactly one key offers
// the keys of its mail domain, else all public keys. 0; -1 when GnuPG did not start, no public
// key exists (after a message) or the user cancelled.
int FindRecipientKeys(int count, char* const* recipients, std::vector<std::string>* keys);

}  // namespace vp
