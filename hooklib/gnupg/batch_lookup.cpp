// Looking up the public keys of many names with one listing per batch.
#include "hooklib/gnupg/batch_lookup.h"

#include <map>

#include "hooklib/core/settings.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/command_line.h"
#include "hooklib/gnupg/runner.h"

namespace vp {
namespace {

std::string Folded(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

void AddOnce(std::vector<size_t>& list, size_t key) {
  if (list.empty() || list.back() != key) list.push_back(key);
}

}  // namespace

KeyIndex::KeyIndex(const std::vector<ListedKey>& keys) : keys_(keys) {
  for (size_t k = 0; k < keys.size(); ++k) {
    for (const std::string& id : keys[k].userIds) {
      std::string name = UserIdName(id), email = UserIdEmail(id);
      if (!name.empty()) AddOnce(byName_[Folded(name)], k);
      if (!email.empty()) AddOnce(byEmail_[Folded(email)], k);
    }
  }
}

KeyLookup KeyIndex::Pair(const std::string& name) const {
  KeyLookup lookup;
  const std::string address = AddressOf(name);
  const std::string wanted = Folded(address.empty() ? name : address);
  if (wanted.empty()) return lookup;
  const auto& map = address.empty() ? byName_ : byEmail_;
  auto found = map.find(wanted);
  std::vector<ListedKey> candidates;
  if (found != map.end()) {
    for (size_t k : found->second) candidates.push_back(keys_[k]);
  } else if (address.empty()) {
    candidates = keys_;  // no exact match: any key may match in part
  }
  KeyMatch match = MatchKeys(name, candidates);
  for (KeyOffer& offer : match.offers) {
    lookup.keys.push_back(std::move(candidates[offer.key]));
    offer.key = lookup.keys.size() - 1;
  }
  lookup.match = std::move(match);
  return lookup;
}

std::vector<std::vector<size_t>> CutIntoRuns(const std::vector<std::string>& operands,
                                             size_t fixedLength, size_t limit) {
  std::vector<std::vector<size_t>> runs;
  size_t length = fixedLength;
  for (size_t i = 0; i < operands.size(); ++i) {
    size_t more = OperandLength(operands[i]);
    if (fixedLength + more > limit) continue;
    if (runs.empty() || length + more > limit) {
      runs.emplace_back();
      length = fixedLength;
    }
    runs.back().push_back(i);
    length += more;
  }
  return runs;
}

int LookUpPublicKeysBatched(const std::vector<std::string>& names, BatchedLookups* result) {
  *result = BatchedLookups{};
  result->lookups.resize(names.size());
  result->answered.assign(names.size(), false);

  // Each distinct pattern once; names that share it share its listing.
  std::vector<std::string> patterns;
  std::map<std::string, std::vector<size_t>> namesOf;
  for (size_t i = 0; i < names.size(); ++i) {
    std::string pattern = LookupPattern(names[i]);
    if (pattern.empty()) {
      result->answered[i] = true;  // an empty name lists nothing: it has no key
      continue;
    }
    // A pattern the single lookup would refuse is left to it, so its message comes in turn.
    if (!CommandLineProblem(GnuPGCommandLine(PublicListingOptions(), {pattern})).empty()) continue;
    auto& list = namesOf[pattern];
    if (list.empty()) patterns.push_back(pattern);
    list.push_back(i);
  }

  const size_t fixed = GnuPGCommandLine(PublicListingOptions(), {}).size() + 3;  // " --"
  for (const std::vector<size_t>& run : CutIntoRuns(patterns, fixed, kMaxCommandLine)) {
    std::vector<std::string> operands;
    for (size_t p : run) operands.push_back(patterns[p]);
    char* listing = RunGnuPG(PublicListingOptions(), operands, Passphrase());
    WriteTrace("%s", listing);
    if (RunFailed(listing)) return -1;
    ++result->runs;
    // GnuPG 1.4 and 2.2 list every key that any pattern matches, each once, and exit with 0
    // when some key was listed; a pattern that matched nothing only shows in the exit code when
    // none matched. A listing that exits with an error may have stopped early, so its names are
    // left to the single lookup, unless it was for one pattern (then it is the single lookup).
    const bool trusted = LastRunEnd().exitCode == 0 || operands.size() == 1;
    const std::vector<ListedKey> keys = UsableKeys(listing, false);
    const KeyIndex index(keys);
    for (size_t p : run) {
      for (size_t i : namesOf[patterns[p]]) {
        result->lookups[i] = index.Pair(names[i]);
        result->answered[i] = trusted;
      }
    }
  }
  return 0;
}

}  // namespace vp
