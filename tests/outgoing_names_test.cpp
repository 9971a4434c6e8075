// Names and paths on their way to GnuPG when sending: quotes in them, the sender's canonical
// name, the key chosen for a sender name, and memos with more keys than a command line holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "hooklib/core/settings.h"
#include "hooklib/gnupg/command_line.h"
#include "hooklib/outgoing/recipient_options.h"
#include "notesemu/directory_tools.h"
#include "outgoing_fixture.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

using OutgoingNames = OutgoingFixture;

const std::string kPassphrase = "dialog 103 type 1005 alice-pass; click 1\n";

std::vector<int> DialogsOpened(const std::vector<nlohmann::json>& events) {
  std::vector<int> ids;
  for (const auto& e : events) ids.push_back(e["id"]);
  return ids;
}

// A quoted name matches no key as a whole; cut at its quotes, "Smith," would match Mallory's
// key. An address with a quoted name before it is looked up by its address alone, so Bob and
// Dan (whose user id holds quotes) are found by theirs.
TEST_P(OutgoingNames, QuotesInANameNeverSplitIt) {
  AddPublicKey(GetParam(), alice_, "mallory");
  AddPublicKey(GetParam(), alice_, "dan");
  UseScript("dialog 101 uncheck 1010; click 1\n" + kPassphrase +
            "dialog 108 click 1016\n"
            "dialog 107 select \"" +
            KeyLine(GetParam(), alice_, "Bob Example <bob@example.com>", Bob().email) +
            "\"; click 1\n");

  const std::string quoted = "\"Smith, Bob\"";
  EXPECT_EQ(
      Send(quoted + ";" + quoted + " <bob@example.com>;Dan \"Q\" Smith <dan@example.org>", "Hi\n"),
      0)
      << RawLog();

  EXPECT_EQ(ListedIn(108), std::vector<std::string>{quoted});
  std::vector<std::string> crypto = CryptoCommands();
  ASSERT_EQ(crypto.size(), 1u);
  EXPECT_EQ(crypto[0].find(Ref("m@evil.example")), std::string::npos) << crypto[0];
  EXPECT_EQ(Count(crypto[0], "--recipient " + Ref(Bob().email) + " "), 1u);
  EXPECT_NE(crypto[0].find("--recipient " + Ref("dan@example.org") + " "), std::string::npos);
  EXPECT_EQ(EncryptedTo(MailBody()),
            (std::set<std::string>{Ref(Alice().email), Ref(Bob().email), Ref("dan@example.org")}));
}

// A path holding quotes is one file name, never options for GnuPG.
TEST_P(OutgoingNames, QuotesInAPathCannotAddOptions) {
  std::string attachment = dir_ + "/x\" --armor \"y";
  WriteFile(attachment, "quoted path\n");
  UseScript("dialog 101 uncheck 1011; click 1\n" + kPassphrase);

  EXPECT_EQ(Send("Bob Example", "", attachment), 16) << RawLog();

  std::string encrypted = ReadFile(attachment + ".pgp");
  ASSERT_FALSE(encrypted.empty());
  EXPECT_NE(encrypted[0], '-');  // not armoured
  std::string plain;
  BobOpens(attachment + ".pgp", &plain);
  EXPECT_EQ(plain, "quoted path\n");
  EXPECT_FALSE(fs::exists(attachment));
  EXPECT_FALSE(fs::exists(dir_ + "/x"));
}

// The canonical sender name finds its key without asking; a name that matches no secret key has
// the user pick one, and the key picked is the one exported.
TEST_P(OutgoingNames, TheSenderNameFindsTheKeyThatSignsAndIsExported) {
  const std::string options = "dialog 101 click 1001; uncheck 1010; click 1\n";
  UseScript(options + kPassphrase);
  EXPECT_EQ(Send("Bob Example", "Hi\n", "", "CN=Alice Example/O=Acme"), 1) << RawLog();
  EXPECT_EQ(DialogsOpened(Events("dialog-open")), (std::vector<int>{101, 103}));

  std::remove(TempFile("pubkey.asc").c_str());
  WriteFile(log_, "");
  UseScript(options + "dialog 107 click 1\n");
  EXPECT_EQ(Send("Bob Example", "Hi\n", "", "Ally Sender/Acme"), 1) << RawLog();
  EXPECT_EQ(DialogsOpened(Events("dialog-open")), (std::vector<int>{101, 107}));
  EXPECT_NE(Commands().back().find("--export -- \"" + Ref(Alice().email) + "\""), std::string::npos)
      << Commands().back();
  EXPECT_NE(ReadFile(TempFile("pubkey.asc")).find("-----BEGIN PGP PUBLIC KEY BLOCK-----"),
            std::string::npos);
  EXPECT_TRUE(Events("message").empty()) << RawLog();
}

// Runs GnuPG in a folder of the test's own: a name taken for an option would write there.
struct InFolder {
  explicit InFolder(const std::string& dir) : before(fs::current_path()) { fs::current_path(dir); }
  ~InFolder() { fs::current_path(before); }
  fs::path before;
};

// Names and files other people choose are never options to GnuPG: a typed recipient, a member of
// a directory group and an attachment named "--status-file=victim" leave ./victim as it was.
TEST_P(OutgoingNames, NamesAndFilesLikeOptionsAreNeverOptions) {
  InFolder here(dir_);
  WriteFile(dir_ + "/victim", "precious\n");
  ASSERT_EQ(notesemu::AddDirectoryEntries(dir_ + "/notes/names.nsf", {},
                                          {{"Evil", {"CN=--status-file=victim/O=Acme"}, true}}),
            "");
  UseScript("dialog 101 click 1\ndialog 108 click 2\n");
  EXPECT_EQ(Send("--status-file=victim;--logger-file=victim", "Hi\n"), -1);
  EXPECT_EQ(ListedIn(108),
            (std::vector<std::string>{"--logger-file=victim", "--status-file=victim"}));
  EXPECT_EQ(ReadFile(dir_ + "/victim"), "precious\n");

  WriteFile(log_, "");
  UseScript("dialog 101 click 1\ndialog 108 click 2\n");
  EXPECT_EQ(Send("Evil", "Hi\n"), -1);
  EXPECT_EQ(ListedIn(108), std::vector<std::string>{"--status-file=victim"});
  EXPECT_EQ(ReadFile(dir_ + "/victim"), "precious\n");

  // The attachment is encrypted as the file it is.
  WriteFile(dir_ + "/--status-file=victim", "attached\n");
  UseScript("dialog 101 uncheck 1011; click 1\n" + kPassphrase);
  EXPECT_EQ(Send("Bob Example", "", "--status-file=victim"), 16) << RawLog();
  std::string plain;
  BobOpens(dir_ + "/--status-file=victim.pgp", &plain);
  EXPECT_EQ(plain, "attached\n");
  EXPECT_FALSE(fs::exists(dir_ + "/--status-file=victim"));
  EXPECT_EQ(ReadFile(dir_ + "/victim"), "precious\n");
  EXPECT_TRUE(Events("message").empty()) << RawLog();
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, OutgoingNames, testing::ValuesIn(kEveryGnuPG),
                         [](const auto& info) { return GnuPGName(info.param); });

// Each distinct key is named once; a memo with more keys than the command line holds names them
// in an options file that starts with the user's own GnuPG configuration, wiped afterwards.
using RecipientOptions = UiFixture;

TEST_F(RecipientOptions, DistinctKeysOnceAndAnOptionsFileWhenTheLineIsFull) {
  vp::InitialSharedSettings(&vp::Settings());
  vp::CopyText(vp::Settings().szGpgApp, "/usr/bin/gpg1");
  vp::EncryptionKeys keys{"KSELF", {"KA", "KB", "KA", "KSELF"}};
  EXPECT_EQ(vp::CryptoOptionText(keys, 4, "--encrypt ", true),
            "--recipient KA --recipient KB --recipient KSELF --encrypt --default-key KSELF ");
  EXPECT_EQ(vp::CryptoOptionText(keys, 2, "--encrypt ", true),
            "--recipient KA --recipient KB --encrypt --default-key KSELF --recipient KSELF ");

  const std::string home = dir_ + "/gnupghome";
  fs::create_directories(home);
  setenv("GNUPGHOME", home.c_str(), 1);
  WriteFile(home + "/gpg.conf", "armor\n");
  WriteFile(home + "/gpg.conf-1.4", "encrypt-to 0123ABCD");  // the version's own comes first
  keys.signing = std::string(40, 'F');
  keys.recipients.clear();
  for (int i = 0; i < 700; ++i) {
    char fpr[41];
    snprintf(fpr, sizeof fpr, "%040d", i);
    keys.recipients.push_back(fpr);
  }
  keys.recipients.push_back(keys.recipients[3]);
  const std::string in = "/tmp/veilpost12345", out = "/tmp/veilpost12346";
  {
    // 500 fingerprints fit the command line.
    vp::EncryptionKeys five{keys.signing, {keys.recipients.begin(), keys.recipients.begin() + 500}};
    vp::CryptoOptions named;
    ASSERT_TRUE(named.Prepare(five, "--encrypt ", true, in.c_str(), out.c_str()));
    EXPECT_EQ(named.File(), "");
    EXPECT_EQ(named.Text(), vp::CryptoOptionText(five, 500, "--encrypt ", true));
  }
  std::string file;
  {
    vp::CryptoOptions named;
    ASSERT_TRUE(named.Prepare(keys, "--encrypt ", true, in.c_str(), out.c_str())) << RawLog();
    file = named.File();
    ASSERT_NE(file, "");
    EXPECT_EQ(named.Text(),
              "--options \"" + file + "\" --encrypt --default-key " + keys.signing + " ");
    std::string expected = "encrypt-to 0123ABCD\n";
    for (int i = 0; i < 700; ++i) expected += "recipient " + keys.recipients[i] + "\n";
    expected += "recipient " + keys.signing + "\n";
    EXPECT_EQ(ReadFile(file), expected);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_FALSE(fs::exists(file));

  // A key that is not hex could add a line to the file: refused, and no file is left.
  keys.recipients[5] = "0000\nkeyring /tmp/x";
  {
    vp::CryptoOptions named;
    EXPECT_FALSE(named.Prepare(keys, "--encrypt ", true, in.c_str(), out.c_str()));
    EXPECT_EQ(named.File(), "");
  }
  EXPECT_EQ(Events("message").size(), 1u) << RawLog();
  unsetenv("GNUPGHOME");
}

// GnuPG reads the first of its version's configuration files that exists.
TEST_F(RecipientOptions, ConfigurationFileOfTheVersion) {
  const std::string home = dir_ + "/conf";
  fs::create_directories(home);
  bool big = false;
  EXPECT_EQ(vp::GnuPGConfigText(home, 2, 2, 40, &big), "");
  WriteFile(home + "/gpg.conf", "plain\n");
  EXPECT_EQ(vp::GnuPGConfigText(home, 2, 2, 40, &big), "plain\n");
  WriteFile(home + "/gpg.conf-2", "two\n");
  EXPECT_EQ(vp::GnuPGConfigText(home, 2, 2, 40, &big), "two\n");
  WriteFile(home + "/gpg.conf-2.2", "two-two\n");
  EXPECT_EQ(vp::GnuPGConfigText(home, 2, 2, 40, &big), "two-two\n");
  EXPECT_EQ(vp::GnuPGConfigText(home, 2, 3, 0, &big), "two\n");
  WriteFile(home + "/gpg.conf-2.2.40", "exact\n");
  EXPECT_EQ(vp::GnuPGConfigText(home, 2, 2, 40, &big), "exact\n");
  EXPECT_EQ(vp::GnuPGConfigText(home, 1, 4, 23, &big), "plain\n");
  EXPECT_FALSE(big);
  WriteFile(home + "/gpg.conf-2.2.40", std::string((1 << 20) + 1, '#'));
  EXPECT_EQ(vp::GnuPGConfigText(home, 2, 2, 40, &big), "");
  EXPECT_TRUE(big);
}

}  // namespace
}  // namespace vptest
