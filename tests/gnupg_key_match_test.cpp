// The one matching rule of every key lookup, on listings written out here: which key a name or
// address takes, which keys are offered, and which never are.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hooklib/gnupg/key_match.h"

namespace {

using vp::ListedKey;
using vp::MatchOutcome;

// Keys named by their fingerprint "F<n>", with their user ids.
std::vector<ListedKey> Ring(const std::vector<std::vector<std::string>>& userIds) {
  std::vector<ListedKey> keys;
  for (size_t i = 0; i < userIds.size(); ++i)
    keys.push_back({std::string(16, '0'), "F" + std::to_string(i), userIds[i]});
  return keys;
}

// The outcome in one word and the offered keys with the user id shown, e.g. "choose 0:1 2:0".
std::string Decide(const std::string& name, const std::vector<ListedKey>& keys) {
  vp::KeyMatch m = vp::MatchKeys(name, keys);
  std::string text = m.outcome == MatchOutcome::kNone    ? "none"
                     : m.outcome == MatchOutcome::kExact ? "exact"
                                                         : "choose";
  for (const vp::KeyOffer& o : m.offers)
    text += " " + std::to_string(o.key) + ":" + std::to_string(o.userId);
  return text;
}

TEST(KeyMatch, NamesAndAddressesTakeOnlyWhatTheyMeanExactly) {
  const auto ring = Ring({
      {"Jim Bob <jimbob@example.com>"},                                  // 0
      {"Bob Example (work) <bob@example.com>"},                          // 1
      {"Carol Example <carol@example.com>", "Carol Second <c2@x.org>"},  // 2
      {"Dave Example <dave@example.net>"},                               // 3
      {"Dave Example <dave@example.net>"},                               // 4
      {"Erin <erin@example.org>", "erin@example.org"},                   // 5
      {"Mallory \\x3a Evil <m@evil.example>"},                           // 6
      {"BOB@EXAMPLE.COM.evil.test <x@evil.test>"},                       // 7
  });
  const struct {
    const char* name;
    const char* decision;
  } cases[] = {
      // An address: the e-mail part must equal it, whatever else a user id holds.
      {"bob@example.com", "exact 1:0"},
      {"BOB@Example.COM", "exact 1:0"},
      {"\"Smith, Bob\" <bob@example.com>", "exact 1:0"},
      {"ob@example.com", "none"},
      {"c2@x.org", "exact 2:1"},  // a later user id counts as much as the first
      {"erin@example.org", "exact 5:0"},
      {"dave@example.net", "choose 3:0 4:0"},  // two keys, one address: the user picks
      // A name: its name part, before " (" and " <", equal ignoring case.
      {"Bob Example", "exact 1:0"},
      {"bob example", "exact 1:0"},
      {"  Bob Example ", "exact 1:0"},
      {"carol second", "exact 2:1"},
      {"Mallory : Evil", "exact 6:0"},  // GnuPG's escaped colon
      {"Dave Example", "choose 3:0 4:0"},
      // Anything less is asked, even for a single key, and shown under the user id that matched.
      {"Bob", "choose 0:0 1:0 7:0"},
      {"work", "choose 1:0"},
      {"Bob Example (work)", "choose 1:0"},
      {"Second", "choose 2:1"},
      {"carol", "choose 2:0"},
      {"example.com", "choose 0:0 1:0 2:0 7:0"},  // a name, not an address: a substring
      {"", "none"},
      {"   ", "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decide(c.name, ring), c.decision) << c.name;

  // One exact key wins over any number of partial ones; an exact key beside another exact one
  // is no choice the system makes.
  EXPECT_EQ(Decide("Jim Bob", Ring({{"Jim Bob Junior"}, {"Jim Bob"}, {"Jim Bobby <j@b>"}})),
            "exact 1:0");
  EXPECT_EQ(Decide("jim bob", Ring({{"Jim Bob"}, {"Other", "JIM BOB <j@b>"}})), "choose 0:0 1:1");
}

// Addresses are looked up as exact addresses, names as substrings whatever they begin with.
TEST(KeyMatch, PatternsAndUserIdParts) {
  EXPECT_EQ(vp::LookupPattern("Bob <bob@example.com>"), "<bob@example.com>");
  EXPECT_EQ(vp::LookupPattern("--status-file=victim"), "*--status-file=victim");
  EXPECT_EQ(vp::LookupPattern(" "), "");
  EXPECT_EQ(vp::UserIdName("Jim Bob <jimbob@example.com> (old)"), "Jim Bob");
  EXPECT_EQ(vp::UserIdName("<only@example.com>"), "");
  EXPECT_EQ(vp::UserIdEmail("Ann (a <b> c) <ann@x.org>"), "ann@x.org");
  EXPECT_EQ(vp::UserIdName("Back\\x5cslash <b@x.org>"), "Back\\slash");
}

// Every user id of a key is kept; the fingerprint is the primary key's, not a subkey's.
TEST(KeyMatch, ListingKeepsEveryUserIdOfEachKey) {
  const std::string listing =
      "pub:u:1024:17:00000000AAAAAAAA:1::::::scESC:\r\nfpr:::::::::PRIMARYA:\r\n"
      "uid:u::::1::H1::Carol Example <carol@example.com>:\r\nuid:u::::1::H2::Carol Second:\r\n"
      "sub:u:1024:16:00000000BBBBBBBB:1::::::e:\r\nfpr:::::::::SUBKEYB:\r\n"
      "pub:u:1024:17:SHORT:1::::::scESC:\nuid:u::::1::H3::No Id:\n"
      "[GNUPG:] KEY_CONSIDERED PRIMARYA 0\n"
      "sec:u:1024:17:00000000CCCCCCCC:1::::::scESC:\nuid:u::::1::H4::Secret Only:\n";
  std::vector<ListedKey> keys = vp::ParseKeyListing(listing, false);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].keyId, "00000000AAAAAAAA");
  EXPECT_EQ(keys[0].fingerprint, "PRIMARYA");
  EXPECT_EQ(keys[0].userIds,
            (std::vector<std::string>{"Carol Example <carol@example.com>", "Carol Second"}));
  EXPECT_EQ(keys[1].keyId, "");  // not 16 digits: a key that cannot be named
  EXPECT_EQ(keys[1].userIds, std::vector<std::string>{"No Id"});

  keys = vp::ParseKeyListing(listing, true);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].keyId, "00000000CCCCCCCC");
  EXPECT_EQ(keys[0].userIds, std::vector<std::string>{"Secret Only"});
}

}  // namespace
