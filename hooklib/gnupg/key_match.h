// Which keys a looked-up name means: the one rule every key lookup follows.
//
// GnuPG's plain pattern is a substring search, so "bob@example.com" finds "Jim Bob
// <jimbob@example.com>". Here an address must equal a user id's e-mail address, and a name is
// taken without a question only when it equals a user id's name part; any other match is put to
// the user. Pure: no GnuPG run, no dialog, no library state.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vp {

// One key of a colon listing with every user id it carries.
struct ListedKey {
  std::string keyId;                 // the key record's 16-digit key id ("" when not 16 long)
  std::string fingerprint;           // the primary key's fingerprint, "" when not listed
  std::vector<std::string> userIds;  // as listed (GnuPG's \xHH escaping included), in order
};

// Cuts a colon listing into keys: a "pub:" record ("sec:" with `secret`) opens a key, the
// "fpr:" record right after it gives the fingerprint, each "uid:" record adds a user id. Other
// records and lines (status and log lines) are ignored.
std::vector<ListedKey> ParseKeyListing(std::string_view listing, bool secret);

// The address a name stands for: the text between "<" and ">" when it has both, else the whole
// name, blanks trimmed; "" when that holds no "@" (the name is no address).
std::string AddressOf(std::string_view name);

// The pattern that has GnuPG list every key MatchKeys may take for `name`: "<addr>" for an
// address (GnuPG's exact e-mail search), "*name" for a name (its substring search, whatever the
// name starts with: "0x", "#", "=" and "@" would otherwise ask for other kinds of search). ""
// for a name that is empty after trimming blanks.
std::string LookupPattern(std::string_view name);

// The name part of a user id (the text before " <" and before " (", blanks trimmed) and its
// e-mail part (the text between its last "<" and the ">" after it; a user id that is only an
// address is its own e-mail part). Both are decoded from GnuPG's \xHH escaping.
std::string UserIdName(std::string_view userId);
std::string UserIdEmail(std::string_view userId);

enum class MatchOutcome {
  kNone,    // no key matches: the name has no key
  kExact,   // exactly one key matches exactly: take it without a question
  kChoose,  // put the offered keys to the user, even a single one
};

struct KeyOffer {
  size_t key;     // index into the keys given to MatchKeys
  size_t userId;  // the user id of that key that matched, to be shown
};

struct KeyMatch {
  MatchOutcome outcome = MatchOutcome::kNone;
  std::vector<KeyOffer> offers;  // kExact: the one key; kChoose: the keys to offer, in order
};

// Decides which of `keys` the looked-up `name` means. An address matches a key with a user id
// whose e-mail part equals it; a name matches exactly a user id whose name part equals it, and
// partly any user id that contains it. Both ignore ASCII letter case. One exactly matching key
// is taken; two or more are offered; with none, the partly matching keys are offered; keys that
// match in neither way are never offered. An empty name matches nothing.
KeyMatch MatchKeys(std::string_view name, const std::vector<ListedKey>& keys);

}  // namespace vp
