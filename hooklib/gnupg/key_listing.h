// Key listing and lookup: GnuPG's colon listing paired into the key id and user id lists.
#pragma once
#include <string>
#include <vector>

#include "hooklib/gnupg/key_match.h"

namespace vp {

// Lists the public (secret) keys matching `pattern` (all keys when null) and appends one entry
// per key to the key id list (short id) and the user id list (its first user id). 0, or -1
// when GnuPG did not start (after showing why).
int ListPublicKeys(const char* pattern);
int ListSecretKeys(const char* pattern);

// What one lookup found: the keys GnuPG listed for the name, each with every user id, and which
// of them the name means (MatchKeys).
struct KeyLookup {
  std::vector<ListedKey> keys;  // only keys with a 16-digit id and a user id
  KeyMatch match;
};

// Lists the public (secret) keys that `name` may mean, with the pattern LookupPattern gives,
// and matches them. 0 (an empty name lists nothing and matches nothing); -1 when GnuPG did not
// start (after showing why). The key lists are left alone.
int LookUpKeys(const char* name, bool secret, KeyLookup* lookup);

// The options of a public key listing, and the keys of a listing's text that can be named to
// GnuPG (a 16-digit key id and a user id).
const char* PublicListingOptions();
std::vector<ListedKey> UsableKeys(const char* listing, bool secret);

// How `key` is named on a command line: its fingerprint, else its 16-digit key id.
std::string KeyReferenceOf(const ListedKey& key);

// Appends `key` to the key id list (short id) and the user id list (`userId`, the one the
// chooser shows), remembering its reference.
void AddKeyToLists(const ListedKey& key, const std::string& userId);

// Pairs a colon listing into the two lists, as a listing run does.
void PairKeyListing(char* listing, bool secret);

// How entry `index` of the key id list is named on a GnuPG command line: its fingerprint, or
// its 16-digit key id where the listing gave no fingerprint. Short ids can be forged, so they
// never name a key to GnuPG. "" for an index the lists do not hold.
const char* KeyReference(int index);

// The line a key list box shows for a key: its user id (through ShownText), then its
// fingerprint (or key id) in GnuPG's groups of four, so the user can compare it with the one the
// key's owner gave.
std::string KeyDisplayLine(const char* userId, const char* reference);

// A fingerprint or key id in GnuPG's groups of four; a 40-digit fingerprint reads as two halves
// of five groups, two blanks apart.
std::string GroupedKeyReference(const std::string& reference);

// Empties the key id list and the user id list.
void FreeKeyLists();

// Normalises `name` in place and tells whether a public key matches it, exactly or in part
// (LookUpKeys): 0 when the listing ran (found set to 0 or 1), -1 when GnuPG did not start
// (found 0).
int PgpCheckKeyImpl(char* name, int* found);

}  // namespace vp
