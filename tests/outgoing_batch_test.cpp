// Key lookups for a whole memo in one listing, with real GnuPG of both versions: every name
// gets the keys, found flag and dialogs it would get looked up alone, and a memo too big for one
// command line reaches every key.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "hooklib/gnupg/batch_lookup.h"
#include "hooklib/gnupg/command_line.h"
#include "notesemu/directory_tools.h"
#include "outgoing_fixture.h"
#include "support/many_keys.h"

namespace vptest {
namespace {

const std::string kPassphrase = "dialog 103 type 1005 alice-pass; click 1\n";

// Names that try the matching: one name inside another, letter case, non-ASCII, the same name
// twice, an address and a name of one key, expired, revoked and disabled keys, a second user id,
// a secret key without its public key, names without any key.
const std::vector<std::string> kNames = {
    "Ann Lee",
    "ann lee",
    "Ann Le",
    "Lee",
    "ann@example.com",
    "ANN@Example.COM",
    "annl@example.com",
    "J\xC3\xB6rg M\xC3\xBCller",
    "J\xC3\x96RG M\xC3\x9CLLER",
    "j\xC3\xB6rg",
    "Carl Two",
    "carl2@example.org",
    "carl one",
    "Eve Expired",
    "eve@example.com",
    "Rex Revoked",
    "Dee Disabled",
    "dee@example.com",
    "Sam Secret",
    "sam@example.com",
    "Nobody Known",
    "nobody@example.com",
    "Ann Lee",
    "Bob",
    "bob@example.com",
    "<carl@example.com>",
    "  Ann Lee  ",
    "",
};

struct Seen {
  vp::MatchOutcome outcome;
  std::vector<std::string> offered;  // fingerprint and the user id shown, in order
  bool operator==(const Seen&) const = default;
};

Seen SeenIn(const vp::KeyLookup& lookup) {
  Seen seen{lookup.match.outcome, {}};
  for (const vp::KeyOffer& offer : lookup.match.offers)
    seen.offered.push_back(lookup.keys[offer.key].fingerprint + " " +
                           lookup.keys[offer.key].userIds[offer.userId]);
  return seen;
}

std::ostream& operator<<(std::ostream& os, const Seen& seen) {
  os << static_cast<int>(seen.outcome);
  for (const std::string& o : seen.offered) os << " [" << o << "]";
  return os;
}

class OutgoingBatch : public OutgoingFixture {
 protected:
  void SetUp() override {
    OutgoingFixture::SetUp();
    AddPublicKey(GetParam(), alice_, "jimbob");
    AddTrickyKeys(GetParam(), alice_);
    // A directory that knows nobody: typed names reach the lookup as they are.
    std::filesystem::remove(dir_ + "/notes/names.nsf");
    ASSERT_EQ(notesemu::CreateDirectoryDatabase(dir_ + "/notes/names.nsf"), "");
  }
  // The listings the trace shows since it was last emptied.
  size_t Listings() const {
    size_t n = 0;
    for (const std::string& c : Commands()) n += c.find("--list-public-keys") != std::string::npos;
    return n;
  }
};

TEST_P(OutgoingBatch, EveryNameFindsWhatItsOwnLookupFinds) {
  vp::BatchedLookups batch;
  ASSERT_EQ(vp::LookUpPublicKeysBatched(kNames, &batch), 0);
  EXPECT_EQ(batch.runs, 1u);
  EXPECT_EQ(Listings(), 1u);
  ASSERT_EQ(batch.lookups.size(), kNames.size());
  std::map<std::string, Seen> batched;
  for (size_t i = 0; i < kNames.size(); ++i) {
    EXPECT_TRUE(batch.answered[i]) << kNames[i];
    vp::KeyLookup alone;
    ASSERT_EQ(vp::LookUpKeys(kNames[i].c_str(), false, &alone), 0);
    EXPECT_EQ(SeenIn(batch.lookups[i]), SeenIn(alone)) << "name \"" << kNames[i] << "\"";
    batched[kNames[i]] = SeenIn(batch.lookups[i]);
  }
  // And what that is, for names whose answer is plain.
  auto exact = [&](const std::string& email) { return Ref(email); };
  auto fingerprints = [&](const std::string& name) {
    std::vector<std::string> f;
    for (const std::string& o : batched[name].offered) f.push_back(o.substr(0, 40));
    return f;
  };
  EXPECT_EQ(batched["Ann Lee"].outcome, vp::MatchOutcome::kExact);
  EXPECT_EQ(fingerprints("Ann Lee"), std::vector<std::string>{exact("ann@example.com")});
  EXPECT_EQ(fingerprints("ann lee"), std::vector<std::string>{exact("ann@example.com")});
  EXPECT_EQ(batched["Ann Le"].outcome, vp::MatchOutcome::kChoose);
  const std::vector<std::string> annLe = fingerprints("Ann Le");
  EXPECT_EQ(std::set<std::string>(annLe.begin(), annLe.end()),
            (std::set<std::string>{Ref("ann@example.com"), Ref("annl@example.com")}));
  EXPECT_EQ(fingerprints("ANN@Example.COM"), std::vector<std::string>{Ref("ann@example.com")});
  EXPECT_EQ(fingerprints("J\xC3\xB6rg M\xC3\xBCller"),
            std::vector<std::string>{Ref("joerg@example.com")});
  EXPECT_EQ(batched["Carl Two"].offered,
            std::vector<std::string>{Ref("carl@example.com") + " Carl Two <carl2@example.org>"});
  EXPECT_EQ(batched["Bob"].outcome, vp::MatchOutcome::kChoose);
  EXPECT_EQ(fingerprints("Bob").size(), 2u);
  for (const char* none :
       {"Sam Secret", "sam@example.com", "Nobody Known", "nobody@example.com", ""})
    EXPECT_EQ(batched[none].outcome, vp::MatchOutcome::kNone) << none;
  // Expired, revoked and disabled keys are listed, as alone: GnuPG refuses them when encrypting.
  for (const char* listed : {"Eve Expired", "Rex Revoked", "Dee Disabled"})
    EXPECT_EQ(batched[listed].outcome, vp::MatchOutcome::kExact) << listed;
}

// A listing that exits with an error lists no key for its names: each is looked up alone; a name
// that cannot go on a command line is left to its own lookup, which refuses it in turn.
TEST_P(OutgoingBatch, NamesTheBatchCannotAnswerAreLeftToTheirOwnLookup) {
  vp::BatchedLookups batch;
  ASSERT_EQ(
      vp::LookUpPublicKeysBatched({"Nobody Known", "nobody@example.com", "Bad\nName"}, &batch), 0);
  EXPECT_EQ(batch.runs, 1u);
  EXPECT_EQ(batch.answered, (std::vector<bool>{false, false, false}));
  ASSERT_EQ(vp::LookUpPublicKeysBatched({"Nobody Known", "Ann Lee"}, &batch), 0);
  EXPECT_EQ(batch.answered, (std::vector<bool>{true, true}));
  EXPECT_EQ(batch.lookups[0].match.outcome, vp::MatchOutcome::kNone);
  ASSERT_EQ(vp::LookUpPublicKeysBatched({"Nobody Known"}, &batch), 0);
  EXPECT_EQ(batch.answered, (std::vector<bool>{true}));
}

// The memo as the user meets it: the chooser for each name that is not an exact match and the
// list of names without a key come in table order with the lines one lookup per name gives,
// after a single listing.
TEST_P(OutgoingBatch, DialogsComeAsWithOneLookupPerName) {
  const std::vector<std::string> typed = {"Ann Le",
                                          "Lee",
                                          "Ann Lee",
                                          "Bob",
                                          "Nobody Known",
                                          "carl2@example.org",
                                          "nobody@example.com",
                                          "Sam Secret"};
  // The table holds the names in byte order; what each name alone offers, in that order.
  std::set<std::string> table(typed.begin(), typed.end());
  std::vector<int> expectedDialogs{101};
  std::vector<std::string> expected107, expected108;
  for (const std::string& name : table) {
    vp::KeyLookup alone;
    ASSERT_EQ(vp::LookUpKeys(name.c_str(), false, &alone), 0);
    if (alone.match.outcome == vp::MatchOutcome::kChoose) {
      expectedDialogs.push_back(107);
      for (const vp::KeyOffer& o : alone.match.offers)
        expected107.push_back(KeyLine(GetParam(), alice_, alone.keys[o.key].userIds[o.userId],
                                      alone.keys[o.key].fingerprint));
    } else if (alone.match.outcome == vp::MatchOutcome::kNone) {
      expected108.push_back(name);
    }
  }
  expectedDialogs.push_back(108);
  ASSERT_EQ(expected108.size(), 3u);
  std::string to;
  for (const std::string& name : typed) to += (to.empty() ? "" : ";") + name;

  WriteFile(trace_, "");
  WriteFile(log_, "");
  UseScript(
      "dialog 101 click 1\ndialog 107 click 2\ndialog 107 click 2\ndialog 107 click 2\n"
      "dialog 108 click 2\n");
  EXPECT_EQ(Send(to, "Hi\n"), -1) << RawLog();
  std::vector<int> ids;
  for (const auto& e : Events("dialog-open")) ids.push_back(e["id"]);
  EXPECT_EQ(ids, expectedDialogs);
  EXPECT_EQ(ListedIn(107), expected107);
  EXPECT_EQ(Listings(), 1u);
  // Names the user declined to choose for join those without a key, in table order.
  std::vector<std::string> missing;
  for (const std::string& name : table) {
    vp::KeyLookup alone;
    vp::LookUpKeys(name.c_str(), false, &alone);
    if (alone.match.outcome != vp::MatchOutcome::kExact) missing.push_back(name);
  }
  EXPECT_EQ(ListedIn(108), missing);
}

// 700 recipients: more fingerprints than one command line holds (600 still fit); every key is in
// the memo's packets, the keys went in an options file that is gone afterwards, and the lookups
// took one listing.
TEST_P(OutgoingBatch, AMemoTooBigForOneCommandLineReachesEveryKey) {
  constexpr int kPeople = 700;
  std::string out;
  ASSERT_EQ(Gpg(GetParam(), alice_, "--batch --import '" + ManyPublicKeys(kPeople) + "'", &out), 0)
      << out;
  // More names than a typed list holds: through a directory group.
  std::filesystem::remove(dir_ + "/notes/names.nsf");
  std::vector<notesemu::PersonEntry> people;
  notesemu::GroupEntry group{"Everyone", {}, true};
  for (int i = 0; i < kPeople; ++i) {
    char name[40], email[40];
    snprintf(name, sizeof name, "CN=Person %05d/O=Many", i);
    snprintf(email, sizeof email, "p%05d@many.example", i);
    people.push_back({name, "", email});
    group.members.push_back(name);
  }
  ASSERT_EQ(notesemu::CreateDirectoryDatabase(dir_ + "/notes/names.nsf"), "");
  ASSERT_EQ(notesemu::AddDirectoryEntries(dir_ + "/notes/names.nsf", people, {group}), "");

  WriteFile(trace_, "");
  UseScript("dialog 101 click 1\n" + kPassphrase);
  ASSERT_EQ(Send("Everyone", "To all of you\n"), 16) << RawLog();
  EXPECT_EQ(Listings(), 1u);
  std::vector<std::string> crypto = CryptoCommands();
  ASSERT_EQ(crypto.size(), 1u);
  EXPECT_LE(crypto[0].size(), vp::kMaxCommandLine);
  EXPECT_NE(crypto[0].find(" --options "), std::string::npos) << crypto[0].substr(0, 300);
  EXPECT_EQ(crypto[0].find("--recipient"), std::string::npos);

  // Every key id of the ring, primary and subkey, to its primary fingerprint; then the keys the
  // packets are encrypted to.
  std::string listing, packets;
  Gpg(GetParam(), alice_, "--with-colons --fixed-list-mode --with-fingerprint --list-keys",
      &listing);
  std::map<std::string, std::string> primaryOf;
  std::set<std::string> expected;
  std::string primary, lastId;
  for (size_t start = 0, end; start < listing.size(); start = end + 1) {
    end = listing.find('\n', start);
    if (end == std::string::npos) end = listing.size();
    std::string line = listing.substr(start, end - start);
    std::vector<std::string> f;
    for (size_t a = 0, b; a <= line.size(); a = b + 1) {
      b = line.find(':', a);
      if (b == std::string::npos) b = line.size();
      f.push_back(line.substr(a, b - a));
    }
    if (f[0] == "pub" && f.size() > 4) {
      lastId = f[4];
      primary.clear();
    } else if (f[0] == "fpr" && f.size() > 9 && primary.empty()) {
      primary = f[9];
      primaryOf[lastId] = primary;
    } else if (f[0] == "sub" && f.size() > 4) {
      primaryOf[f[4]] = primary;
    }
    if (f[0] == "uid" && f.size() > 9 &&
        (f[9].find("@many.example") != std::string::npos ||
         f[9].find(Alice().email) != std::string::npos))
      expected.insert(primary);
  }
  ASSERT_EQ(expected.size(), kPeople + 1u);
  std::string empty = FreshHome("packets");
  Gpg(GetParam(), empty, "--batch --list-packets '" + MailBody() + "'", &packets);
  StopAgent(empty);
  std::multiset<std::string> reached;
  const std::string marker = ":pubkey enc packet:";
  for (size_t at = packets.find(marker); at != std::string::npos; at = packets.find(marker, at + 1))
    reached.insert(primaryOf[packets.substr(packets.find("keyid ", at) + 6, 16)]);
  EXPECT_EQ(reached.size(), kPeople + 1u);
  EXPECT_EQ(std::set<std::string>(reached.begin(), reached.end()), expected);
  std::string plain;
  BobOpens(MailBody(), &plain);  // Bob is not among them
  EXPECT_EQ(plain, "");
}

// Runs take names in order while the line stays within the limit; a name that fits no line is
// left out (its own lookup refuses it).
TEST(BatchCuts, RunsFillEachLineInOrder) {
  // Each operand costs a blank and its quoted form: "ab" 5, "a b" 6.
  const std::vector<std::string> operands = {"ab", "cd", "a b", "ef", std::string(30, 'x'), "gh"};
  EXPECT_EQ(vp::CutIntoRuns(operands, 10, 20),
            (std::vector<std::vector<size_t>>{{0, 1}, {2}, {3, 5}}));
  EXPECT_EQ(vp::CutIntoRuns(operands, 10, 16),
            (std::vector<std::vector<size_t>>{{0}, {1}, {2}, {3}, {5}}));
  EXPECT_EQ(vp::CutIntoRuns(operands, 10, 1000),
            (std::vector<std::vector<size_t>>{{0, 1, 2, 3, 4, 5}}));
  EXPECT_TRUE(vp::CutIntoRuns({}, 10, 1000).empty());
  // The real limit: 8191 names in runs that each stay within it.
  std::vector<std::string> names;
  for (int i = 0; i < 8191; ++i) names.push_back("*Person " + std::to_string(10000 + i));
  const auto runs = vp::CutIntoRuns(names, 200, vp::kMaxCommandLine);
  ASSERT_EQ(runs.size(), 5u);
  size_t total = 0;
  for (const auto& run : runs) {
    size_t length = 200;
    for (size_t i : run) length += vp::OperandLength(names[i]);
    EXPECT_LE(length, vp::kMaxCommandLine);
    // Full: the next name would not have fitted.
    if (&run != &runs.back()) {
      EXPECT_GT(length + vp::OperandLength(names[0]), vp::kMaxCommandLine);
    }
    total += run.size();
  }
  EXPECT_EQ(total, names.size());
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, OutgoingBatch, testing::ValuesIn(kEveryGnuPG),
                         [](const auto& info) { return GnuPGName(info.param); });

}  // namespace
}  // namespace vptest
