// Key listing and lookup: GnuPG's colon listing paired into the key id and user id lists.
#pragma once
#include <string>

namespace vp {

// Lists the public (secret) keys matching `pattern` (all keys when null) and appends one entry
// per key to the key id list (short id) and the user id list (its first user id). 0, or -1
// when GnuPG did not start (after showing why).
int ListPublicKeys(const char* pattern);
int ListSecretKeys(const char* pattern);

// Pairs a colon listing (cut into lines in place) into the two lists, as a listing run does.
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

// Normalises `name` in place and tells whether a public key matches it: 0 when the listing
// ran (found set to 0 or 1), -1 when GnuPG did not start (found 0).
int PgpCheckKeyImpl(char* name, int* found);

}  // namespace vp
