// Looking up the public keys of many names at once: one listing per batch of names instead of
// one per name, each name then paired with its keys by the one matching rule (MatchKeys).
//
// Nothing is kept between calls: each call lists afresh. The outcome for every name is the one
// LookUpKeys would give it alone.
#pragma once
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "hooklib/gnupg/key_listing.h"

namespace vp {

struct BatchedLookups {
  // Per name, in the order given: the keys MatchKeys offers for it (only those, in listing
  // order) and the match over them, as LookUpKeys would have found it.
  std::vector<KeyLookup> lookups;
  // False where the batch could not answer for the name and it must be looked up alone
  // (LookUpKeys) at its turn: its pattern cannot go on a command line (a line break, which the
  // single lookup refuses with its message), or its listing exited with an error after listing
  // no key for it (GnuPG may have stopped early).
  std::vector<bool> answered;
  size_t runs = 0;  // the listings run
};

// Lists the public keys for `names` (LookupPattern's patterns after "--", each distinct pattern
// once, as many per run as fit a command line of kMaxCommandLine characters) and pairs each name
// with the listed keys. 0; -1 when GnuPG did not start (after showing why).
int LookUpPublicKeysBatched(const std::vector<std::string>& names, BatchedLookups* result);

// Cuts operands into runs: each run takes the next operands in order while `fixedLength` plus
// their OperandLength stays within `limit`; an operand that fits no run alone is left out
// (the index lists hold the indexes of `operands`).
std::vector<std::vector<size_t>> CutIntoRuns(const std::vector<std::string>& operands,
                                             size_t fixedLength, size_t limit);

// The keys of one listing, indexed by their user ids' name parts and e-mail parts (ASCII
// letters folded to small), so that pairing a name costs no pass over the whole listing when
// the name matches a user id exactly.
class KeyIndex {
 public:
  explicit KeyIndex(const std::vector<ListedKey>& keys);

  // What MatchKeys finds for `name` among the keys, with only the offered keys kept (in
  // listing order). An exact match decides alone, so the keys that match exactly are all
  // MatchKeys needs to see; only a name without one is matched against every key.
  KeyLookup Pair(const std::string& name) const;

 private:
  const std::vector<ListedKey>& keys_;
  std::unordered_map<std::string, std::vector<size_t>> byName_, byEmail_;
};

}  // namespace vp
