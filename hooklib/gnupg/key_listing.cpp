// Key listing and lookup.
#include "hooklib/gnupg/key_listing.h"

#include <string>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/core/text.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/key_match.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/gnupg/text_utils.h"

namespace vp {
namespace {

// Parallel to the key id list: what names each key on a command line.
std::vector<std::string>& References() {
  static std::vector<std::string> refs(kStringListSlots);
  return refs;
}

struct ListingKind {
  const char* options;
  bool secret;
};

// With fingerprints, which GnuPG 1.4 lists only when asked: they name the keys on command
// lines and let the user check a key in the chooser.
const ListingKind kPublic{"--list-public-keys --with-colons --fixed-list-mode --with-fingerprint",
                          false};
const ListingKind kSecret{"--list-secret-keys --with-colons --fixed-list-mode --with-fingerprint",
                          true};

// Runs the listing; its text, or null when GnuPG did not start (after showing why).
const char* RunListing(const ListingKind& kind, const char* pattern) {
  char* result = RunGnuPG(kind.options, pattern, nullptr, Passphrase());
  WriteTrace("%s", result);
  return RunFailed(result) ? nullptr : result;
}

int ListKeys(const ListingKind& kind, const char* pattern) {
  const char* listing = RunListing(kind, pattern);
  if (!listing) return -1;
  for (const ListedKey& key : UsableKeys(listing, kind.secret)) {
    AddKeyToLists(key, key.userIds[0]);
  }
  return 0;
}

}  // namespace

std::vector<ListedKey> UsableKeys(const char* listing, bool secret) {
  std::vector<ListedKey> keys = ParseKeyListing(listing ? listing : "", secret);
  std::erase_if(keys, [](const ListedKey& k) { return k.keyId.empty() || k.userIds.empty(); });
  return keys;
}

const char* PublicListingOptions() {
  return kPublic.options;
}

void PairKeyListing(char* listing, bool secret) {
  for (const ListedKey& key : UsableKeys(listing, secret)) AddKeyToLists(key, key.userIds[0]);
}

void AddKeyToLists(const ListedKey& key, const std::string& userId) {
  StringList& ids = KeyIdList();
  if (ids.count < kStringListSlots) {
    References()[ids.count] = KeyReferenceOf(key);
  }
  // The short id the lists have always shown: the last 8 of the 16 digits.
  AddToStringList(ids, key.keyId.size() == 16 ? key.keyId.substr(8).c_str() : key.keyId.c_str());
  AddToStringList(UserIdList(), userId.c_str());
}

int LookUpKeys(const char* name, bool secret, KeyLookup* lookup) {
  *lookup = KeyLookup{};
  const std::string pattern = LookupPattern(name ? name : "");
  if (pattern.empty()) return 0;  // an empty name lists nothing: it has no key
  const char* listing = RunListing(secret ? kSecret : kPublic, pattern.c_str());
  if (!listing) return -1;
  lookup->keys = UsableKeys(listing, secret);
  lookup->match = MatchKeys(name, lookup->keys);
  return 0;
}

std::string KeyReferenceOf(const ListedKey& key) {
  return key.fingerprint.empty() ? key.keyId : key.fingerprint;
}

int ListPublicKeys(const char* pattern) {
  return ListKeys(kPublic, pattern);
}
int ListSecretKeys(const char* pattern) {
  return ListKeys(kSecret, pattern);
}

const char* KeyReference(int index) {
  const StringList& ids = KeyIdList();
  if (index < 0 || index >= ids.count) return "";
  const std::string& ref = References()[index];
  return ref.empty() ? ids.items[index] : ref.c_str();
}

std::string GroupedKeyReference(const std::string& reference) {
  std::string grouped;
  for (size_t i = 0; i < reference.size(); ++i) {
    if (i > 0 && i % 4 == 0) grouped += (i == 20 && reference.size() == 40) ? "  " : " ";
    grouped += reference[i];
  }
  return grouped;
}

std::string KeyDisplayLine(const char* userId, const char* reference) {
  return ShownText(userId) + "  [" + GroupedKeyReference(reference ? reference : "") + "]";
}

void FreeKeyLists() {
  FreeStringList(KeyIdList());
  FreeStringList(UserIdList());
}

int PgpCheckKeyImpl(char* name, int* found) {
  NormalizeNotesName(name);
  KeyLookup lookup;
  int rc = LookUpKeys(name, false, &lookup);
  // A key that matches only in part still counts: the user is asked about it when sending.
  if (found) *found = (rc == 0 && lookup.match.outcome != MatchOutcome::kNone) ? 1 : 0;
  FreeKeyLists();
  return rc;
}

}  // namespace vp
