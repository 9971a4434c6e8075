// Sending a memo with real GnuPG of both versions: what Bob receives, the command lines, the
// dialogs on the way, and the files left behind on success and failure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "outgoing_fixture.h"
#include "platform/faults.h"
#include "support/registry_file.h"
#include "support/test_env.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

using OutgoingEncrypt = OutgoingFixture;

const std::string kPassphrase = std::string("dialog 103 type 1005 ") + "alice-pass; click 1\n";

std::string Binary() {
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
  return bytes;
}

TEST_P(OutgoingEncrypt, BobReadsMemoAttachmentAndKey) {
  std::string attachment = dir_ + "/plan.bin";
  WriteFile(attachment, Binary());
  WriteFile(MailBody(), "stale body of an earlier memo");
  UseScript("dialog 101 click 1001; click 1\n" + kPassphrase);
  const std::string body = "Hello Bob,\nthe plan is attached.\n\nAlice\n";

  EXPECT_EQ(Send("Bob Example;Team", body, attachment), 17);

  // The body: armoured, LF line ends only, for Bob and Carol (the group) and Alice herself.
  std::string armoured = ReadFile(MailBody());
  EXPECT_EQ(armoured.rfind("-----BEGIN PGP MESSAGE-----\n", 0), 0u) << armoured;
  EXPECT_EQ(armoured.find('\r'), std::string::npos);
  std::string plain;
  std::string status = BobOpens(MailBody(), &plain);
  EXPECT_EQ(plain.substr(0, 10), "Hello Bob,");
  EXPECT_NE(plain.find("the plan is attached."), std::string::npos);
  EXPECT_NE(status.find("[GNUPG:] VALIDSIG " + Fingerprint(GetParam(), alice_, Alice().email)),
            std::string::npos)
      << status;

  std::vector<std::string> crypto = CryptoCommands();
  ASSERT_EQ(crypto.size(), 2u);
  for (const std::string& c : crypto) {
    for (const char* who : {"bob@example.com", "carol@example.com", "alice@example.com"})
      EXPECT_NE(c.find("--recipient " + Ref(who) + " "), std::string::npos) << who << "\n" << c;
    EXPECT_NE(c.find("--default-key " + Ref(Alice().email) + " "), std::string::npos);
  }
  EXPECT_NE(crypto[0].find("--armor --always-trust --encrypt --sign --textmode"),
            std::string::npos);
  EXPECT_EQ(crypto[1].find("--armor"), std::string::npos);

  // The attachment: its plain file wiped, the ".pgp" file decrypts to the same bytes.
  EXPECT_FALSE(fs::exists(attachment));
  status = BobOpens(attachment + ".pgp", &plain);
  EXPECT_EQ(plain, Binary());
  EXPECT_NE(status.find("[GNUPG:] VALIDSIG " + Fingerprint(GetParam(), alice_, Alice().email)),
            std::string::npos);

  // The exported key is Alice's alone and imports on an empty ring.
  std::string fresh = FreshHome("import");
  std::string listing;
  ASSERT_EQ(Gpg(GetParam(), fresh, "--batch --import '" + TempFile("pubkey.asc") + "'", &listing),
            0)
      << listing;
  Gpg(GetParam(), fresh, "--with-colons --fixed-list-mode --with-fingerprint --list-keys",
      &listing);
  EXPECT_EQ(Count(listing, "\npub:"), 1u) << listing;
  EXPECT_NE(listing.find(Ref(Alice().email)), std::string::npos);
  StopAgent(fresh);

  // Every box the user saw was a dialog; nothing went wrong.
  EXPECT_TRUE(Events("message").empty()) << RawLog();
  EXPECT_NE(ReadFile(RegistryPath()).find("\"AttachPubKey\"=dword:00000001"), std::string::npos);
}

TEST_P(OutgoingEncrypt, BothFlagsOffClearSignsForTheSenderOnly) {
  std::string attachment = dir_ + "/kept.txt";
  WriteFile(attachment, "not to be touched");
  UseScript("dialog 101 uncheck 1011; uncheck 1010; click 1\n" + kPassphrase);

  // "Nobody Known" has no key, yet nobody is looked up: no missing-keys dialog.
  EXPECT_EQ(Send("Nobody Known;Bob Example", "Signed, not sealed.\n", attachment), 0);

  std::string signedText = ReadFile(MailBody());
  EXPECT_EQ(signedText.rfind("-----BEGIN PGP SIGNED MESSAGE-----\n", 0), 0u) << signedText;
  EXPECT_NE(signedText.find("\nSigned, not sealed.\n"), std::string::npos);
  EXPECT_EQ(signedText.find('\r'), std::string::npos);
  std::string status = BobOpens(MailBody(), nullptr);
  EXPECT_NE(status.find("[GNUPG:] VALIDSIG " + Fingerprint(GetParam(), alice_, Alice().email)),
            std::string::npos)
      << status;

  std::vector<std::string> crypto = CryptoCommands();
  ASSERT_EQ(crypto.size(), 1u);
  EXPECT_NE(crypto[0].find("--armor --always-trust --clearsign --default-key"), std::string::npos);
  EXPECT_EQ(Count(crypto[0], "--recipient "), 1u);
  EXPECT_NE(crypto[0].find("--recipient " + Ref(Alice().email)), std::string::npos);
  // Only the signing key was listed: no per-recipient key check.
  EXPECT_EQ(Commands().size(), 2u);
  for (const auto& e : Events("dialog-open")) EXPECT_NE(e["id"], 108);
  EXPECT_EQ(ReadFile(attachment), "not to be touched");
}

// Encrypt message off, attachments on: the body is only signed (here there is none), and a wrong
// passphrase on the attachment is asked again and the same command line runs once more.
TEST_P(OutgoingEncrypt, WrongPassphraseOnAnAttachmentAndNoBody) {
  std::string attachment = dir_ + "/notes.txt";
  WriteFile(attachment, "attachment text\n");
  WriteFile(MailBody(), "stale");
  UseScript("dialog 101 uncheck 1011; click 1\ndialog 103 type 1005 wrong; click 1\n" +
            kPassphrase);

  EXPECT_EQ(Send("Bob Example", "", attachment), 16) << RawLog();

  EXPECT_FALSE(fs::exists(MailBody()));  // the stale body is wiped and none is written
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]["text"], vp::MessageString(159));
  // The retry runs the same command line: GnuPG refuses a command given twice.
  std::vector<std::string> crypto = CryptoCommands();
  ASSERT_EQ(crypto.size(), 2u);
  EXPECT_EQ(crypto[0], crypto[1]);
  EXPECT_EQ(Count(crypto[1], "--always-trust --encrypt --sign --default-key"), 1u);
  EXPECT_EQ(Count(crypto[1], "--recipient " + Ref(Bob().email)), 1u);
  std::string plain;
  BobOpens(attachment + ".pgp", &plain);
  EXPECT_EQ(plain, "attachment text\n");
  EXPECT_FALSE(fs::exists(attachment));
}

// Dave has two keys under one name: the choice is asked once for the whole memo, and the body
// and every attachment go to the key picked. A middle attachment that cannot be read stops the
// send there.
TEST_P(OutgoingEncrypt, AmbiguousNameAskedOnceForTheMemoAndAMiddleAttachmentFails) {
  std::vector<std::string> files;
  for (const char* name : {"a1.txt", "a2.txt", "a3.txt"}) {
    files.push_back(dir_ + "/" + name);
    if (files.size() != 2) WriteFile(files.back(), std::string("content of ") + name);
  }
  UseScript("dialog 101 click 1\n" + kPassphrase +
            "dialog 107 select-index 1011 1; click 1\n"
            "dialog 107 select-index 1011 0; click 1\n");

  EXPECT_EQ(Send("Dave Example", "For Dave.\n", files[0] + ",," + files[1] + "," + files[2]), -1);

  int chooser = 0;
  for (const auto& e : Events("dialog-open")) chooser += e["id"] == 107;
  EXPECT_EQ(chooser, 1);
  std::vector<std::string> offered = ListedIn(107);
  ASSERT_EQ(offered.size(), 2u);
  std::sort(offered.begin(), offered.end());  // the list box is sorted
  const std::string picked = FingerprintShownIn(offered[1]);
  const std::set<std::string> expected{picked, Ref(Alice().email)};
  EXPECT_EQ(EncryptedTo(MailBody()), expected);  // written before the failure, left in place
  EXPECT_EQ(EncryptedTo(files[0] + ".pgp"), expected);
  EXPECT_FALSE(fs::exists(files[0]));
  EXPECT_FALSE(fs::exists(files[1] + ".pgp"));
  EXPECT_EQ(ReadFile(files[2]), "content of a3.txt");  // never reached
  EXPECT_FALSE(fs::exists(files[2] + ".pgp"));
  EXPECT_EQ(CryptoCommands().size(), 2u);
}

// GnuPG as it behaves when reading its input fails midway (an I/O error, a file cut short):
// the encryption runs to its END_ENCRYPTION line and leaves an output, but GnuPG exits with 2.
// The real GnuPG named by VP_TEST_REAL_GNUPG does the work; this child only ends with that code.
int GnuPGFailingLate(int argc, char** argv) {
  const char* real = getenv("VP_TEST_REAL_GNUPG");
  if (!real) return 127;
  std::vector<char*> args(argv, argv + argc);
  args[0] = const_cast<char*>(real);
  args.push_back(nullptr);
  if (std::find_if(argv, argv + argc, [](const char* a) { return !strcmp(a, "--encrypt"); }) ==
      argv + argc) {
    execv(real, args.data());
    return 127;
  }
  pid_t pid = fork();
  if (pid == 0) {
    execv(real, args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return 2;
}
const bool kFailingLate = RegisterChild("gpg-fails-late", GnuPGFailingLate);

// Only the exit code tells such a run from a good one: the send fails and nothing is left of the
// broken output.
TEST_P(OutgoingEncrypt, AttachmentGnuPGFailedOnFailsTheSend) {
  ASSERT_TRUE(kFailingLate);
  std::string attachment = dir_ + "/report.txt";
  WriteFile(attachment, "quarterly figures\n");
  setenv("VP_TEST_REAL_GNUPG", GnuPGProgram(GetParam()), 1);
  vp::CopyText(vp::Settings().szGpgApp, ChildProgram("gpg-fails-late", dir_).c_str());
  UseScript("dialog 101 uncheck 1011; click 1\n" + kPassphrase);

  EXPECT_EQ(Send("Bob Example", "", attachment), -1);
  unsetenv("VP_TEST_REAL_GNUPG");

  std::string caption;
  for (const auto& e : Events("set-text")) {
    if (e["dialog"] == 115 && e["id"] == 1021) caption = e["text"];
  }
  EXPECT_EQ(caption, "GnuPG failed on " + attachment + " (exit code 2).") << RawLog();
  EXPECT_FALSE(fs::exists(attachment + ".pgp"));
}

// A name with no key of its own offers the keys of its mail domain; names without keys are
// listed first, and Continue goes on.
TEST_P(OutgoingEncrypt, MissingKeysListedThenDomainKeysOffered) {
  UseScript("dialog 101 uncheck 1010; click 1\n" + kPassphrase +
            "dialog 108 click 1016\n"
            "dialog 107 select \"" +
            KeyLine(GetParam(), alice_, "Bob Example <bob@example.com>", Bob().email) +
            "\"; click 1\n");

  EXPECT_EQ(Send("Bob Example;someone@example.com", "Via the domain.\n"), 0);

  std::vector<std::string> missing, offered;
  for (const auto& e : Events("list-add")) {
    if (e["dialog"] == 108) missing.push_back(e["text"]);
    if (e["dialog"] == 107) offered.push_back(e["text"]);
  }
  EXPECT_EQ(missing, std::vector<std::string>{"someone@example.com"});
  // The example.com keys of Alice's ring (Alice, Bob, Carol), not Dave's example.net key.
  EXPECT_EQ(offered.size(), 3u);
  EXPECT_EQ(std::count(offered.begin(), offered.end(),
                       KeyLine(GetParam(), alice_, "Bob Example <bob@example.com>", Bob().email)),
            1);
  EXPECT_EQ(
      std::count(offered.begin(), offered.end(),
                 KeyLine(GetParam(), alice_, "Alice Example <alice@example.com>", Alice().email)),
      1);
  for (const std::string& who : offered) EXPECT_EQ(who.find("Dave"), std::string::npos);
  std::vector<std::string> crypto = CryptoCommands();
  ASSERT_EQ(crypto.size(), 1u);
  // Bob's key for his own name and as the pick for the unknown address: named once.
  EXPECT_EQ(Count(crypto[0], "--recipient " + Ref(Bob().email)), 1u) << crypto[0];
}

TEST_P(OutgoingEncrypt, EmptyRecipientListEncryptsForTheSenderAlone) {
  UseScript("dialog 101 uncheck 1010; click 1\n" + kPassphrase);
  EXPECT_EQ(Send("", "Note to self.\n"), 0);
  std::vector<std::string> crypto = CryptoCommands();
  ASSERT_EQ(crypto.size(), 1u);
  EXPECT_EQ(Count(crypto[0], "--recipient "), 1u);
  EXPECT_NE(crypto[0].find("--recipient " + Ref(Alice().email)), std::string::npos);
  EXPECT_NE(ReadFile(MailBody()).find("-----BEGIN PGP MESSAGE-----"), std::string::npos);
  // Bob is no recipient.
  EXPECT_EQ(BobOpens(MailBody(), nullptr).find("[GNUPG:] DECRYPTION_OKAY"), std::string::npos);
}

// Every result code: the public-key choice and the attachment flag, with nothing to encrypt.
TEST_P(OutgoingEncrypt, ResultCodesFollowTheChoices) {
  struct Case {
    const char* answers;
    int result;
    bool exported;
  };
  const Case cases[] = {
      {"dialog 101 click 1000; uncheck 1010; click 1", 0, false},
      {"dialog 101 click 1000; check 1010; click 1", 16, false},
      {"dialog 101 click 1001; uncheck 1010; click 1", 1, true},
      {"dialog 101 click 1002; check 1010; click 1", 18, true},
      {"dialog 101 click 1001; click 2", -1, false},
  };
  for (const Case& c : cases) {
    std::remove(TempFile("pubkey.asc").c_str());
    UseScript(std::string(c.answers) + "\n");
    EXPECT_EQ(Send("", ""), c.result) << c.answers;
    EXPECT_EQ(fs::exists(TempFile("pubkey.asc")), c.exported) << c.answers;
    EXPECT_TRUE(Events("message").empty()) << RawLog();
  }
  // The choice clicked before Cancel was not stored.
  EXPECT_NE(ReadFile(RegistryPath()).find("\"AttachPubKey\"=dword:00000002"), std::string::npos);
}

// A FIFO planted as pubkey.asc is neither written through nor removed: the send stops and says
// so; once it is gone the exported key takes the name. A FIFO attachment is refused: nothing
// blocks the send. A refused attachment is never deleted, unlike a plain copy that was read.
TEST_P(OutgoingEncrypt, SpecialFilesNeverBlockASend) {
  const std::string pubkey = TempFile("pubkey.asc");
  std::remove(pubkey.c_str());
  ASSERT_EQ(mkfifo(pubkey.c_str(), 0666), 0);
  UseScript("dialog 101 click 1001; uncheck 1010; click 1\n");
  EXPECT_EQ(Send("", ""), -1) << RawLog();
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(pubkey)));
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u) << RawLog();
  EXPECT_EQ(boxes[0]["text"], pubkey + " is not a regular file; it was left as it is.");
  std::remove(pubkey.c_str());
  WriteFile(log_, "");
  UseScript("dialog 101 click 1001; uncheck 1010; click 1\n");
  EXPECT_EQ(Send("", ""), 1) << RawLog();
  EXPECT_EQ(fs::status(pubkey).type(), fs::file_type::regular);
  EXPECT_EQ(fs::status(pubkey).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(ReadFile(pubkey).find("BEGIN PGP PUBLIC KEY BLOCK"), std::string::npos);

  const std::string fifo = FreshDir("send-fifo") + "/plan.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  UseScript("dialog 101 click 1000; check 1010; click 1\n" + kPassphrase);
  WriteFile(log_, "");
  EXPECT_EQ(Send("", "", fifo), -1);
  boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u) << RawLog();
  EXPECT_EQ(boxes[0]["text"], "Unable to encrypt " + fifo + ": it is not a file that can be read.");
  EXPECT_FALSE(fs::exists(fifo + ".pgp"));
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));

  // A path too long to take ".pgp" is refused before anything reads it, and stays.
  std::string deep = FreshDir("send-long");
  while (deep.size() < 200) deep += "/" + std::string(40, 'd');
  fs::create_directories(deep);
  const std::string longName = deep + "/" + std::string(260 - deep.size(), 'n') + ".doc";
  WriteFile(longName, "the user's document");
  WriteFile(log_, "");
  UseScript("dialog 101 click 1000; check 1010; click 1\n" + kPassphrase);
  EXPECT_EQ(Send("", "", longName), -1);
  boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u) << RawLog();
  const std::string shown = boxes[0]["text"];  // the box cuts a long text
  EXPECT_EQ(shown, ("The attachment path is too long: " + longName).substr(0, shown.size()));
  EXPECT_GT(shown.size(), 200u);
  EXPECT_EQ(ReadFile(longName), "the user's document");
}

// GnuPG that does not start for the body, and a wipe that cannot overwrite the plain temporary
// file: each is reported, the send fails, and no plaintext stays behind (checked on tear-down).
TEST_P(OutgoingEncrypt, FailuresAfterTheBodyWasWrittenLeaveNoPlaintext) {
  vp::ProgramVersion(GnuPGProgram(GetParam()));  // known already, so it starts nothing below
  std::remove(MailBody().c_str());
  const std::string options = "dialog 101 uncheck 1011; uncheck 1010; click 1\n";

  // The first run lists the signing key; the second, the signature, cannot start.
  vp::SetFaults("process.terminal@2");
  UseScript(options + kPassphrase);
  EXPECT_EQ(Send("", "secret words\n"), -1);
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u) << RawLog();
  EXPECT_EQ(boxes[0]["text"], "Unable to launch gpg.exe. Please check the program path.");
  EXPECT_FALSE(fs::exists(MailBody()));

  // The plain temporary file cannot be overwritten: it is still deleted.
  vp::SetFaults("files.overwrite@1");
  WriteFile(log_, "");
  UseScript(options);
  EXPECT_EQ(Send("", "secret words\n"), -1);
  boxes = Events("message");
  ASSERT_EQ(boxes.size(), 2u) << RawLog();
  EXPECT_EQ(boxes[1]["text"].get<std::string>().rfind(
                "Unable to delete " + PrivateDir() + "/veilpost", 0),
            0u)
      << boxes[1];
  EXPECT_FALSE(fs::exists(MailBody()));
  vp::SetFaults("");
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, OutgoingEncrypt, testing::ValuesIn(kEveryGnuPG),
                         [](const auto& info) { return GnuPGName(info.param); });

}  // namespace
}  // namespace vptest
