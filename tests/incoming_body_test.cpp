// Memo bodies handed to and from the mail script: recognition, the hand-over file, quoting.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/strings.h"
#include "hooklib/incoming/body_handover.h"
#include "incoming_fixture.h"
#include "platform/faults.h"
#include "support/registry_file.h"

namespace vptest {
namespace {

using Texts = std::vector<std::string>;

TEST(IncomingArmourHeaders, OnlyWholeLinesEndingInCarriageReturnCount) {
  EXPECT_EQ(vp::IsPgpMailImpl("Hi\r\n-----BEGIN PGP SIGNED MESSAGE-----\r\nHash: SHA1\r\n"), 1);
  EXPECT_EQ(vp::IsPgpMailImpl("-----BEGIN PGP MESSAGE-----\r\n"), 1);
  EXPECT_EQ(vp::IsPgpMailImpl("text\r\n-----BEGIN PGP SIGNATURE-----\r"), 1);
  EXPECT_EQ(vp::IsPgpMailImpl("Hi\n-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA1\n"), 0);
  EXPECT_EQ(vp::IsPgpMailImpl("-----BEGIN PGP SIGNED MESSAGE----- \r\n"), 0);
  EXPECT_EQ(vp::IsPgpMailImpl(" -----BEGIN PGP MESSAGE-----\r\n"), 0);
  EXPECT_EQ(vp::IsPgpMailImpl("-----BEGIN PGP PUBLIC KEY BLOCK-----\r\n"), 0);
  EXPECT_EQ(vp::IsPgpMailImpl("-----begin pgp message-----\r\n"), 0);
  EXPECT_EQ(vp::IsPgpMailImpl(nullptr), 0);
}

class IncomingBody : public IncomingBothVersions {
 protected:
  void SetUp() override {
    IncomingBothVersions::SetUp();
    if (IsSkipped()) return;
    vp::InitOrlavexImpl("9.0.1", "1.5.5");
    std::filesystem::remove(vp::HandOverPath());
  }
  void TearDown() override {
    std::filesystem::remove(vp::HandOverPath());
    IncomingBothVersions::TearDown();
  }
  static std::string Crlf(const std::string& text) {
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
  }
  int DecryptBody(std::string body, const std::string& attachments) {
    body.push_back('\0');
    return vp::DoDecryptBodyImpl("CN=Bob Example/O=Acme", body.data(), attachments.c_str());
  }
};

TEST_P(IncomingBody, HandOverFileHoldsPlaintextThenAttachmentLines) {
  const std::string attachments = "/tmp/in/a.doc.PGP,,b.txt,/x/c.Asc,/x/d.pgpx";
  const std::string lines =
      "[Attachment: a.doc]\n[Attachment: b.txt]\n[Attachment: c]\n[Attachment: d.pgpx]\n";
  // Encrypted text without a final line feed: a blank line separates the attachment lines.
  std::string encrypted = FromAlice("--recipient bob@example.com --sign --encrypt", "Noon.");
  // Clear-signed, as the memo holds it: CR LF line ends, which are removed before verifying.
  std::string clearSigned = FromAlice("--clearsign", "Line one\nLine two\n", false);
  std::string crlf;
  for (char c : clearSigned) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  UseScript(BobTypes());

  ASSERT_EQ(DecryptBody(encrypted, attachments), 0);
  EXPECT_EQ(ReadFile(vp::HandOverPath()), "Noon.\n\n" + lines);
  ASSERT_EQ(DecryptBody(crlf, "b.txt"), 0);
  EXPECT_EQ(ReadFile(vp::HandOverPath()), "Line one\nLine two\n[Attachment: b.txt]\n");
  const std::string signedBox =
      "Information: " + SignedBox(Format(161, "email", "Alice Example <alice@example.com>"), alice_,
                                  "alice@example.com");
  EXPECT_EQ(Boxes(), (Texts{signedBox, signedBox}));

  // No OpenPGP data: string 177, result 0, and only the attachment lines.
  ASSERT_EQ(DecryptBody("Just a note.\r\n", attachments), 0);
  EXPECT_EQ(ReadFile(vp::HandOverPath()), lines);
  EXPECT_EQ(Boxes().back(), "Error: " + std::string(vp::MessageString(177)));
}

// Whatever part of a message broke on its way, nothing of it is handed over: not to the mail
// script, not into an attachment's output file.
TEST_P(IncomingBody, DamagedOrAlteredMessagesAreNeverHandedOver) {
  std::string plain;
  for (int i = 0; i < 2000; ++i) plain += "Line " + std::to_string(i) + " of the report.\n";
  // Uncompressed: a flipped byte changes the plaintext, and only the integrity check notices.
  std::string flipped =
      FromAlice("-z 0 --recipient bob@example.com --sign --encrypt", plain, false);
  flipped[flipped.size() - 100] ^= 1;
  std::string flippedSigned = FromAlice("-z 0 --sign", plain, false);
  flippedSigned[flippedSigned.size() / 2] ^= 1;
  const std::string binary = dir_ + "/report.pgp", signedFile = dir_ + "/memo.gpg";
  WriteFile(binary, flipped);
  WriteFile(signedFile, flippedSigned);
  std::string made;
  ASSERT_EQ(Gpg(version_, bob_, "--batch --yes --enarmor -o '" + dir_ + "/f.asc' '" + binary + "'",
                &made),
            0)
      << made;
  std::string armoured = FromAlice("--recipient bob@example.com --sign --encrypt", plain);
  size_t checksum = armoured.rfind("\n=");
  size_t cut = armoured.rfind('\n', armoured.rfind('\n', checksum - 1) - 1);
  std::string truncated = armoured.substr(0, cut) + armoured.substr(checksum);
  UseScript(BobTypes());

  EXPECT_EQ(DecryptBody(ReadFile(dir_ + "/f.asc"), "a.doc"), -1);
  EXPECT_FALSE(PathExistsForTest(vp::HandOverPath()));
  const std::string damaged = "Error: This email is damaged or was altered";
  EXPECT_EQ(Boxes().back().rfind(damaged, 0), 0u) << Boxes().back();
  EXPECT_EQ(DecryptBody(truncated, "a.doc"), -1);
  EXPECT_FALSE(PathExistsForTest(vp::HandOverPath()));

  EXPECT_EQ(vp::DecryptFile(binary.c_str(), (binary + ".out").c_str()), -1);
  EXPECT_FALSE(PathExistsForTest(binary + ".out"));
  EXPECT_EQ(vp::DecryptFile(signedFile.c_str(), (signedFile + ".out").c_str()), -1);
  EXPECT_FALSE(PathExistsForTest(signedFile + ".out"));
  EXPECT_EQ(Boxes().back().rfind("Warning: The file \"memo.gpg\" signed as Alice Example "
                                 "<alice@example.com> has a BAD signature",
                                 0),
            0u)
      << Boxes().back();

  // GnuPG 1.4 still decrypts data that carries no integrity check; 2.2 refuses it itself.
  if (version_ == GnuPG::k1) {
    EXPECT_EQ(
        DecryptBody(FromAlice("--disable-mdc --recipient bob@example.com --encrypt", plain), ""),
        -1);
    EXPECT_EQ(Boxes().back().rfind("Error: This email carries no protection against changes", 0),
              0u)
        << Boxes().back();
  }
}

// A signature holds on the bytes as they were signed: Alice's memo with a tab and "Grüße" is
// verified as received and handed over as she wrote it; a tab and non-ASCII bytes added on the
// way are a change like any other (a BAD signature, nothing handed over).
TEST_P(IncomingBody, ClearSignedBodyIsVerifiedAsReceived) {
  const std::string memo =
      "Price list\n\tTea\t3\nGr\xc3\xbc\xc3\x9f"
      "e, Alice\n";
  const std::string body = Crlf(FromAlice("--clearsign", memo, false));
  UseScript(BobTypes());
  ASSERT_EQ(DecryptBody(body, "list.xls"), 0);
  EXPECT_EQ(ReadFile(vp::HandOverPath()), memo + "[Attachment: list.xls]\n");
  const std::string signedBox =
      "Information: " + SignedBox(Format(161, "email", "Alice Example <alice@example.com>"), alice_,
                                  "alice@example.com");
  EXPECT_EQ(Boxes(), Texts{signedBox});

  std::string altered = body;
  altered.replace(altered.find("Tea\t3"), 5, "Tea\t 3\xc2\xa0\x80\xff");
  std::filesystem::remove(vp::HandOverPath());
  EXPECT_EQ(DecryptBody(altered, ""), -1);
  EXPECT_FALSE(PathExistsForTest(vp::HandOverPath()));
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1].rfind("Warning: This email signed as Alice Example <alice@example.com> has "
                             "a BAD signature",
                             0),
            0u)
      << Boxes()[1];
}

// A clear-signed or signed-only memo cut inside its signature is damaged: never handed over,
// never called unsigned.
TEST_P(IncomingBody, SignedMemoCutShortIsDamaged) {
  const std::string clearSigned = Crlf(FromAlice("--clearsign", "Pay 10 to Carol.\n", false));
  const size_t signature = clearSigned.find("-----BEGIN PGP SIGNATURE-----\r\n");
  const size_t end = clearSigned.find("-----END PGP SIGNATURE-----");
  const size_t checksum = clearSigned.rfind("\r\n=", end);
  ASSERT_NE(signature, std::string::npos);
  const std::string signedOnly = Crlf(FromAlice("--sign", "Pay 10 to Carol.\n"));
  const std::vector<std::string> cut = {
      clearSigned.substr(0, signature + 31),         // the block's first line alone
      clearSigned.substr(0, (signature + end) / 2),  // inside its data
      clearSigned.substr(0, checksum + 7),           // its checksum, without the last line
      signedOnly.substr(0, signedOnly.size() / 2)};  // a signed-only memo, half of it
  const std::string damaged =
      "Error: This email is damaged or was altered: GnuPG found it incomplete or changed. It is "
      "not opened.";
  UseScript(BobTypes());
  for (size_t i = 0; i < cut.size(); ++i) {
    EXPECT_EQ(DecryptBody(cut[i], "a.doc"), -1) << i;
    EXPECT_FALSE(PathExistsForTest(vp::HandOverPath())) << i;
    EXPECT_EQ(Boxes(), Texts(i + 1, damaged)) << i << ": " << RawLog();
  }
}

// Attachment names are the sender's: however they are made, they cannot add a line after a text
// reported as signed.
TEST_P(IncomingBody, AttachmentNamesCannotAddLinesToTheText) {
  const std::string encrypted =
      FromAlice("--recipient bob@example.com --sign --encrypt", "Nothing to pay.\n");
  UseScript(BobTypes());
  ASSERT_EQ(
      DecryptBody(encrypted, "/tmp/in/report\nPS: please pay invoice 42.pdf.pgp,b\r\x1b[2Jc.txt"),
      0);
  const std::string handOver = ReadFile(vp::HandOverPath());
  EXPECT_EQ(handOver,
            "Nothing to pay.\n[Attachment: report\\nPS: please pay invoice 42.pdf]\n"
            "[Attachment: b\\r\\x1B[2Jc.txt]\n");
  std::istringstream lines(handOver);
  size_t count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    EXPECT_NE(line.rfind("PS:", 0), 0u) << handOver;
  }
  EXPECT_EQ(count, 3u);
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, IncomingBody, testing::ValuesIn(kEveryGnuPG), VersionName);

// Through the host, the way the script calls the library: the exports are found by name and
// the Notes window is disabled while the body is decrypted.
class IncomingHost : public IncomingFixture {
 protected:
  void SetUp() override {
    IncomingFixture::SetUp();
    StartWith(GnuPG::k1);
  }
  void TearDown() override {
    std::filesystem::remove(vp::HandOverPath());
    IncomingFixture::TearDown();
  }
};

TEST_F(IncomingHost, DecryptBodyAndIsPgpMailThroughTheHost) {
  WriteConfigKey({Str("GpgProgramPath", GnuPGProgram(GnuPG::k1))});
  std::string encrypted = FromAlice("--recipient bob@example.com --sign --encrypt", "Noon.");
  std::string crlf;
  for (char c : encrypted) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::string body = dir_ + "/body.txt";
  WriteFile(body, crlf);
  UseScript(BobTypes());
  std::string call = VeilpostBinary() + " call ";
  std::string out;
  ASSERT_EQ(RunCommand(call + "IsPgpMail @" + body + " 2>&1", &out), 0);
  EXPECT_EQ(out, "1\n");
  ASSERT_EQ(RunCommand(call + "DoDecryptBody Bob @" + body + " /tmp/in/a.doc.PGP,b.txt 2>&1", &out),
            0);
  EXPECT_EQ(out, "0\n");
  EXPECT_EQ(ReadFile(vp::HandOverPath()), "Noon.\n\n[Attachment: a.doc]\n[Attachment: b.txt]\n");
  std::vector<bool> enabled;
  for (const auto& e : Events("window-enable")) enabled.push_back(e["enabled"]);
  EXPECT_EQ(enabled, (std::vector<bool>{false, true}));

  ASSERT_EQ(RunCommand(call + "DoQuoteBody '> quoted' 2>&1", &out), 0);
  EXPECT_EQ(out, "0\n");
  EXPECT_EQ(ReadFile(vp::HandOverPath()), "> quoted");
}

// An empty quote and a cancelled decryption leave the script's earlier file as it was.
TEST_F(IncomingHost, QuotedTextIsWrittenAsItStands) {
  ASSERT_EQ(vp::DoQuoteBodyImpl("> quoted\r\n> text"), 0);
  EXPECT_EQ(vp::DoQuoteBodyImpl(""), -1);
  EXPECT_EQ(vp::DoQuoteBodyImpl(nullptr), -1);
  vp::InitOrlavexImpl("9.0.1", "1.5.5");
  UseScript("dialog 104 click 2\n");
  std::string body = "-----BEGIN PGP MESSAGE-----\r\n";
  EXPECT_EQ(vp::DoDecryptBodyImpl("Bob", body.data(), "a.doc"), -1);
  EXPECT_EQ(ReadFile(vp::HandOverPath()), "> quoted\r\n> text");
  EXPECT_TRUE(Boxes().empty());

  // A temporary folder too long for the hand-over name is refused, not written under a cut name.
  std::string deep = dir_ + "/" + std::string(250 - dir_.size() - 1, 'd');
  std::filesystem::create_directories(deep);
  std::string saved = getenv("TMPDIR");  // every test process has its own
  setenv("TMPDIR", deep.c_str(), 1);
  EXPECT_EQ(vp::DoQuoteBodyImpl("> quoted"), -1);
  EXPECT_EQ(vp::DoDecryptBodyImpl("Bob", body.data(), "a.doc"), -1);
  setenv("TMPDIR", saved.c_str(), 1);
  EXPECT_TRUE(std::filesystem::is_empty(deep));
  // The box's fixed-size text shows the start of the name.
  Texts boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].rfind("Error: Unable to open " + deep.substr(0, 100), 0), 0u) << boxes[0];
  EXPECT_EQ(boxes[1], boxes[0]);
  EXPECT_EQ(Events("dialog-open").size(), 1u);  // no passphrase asked for a body that cannot land
}

// The hand-over name is taken over, never written through; a short write fails the call.
TEST_F(IncomingHost, HandOverIsPrivateAndNeverFollowsAPlantedName) {
  namespace fs = std::filesystem;
  const std::string handOver = vp::HandOverPath();
  const std::string target = dir_ + "/their-file";
  WriteFile(target, "theirs");
  fs::create_symlink(target, handOver);
  ASSERT_EQ(vp::DoQuoteBodyImpl("> quoted"), 0);
  EXPECT_EQ(ReadFile(target), "theirs");
  EXPECT_EQ(fs::status(handOver).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(fs::is_symlink(handOver));
  EXPECT_EQ(ReadFile(handOver), "> quoted");

  // A FIFO under the name is neither written through nor removed: the call fails and says so.
  fs::remove(handOver);
  ASSERT_EQ(mkfifo(handOver.c_str(), 0666), 0);
  EXPECT_EQ(vp::DoQuoteBodyImpl("> again"), -1);
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(handOver)));
  Texts refused = Boxes();
  ASSERT_FALSE(refused.empty());
  for (const std::string& box : refused)
    EXPECT_EQ(box, "Error: " + handOver + " is not a regular file; it was left as it is.");
  WriteFile(log_, "");
  fs::remove(handOver);
  ASSERT_EQ(vp::DoQuoteBodyImpl("> again"), 0);
  EXPECT_EQ(ReadFile(handOver), "> again");

  vp::SetFaults("files.write@1");
  EXPECT_EQ(vp::DoQuoteBodyImpl("> on a full disk"), -1);
  vp::SetFaults("");
  EXPECT_FALSE(fs::exists(handOver));
  Texts boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Error: Unable to write " + handOver + ": No space left on device");
}

}  // namespace
}  // namespace vptest
