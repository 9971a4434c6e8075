// Which key a recipient or sender name takes when sending, with real GnuPG of both versions: only
// an exact match goes without a question; what the memo is encrypted to is read from its packets.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "notesemu/directory_tools.h"
#include "outgoing_fixture.h"

namespace vptest {
namespace {

const std::string kPassphrase = "dialog 103 type 1005 alice-pass; click 1\n";

class OutgoingLookup : public OutgoingFixture {
 protected:
  void SetUp() override {
    OutgoingFixture::SetUp();
    if (IsSkipped()) return;
    AddPublicKey(GetParam(), alice_, "jimbob");
    // A directory that knows nobody, so typed names reach the key lookup as they are (a
    // directory entry would turn an address into its person's name).
    std::filesystem::remove(dir_ + "/notes/names.nsf");
    ASSERT_EQ(notesemu::CreateDirectoryDatabase(dir_ + "/notes/names.nsf"), "");
  }
  // Sends anew, its transcript alone, with these answers; the dialogs opened on the way.
  std::vector<int> SendWith(const std::string& answers, const std::string& to, int result,
                            const std::string& sender = "Alice Example/Acme") {
    WriteFile(log_, "");
    UseScript(answers);
    EXPECT_EQ(Send(to, "Hi\n", "", sender), result) << RawLog();
    std::vector<int> ids;
    for (const auto& e : Events("dialog-open")) ids.push_back(e["id"]);
    return ids;
  }
  std::string Caption107() const {
    for (const auto& e : Events("set-text"))
      if (e["dialog"] == 107) return e["text"];
    return "";
  }
};

// Bob has no key; Jim Bob, whose user id holds Bob's name and address, has. Bob's address finds
// no key at all; the name "Bob" offers Jim's key, and only the user's OK takes it.
TEST_P(OutgoingLookup, APartialMatchNeverChoosesTheKey) {
  std::string out;
  ASSERT_EQ(Gpg(GetParam(), alice_, "--batch --yes --delete-keys " + Ref(Bob().email), &out), 0);
  const std::string jim =
      KeyLine(GetParam(), alice_, "Jim Bob <jimbob@example.com>", "jimbob@example.com");
  const std::string options = "dialog 101 click 1\n";

  EXPECT_EQ(SendWith(options + "dialog 108 click 2\n", "bob@example.com", -1),
            (std::vector<int>{101, 108}));
  EXPECT_EQ(ListedIn(108), std::vector<std::string>{"bob@example.com"});

  EXPECT_EQ(SendWith(options + "dialog 107 click 2\ndialog 108 click 2\n", "Bob", -1),
            (std::vector<int>{101, 107, 108}));
  EXPECT_EQ(ListedIn(107), std::vector<std::string>{jim});
  EXPECT_EQ(Caption107(), "Unable to find public key for recipient name \"Bob\"!");
  EXPECT_EQ(ListedIn(108), std::vector<std::string>{"Bob"});
  EXPECT_TRUE(CryptoCommands().empty());

  EXPECT_EQ(SendWith(options + "dialog 107 click 1\n" + kPassphrase, "Bob", 16),
            (std::vector<int>{101, 107, 103}));
  EXPECT_EQ(EncryptedTo(MailBody()),
            (std::set<std::string>{Ref("jimbob@example.com"), Ref(Alice().email)}));
}

// A name equal to a user id's name part, in other letters and on any user id of the key, and an
// address on any user id go through silently. The sender's key follows the same rule.
TEST_P(OutgoingLookup, ExactMatchesGoSilentlyForRecipientsAndSender) {
  EXPECT_EQ(SendWith("dialog 101 click 1\n" + kPassphrase,
                     "bob example;carol SECOND;CAROL3@example.org", 16),
            (std::vector<int>{101, 103}));
  EXPECT_EQ(EncryptedTo(MailBody()),
            (std::set<std::string>{Ref(Bob().email), Ref(Carol().email), Ref(Alice().email)}));

  const std::string signOnly = "dialog 101 uncheck 1011; uncheck 1010; click 1\n";
  EXPECT_EQ(SendWith(signOnly + "dialog 107 click 2\n", "", -1, "Alice"),
            (std::vector<int>{101, 107}));
  EXPECT_EQ(ListedIn(107),
            std::vector<std::string>{
                KeyLine(GetParam(), alice_, "Alice Example <alice@example.com>", Alice().email)});
  EXPECT_EQ(Caption107(), "Unable to find public key for sender name \"Alice\"!");
  EXPECT_EQ(SendWith(signOnly, "", 0, "ALICE example"), (std::vector<int>{101}));
  std::string status = BobOpens(MailBody(), nullptr);
  EXPECT_NE(status.find("[GNUPG:] VALIDSIG " + Ref(Alice().email)), std::string::npos) << status;
}

// Dave holds two secret keys under one user id: signing as Dave offers both, and the key he picks
// is the one that signs.
TEST_P(OutgoingLookup, TwoSigningKeysForTheSenderAreOfferedAndTheChosenOneSigns) {
  const std::string dave = UseKeyring(GetParam(), "dave", dir_);
  std::string listing;
  ASSERT_EQ(Gpg(GetParam(), dave,
                "--with-colons --fixed-list-mode --with-fingerprint --list-secret-keys "
                "dave@example.net",
                &listing),
            0);
  std::set<std::string> primaries;  // the fingerprint line right after each secret key line
  bool afterPrimary = false;
  for (size_t start = 0, end; start < listing.size(); start = end + 1) {
    end = listing.find('\n', start);
    if (end == std::string::npos) end = listing.size();
    const std::string line = listing.substr(start, end - start);
    if (afterPrimary && line.rfind("fpr:", 0) == 0) {
      size_t field = 0, pos = 0;
      for (; field < 9 && pos != std::string::npos; ++field) pos = line.find(':', pos + 1);
      if (pos != std::string::npos) primaries.insert(line.substr(pos + 1, 40));
    }
    afterPrimary = line.rfind("sec:", 0) == 0;
  }
  ASSERT_EQ(primaries.size(), 2u) << listing;

  const std::string signOnly = "dialog 101 uncheck 1011; uncheck 1010; click 1\n";
  EXPECT_EQ(SendWith(signOnly + "dialog 107 select-index 1011 1; click 1\n" +
                         "dialog 103 type 1005 dave-pass; click 1\n",
                     "", 0, "Dave Example/Acme"),
            (std::vector<int>{101, 107, 103}));
  std::vector<std::string> offered = ListedIn(107);
  ASSERT_EQ(offered.size(), 2u);
  std::set<std::string> shown;
  for (const std::string& line : offered) shown.insert(FingerprintShownIn(line));
  EXPECT_EQ(shown, primaries);
  EXPECT_EQ(Caption107(),
            "The sender name \"Dave Example\" is ambiguous. Please choose the correct name!");
  // The list box sorts its lines; the second of them was picked.
  std::sort(offered.begin(), offered.end());
  const std::string chosen = FingerprintShownIn(offered[1]);
  std::string status;
  Gpg(GetParam(), dave, "--status-fd 1 --verify " + MailBody(), &status);
  EXPECT_NE(status.find("[GNUPG:] VALIDSIG " + chosen), std::string::npos) << status;
  EXPECT_EQ(status.find("[GNUPG:] VALIDSIG " + FingerprintShownIn(offered[0])), std::string::npos);
  StopAgent(dave);
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, OutgoingLookup, testing::ValuesIn(kEveryGnuPG),
                         [](const auto& info) { return GnuPGName(info.param); });

}  // namespace
}  // namespace vptest
