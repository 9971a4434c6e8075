// Which key a recipient or sender name takes when sending, with real GnuPG of both versions: only
// an exact match goes without a question, and what the memo is encrypted to is read back from
// its packets.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "hooklib/core/settings.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/runner.h"
#include "notesemu/directory_tools.h"
#include "outgoing_fixture.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

const std::string kPassphrase = "dialog 103 type 1005 alice-pass; click 1\n";
const char* kJimBob = "jimbob@example.com";

class OutgoingLookup : public OutgoingFixture {
 protected:
  void SetUp() override {
    OutgoingFixture::SetUp();
    AddPublicKey(GetParam(), alice_, "jimbob");
    // A directory that knows neither Bob nor Jim, so the names typed reach the key lookup as
    // they are (a directory entry would turn an address into its person's name).
    const std::string names = dir_ + "/notes/names.nsf";
    fs::remove(names);
    ASSERT_EQ(notesemu::CreateDirectoryDatabase(names), "");
    ASSERT_EQ(notesemu::AddDirectoryEntries(
                  names, {{"CN=Carol Example/O=Acme", "carol", "carol@example.com"}}, {}),
              "");
  }
  void RemoveBobsKey() {
    std::string out;
    ASSERT_EQ(Gpg(GetParam(), alice_, "--batch --yes --delete-keys " + Ref(Bob().email), &out), 0)
        << out;
  }
  int CheckKey(const char* name) {
    char buffer[256];
    vp::CopyText(buffer, name);
    int found = -1;
    EXPECT_EQ(vp::PgpCheckKeyImpl(buffer, &found), 0) << name;
    return found;
  }
  std::vector<int> DialogsOpened() const {
    std::vector<int> ids;
    for (const auto& e : Events("dialog-open")) ids.push_back(e["id"]);
    return ids;
  }
  std::string Caption107() const {
    for (const auto& e : Events("set-text"))
      if (e["dialog"] == 107) return e["text"];
    return "";
  }
  std::string JimsLine() const {
    return KeyLine(GetParam(), alice_, "Jim Bob <jimbob@example.com>", kJimBob);
  }
};

// Bob has no key; Jim Bob, whose address holds Bob's, has. A memo to Bob's address lists Bob as
// without a key and never goes to Jim.
TEST_P(OutgoingLookup, AnAddressTakesOnlyAKeyForExactlyThatAddress) {
  RemoveBobsKey();
  EXPECT_EQ(CheckKey("bob@example.com"), 0);
  EXPECT_EQ(CheckKey("JimBob@Example.com"), 1);
  EXPECT_NE(vp::LastCommandLine().find(" -- \"<JimBob@Example.com>\""), std::string::npos)
      << vp::LastCommandLine();

  UseScript("dialog 101 click 1\n" + kPassphrase + "dialog 108 click 2\n");
  EXPECT_EQ(Send("bob@example.com", "For Bob only.\n"), -1);
  EXPECT_EQ(DialogsOpened(), (std::vector<int>{101, 108}));
  EXPECT_EQ(ListedIn(108), std::vector<std::string>{"bob@example.com"});
  EXPECT_TRUE(CryptoCommands().empty());
  EXPECT_FALSE(fs::exists(MailBody()));
}

// "Bob" only appears inside Jim Bob's user id: the user is asked even about that single key.
// Cancel leaves Bob without a key; OK takes Jim's.
TEST_P(OutgoingLookup, APartialNameIsAskedAboutEvenForASingleKey) {
  RemoveBobsKey();
  EXPECT_EQ(CheckKey("Bob"), 1);  // a key matches, so the name is not reported without one

  UseScript("dialog 101 click 1\n" + kPassphrase + "dialog 107 click 2\ndialog 108 click 2\n");
  EXPECT_EQ(Send("Bob", "Hi\n"), -1);
  EXPECT_EQ(DialogsOpened(), (std::vector<int>{101, 107, 108}));
  EXPECT_EQ(ListedIn(107), std::vector<std::string>{JimsLine()});
  EXPECT_EQ(Caption107(), "Unable to find public key for recipient name \"Bob\"!");
  EXPECT_EQ(ListedIn(108), std::vector<std::string>{"Bob"});
  EXPECT_TRUE(CryptoCommands().empty());

  WriteFile(log_, "");
  UseScript("dialog 101 click 1\n" + kPassphrase + "dialog 107 click 1\n");
  EXPECT_EQ(Send("Bob", "Hi\n"), 16) << RawLog();
  EXPECT_EQ(DialogsOpened(), (std::vector<int>{101, 107, 103}));
  EXPECT_EQ(EncryptedTo(MailBody()), (std::set<std::string>{Ref(kJimBob), Ref(Alice().email)}));
}

// A name equal to a user id's name part, in any letter case and on any of the key's user ids,
// goes through without a question; a name two keys contain is asked, naming both.
TEST_P(OutgoingLookup, ExactNamesGoThroughSilentlyAndOthersAreAsked) {
  UseScript("dialog 101 click 1\n" + kPassphrase);
  EXPECT_EQ(Send("bob example;carol SECOND;CAROL3@example.org", "Hi\n"), 16) << RawLog();
  EXPECT_EQ(DialogsOpened(), (std::vector<int>{101, 103}));
  EXPECT_EQ(EncryptedTo(MailBody()),
            (std::set<std::string>{Ref(Bob().email), Ref(Carol().email), Ref(Alice().email)}));

  WriteFile(log_, "");
  const std::string bobsLine =
      KeyLine(GetParam(), alice_, "Bob Example <bob@example.com>", Bob().email);
  UseScript("dialog 101 click 1\ndialog 107 select \"" + bobsLine + "\"; click 1\n");
  EXPECT_EQ(Send("Bob", "Hi\n"), 16) << RawLog();
  EXPECT_EQ(DialogsOpened(), (std::vector<int>{101, 107}));
  std::vector<std::string> offered = ListedIn(107);
  std::sort(offered.begin(), offered.end());
  EXPECT_EQ(offered, (std::vector<std::string>{bobsLine, JimsLine()}));
  EXPECT_EQ(Caption107(),
            "The recipient name \"Bob\" is ambiguous. Please choose the correct name!");
  EXPECT_EQ(EncryptedTo(MailBody()), (std::set<std::string>{Ref(Bob().email), Ref(Alice().email)}));
}

// The sender's signing key follows the same rule: "Alice" is only part of Alice's user id.
TEST_P(OutgoingLookup, TheSendersKeyNeedsAnExactMatchToo) {
  const std::string signOnly = "dialog 101 uncheck 1011; uncheck 1010; click 1\n";
  const std::string alicesLine =
      KeyLine(GetParam(), alice_, "Alice Example <alice@example.com>", Alice().email);
  UseScript(signOnly + "dialog 107 click 2\n");
  EXPECT_EQ(Send("", "Signed.\n", "", "Alice"), -1);
  EXPECT_EQ(DialogsOpened(), (std::vector<int>{101, 107}));
  EXPECT_EQ(ListedIn(107), std::vector<std::string>{alicesLine});
  EXPECT_EQ(Caption107(), "Unable to find public key for sender name \"Alice\"!");
  EXPECT_TRUE(CryptoCommands().empty());

  WriteFile(log_, "");
  UseScript(signOnly + "dialog 107 click 1\n" + kPassphrase);
  EXPECT_EQ(Send("", "Signed.\n", "", "Alice"), 0) << RawLog();
  std::string status = BobOpens(MailBody(), nullptr);
  EXPECT_NE(status.find("[GNUPG:] VALIDSIG " + Ref(Alice().email)), std::string::npos) << status;

  // The whole name in other letters: no question.
  WriteFile(log_, "");
  UseScript(signOnly);
  EXPECT_EQ(Send("", "Signed.\n", "", "ALICE example"), 0) << RawLog();
  EXPECT_EQ(DialogsOpened(), (std::vector<int>{101}));
}

INSTANTIATE_TEST_SUITE_P(BothVersions, OutgoingLookup, testing::Values(GnuPG::k1, GnuPG::k2),
                         [](const auto& info) { return GnuPGName(info.param); });

}  // namespace
}  // namespace vptest
