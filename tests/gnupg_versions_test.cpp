// GnuPG 2.4 beside 1.4 and 2.2: memos between users of different versions, each with a key its
// own version made, and the AEAD packets 2.4 writes for keys that advertise AEAD.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "hooklib/core/strings.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/incoming/run_verdict.h"
#include "incoming_fixture.h"
#include "outgoing_fixture.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

using Texts = std::vector<std::string>;

std::string Quoted(const std::string& s) {
  return "'" + s + "'";
}

// Alice writes with the version of the parameter, Bob reads with the other: 2.4 to 1.4 and 1.4
// to 2.4. Each key is made by its owner's version; 1.4 knows no elliptic curves, so the 2.4
// user writing to or reading from a 1.4 user has an RSA key made by 2.4.
class CrossVersionMemo : public OutgoingFixture {
 protected:
  GnuPG Bobs() const { return GetParam() == GnuPG::k24 ? GnuPG::k1 : GnuPG::k24; }

  void SetUp() override {
    OutgoingFixture::SetUp();
    if (IsSkipped()) return;
    VP_SKIP_UNLESS_PRESENT(GnuPG::k24);
    StopAgent(bob_);
    if (Bobs() == GnuPG::k1) {
      bob_ = UseKeyring(GnuPG::k1, "bob", dir_);
    } else {
      bob_ = FreshHome("bob24-");
      const std::string params = dir_ + "/bob24.params";
      WriteFile(params, std::string("Key-Type: RSA\nKey-Length: 2048\nSubkey-Type: RSA\n"
                                    "Subkey-Length: 2048\nName-Real: Bob Example\n"
                                    "Name-Email: bob@example.com\nExpire-Date: 0\nPassphrase: ") +
                            Bob().passphrase + "\n%commit\n");
      std::string made;
      ASSERT_EQ(Gpg(GnuPG::k24, bob_,
                    "--batch --pinentry-mode loopback --gen-key " + Quoted(params), &made),
                0)
          << made;
      fs::remove(params);
    }
    setenv("GNUPGHOME", alice_.c_str(), 1);
    // Alice swaps the Bob of her own version for this Bob; Bob takes Alice's key.
    Swap(GetParam(), alice_, Bobs(), bob_, "bob@example.com");
    Swap(Bobs(), bob_, GetParam(), alice_, "alice@example.com");
  }

  // Puts the public key of `email` from `from` (version `fromVersion`) on `to`, instead of any
  // key `to` held for that address.
  void Swap(GnuPG toVersion, const std::string& to, GnuPG fromVersion, const std::string& from,
            const std::string& email) {
    std::string out;
    if (std::string old = Fingerprint(toVersion, to, email); !old.empty()) {
      ASSERT_EQ(Gpg(toVersion, to, "--batch --yes --delete-keys " + old, &out), 0) << out;
    }
    const std::string file = dir_ + "/swap.asc";
    ASSERT_EQ(Gpg(fromVersion, from,
                  "--batch --yes --armor -o " + Quoted(file) + " --export " + email, &out),
              0)
        << out;
    // GnuPG 1.4 cannot take an elliptic-curve key: it stays without Alice's.
    Gpg(toVersion, to, "--batch --import " + Quoted(file), &out);
    fs::remove(file);
  }

  // The packet that holds the memo, as Bob's version lists it with his key.
  std::string DataPacket(const std::string& file) {
    std::string packets;
    Gpg(Bobs(), bob_,
        std::string("--batch ") + (HasAgent(Bobs()) ? "--pinentry-mode loopback " : "") +
            "--passphrase " + Bob().passphrase + " --list-packets " + Quoted(file),
        &packets);
    size_t at = packets.find(":aead encrypted packet:");
    if (at == std::string::npos) at = packets.find(":encrypted data packet:");
    return at == std::string::npos ? packets : packets.substr(at, packets.find("\n\t", at) - at);
  }
};

TEST_P(CrossVersionMemo, SignedEncryptedMemoIsReadByTheOtherVersion) {
  const std::string body = "Dear Bob,\nthe figures are final.\n";
  UseScript("dialog 101 click 1\ndialog 103 type 1005 alice-pass; click 1\n");
  ASSERT_EQ(Send("Bob Example", body), 16) << RawLog();  // 16: her own key not attached
  // Bob's 1.4 key asks for no AEAD: the memo is the packet 1.4 reads, with its integrity check.
  EXPECT_EQ(DataPacket(MailBody()).rfind(":encrypted data packet:", 0), 0u)
      << DataPacket(MailBody());
  int rc = 0;
  std::string out = BobCalls(ReadFile(MailBody()), "", &rc, Bobs());
  ASSERT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "0\n") << BobsBoxes();
  EXPECT_EQ(BobSees(), body);
  if (Bobs() == GnuPG::k24) {
    EXPECT_NE(BobsBoxes().find("This email is signed by Alice Example <alice@example.com>."),
              std::string::npos)
        << BobsBoxes();
  } else {
    // 1.4 cannot check an ed25519 signature: the memo is shown, the signature told as unchecked,
    // neither good nor missing.
    EXPECT_EQ(BobsBoxes().find("is signed by Alice"), std::string::npos) << BobsBoxes();
    EXPECT_EQ(BobsBoxes().find("is not signed"), std::string::npos) << BobsBoxes();
    EXPECT_NE(BobsBoxes().find(
                  "\"caption\":\"Warning\",\"text\":\"This email is signed, but "
                  "GnuPG could not check the signature: it was made in a way this "
                  "version of GnuPG does not support. Who wrote it is not "
                  "confirmed.\\nSigning key ID: " +
                  Grouped(Fingerprint(GetParam(), alice_, "alice@example.com").substr(24)) + "\""),
              std::string::npos)
        << BobsBoxes();
  }
}

// GnuPG 1.4's own lines on a memo from a 2.4 user (seen here): it decrypts the memo whole and
// cannot check the ed25519 signature; the run is complete, its signature unchecked.
TEST(CrossVersionStatusLines, AnUncheckableSignatureIsNeitherDamageNorAbsence) {
  const char* run =
      "[GNUPG:] ENC_TO F54CFC3A42BBA646 18 0\n"
      "[GNUPG:] ERROR pkdecrypt_failed 4\n"
      "[GNUPG:] BEGIN_DECRYPTION\n[GNUPG:] DECRYPTION_INFO 2 9\n"
      "[GNUPG:] PLAINTEXT 62 1796795070 m\n[GNUPG:] PLAINTEXT_LENGTH 6\n"
      "[GNUPG:] ERRSIG 6A1932B9AD6049D8 22 8 00 1796795070 4\n"
      "gpg: Can't check signature: unknown pubkey algorithm\n"
      "[GNUPG:] DECRYPTION_OKAY\n[GNUPG:] GOODMDC\n[GNUPG:] END_DECRYPTION\n";
  vp::RunVerdict verdict = vp::ReadDecryptRun(run, 2);
  EXPECT_EQ(verdict.outcome, vp::RunOutcome::kComplete);
  ASSERT_EQ(verdict.signatures.size(), 1u);
  EXPECT_EQ(verdict.signatures[0].kind, vp::DecryptLine::kUncheckedSignature);
  EXPECT_EQ(verdict.signatures[0].keyId, "6A1932B9AD6049D8");
}

// Debian's GnuPG 2.2 on an AEAD memo (seen here): no integrity method named, GOODMDC at the end.
// Without the GOODMDC the same lines are data without protection.
TEST(CrossVersionStatusLines, IntegrityCheckedAtTheEndIsProtected) {
  const std::string run =
      "[GNUPG:] BEGIN_DECRYPTION\n[GNUPG:] DECRYPTION_INFO 0 9 0\n"
      "[GNUPG:] PLAINTEXT 62 1796795660 m\n[GNUPG:] DECRYPTION_OKAY\n";
  EXPECT_EQ(
      vp::ReadDecryptRun((run + "[GNUPG:] GOODMDC\n[GNUPG:] END_DECRYPTION\n").c_str(), 0).outcome,
      vp::RunOutcome::kComplete);
  EXPECT_EQ(vp::ReadDecryptRun((run + "[GNUPG:] END_DECRYPTION\n").c_str(), 0).outcome,
            vp::RunOutcome::kUnprotected);
}

INSTANTIATE_TEST_SUITE_P(Directions, CrossVersionMemo, testing::Values(GnuPG::k24, GnuPG::k1),
                         [](const auto& info) {
                           return info.param == GnuPG::k24 ? "GnuPG24ToGnuPG1" : "GnuPG1ToGnuPG24";
                         });

// Alice and Bob both on 2.4, their keys made by 2.4: memos between them are AEAD packets.
class Aead : public IncomingFixture {
 protected:
  void SetUp() override {
    IncomingFixture::SetUp();
    VP_SKIP_UNLESS_PRESENT(GnuPG::k24);
    StartWith(GnuPG::k24);
  }
  // Bob's secret keys, exported from his 2.4 home and imported into `home` by `into`.
  void CopyBobsKeys(GnuPG into, const std::string& home) {
    const std::string keys = dir_ + "/bob-keys.asc";
    std::string out;
    ASSERT_EQ(Gpg(version_, bob_,
                  "--batch --yes --pinentry-mode loopback --passphrase bob-pass --armor -o " +
                      Quoted(keys) + " --export-secret-keys bob@example.com",
                  &out),
              0)
        << out;
    ASSERT_EQ(Gpg(into, home,
                  "--batch --pinentry-mode loopback --passphrase bob-pass --import " + Quoted(keys),
                  &out),
              0)
        << out;
    fs::remove(keys);
  }
  std::string Plain() const {
    std::string plain;
    for (int i = 0; i < 500; ++i) plain += "Line " + std::to_string(i) + " of the offer.\n";
    return plain;
  }
  std::string Armoured(const std::string& binary) {
    const std::string in = dir_ + "/binary.gpg", out = dir_ + "/binary.asc";
    WriteFile(in, binary);
    std::string made;
    EXPECT_EQ(
        Gpg(version_, bob_, "--batch --yes --enarmor -o " + Quoted(out) + " " + Quoted(in), &made),
        0)
        << made;
    std::string text = ReadFile(out);
    fs::remove(in);
    fs::remove(out);
    return text;
  }
  // GnuPG 2.4's own status lines on decrypting `file` as Bob.
  std::string StatusOf(const std::string& file) {
    std::string status;
    Gpg(version_, bob_,
        "--batch --status-fd 1 --pinentry-mode loopback --passphrase bob-pass -o /dev/null -d " +
            Quoted(file),
        &status);
    return status;
  }
};

TEST_F(Aead, MemoIsAnAeadPacketAndATamperedOneIsRefusedWithNothingShown) {
  const std::string sealed =
      FromAlice("-z 0 --recipient bob@example.com --sign --encrypt", Plain(), false);
  const std::string file = dir_ + "/offer.gpg";
  WriteFile(file, sealed);
  std::string packets;
  Gpg(version_, bob_,
      "--batch --pinentry-mode loopback --passphrase bob-pass --list-packets " + Quoted(file),
      &packets);
  EXPECT_NE(packets.find(":aead encrypted packet: cipher=9 aead=2"), std::string::npos) << packets;
  UseScript(BobTypes());
  std::string out;
  ASSERT_EQ(Decrypt(Armoured(sealed), &out), 0);
  EXPECT_EQ(out, Plain());

  std::string tampered = sealed;
  tampered[tampered.size() - 100] ^= 1;
  WriteFile(file, tampered);
  // What 2.4 says of it: the AEAD check fails after decryption began.
  const std::string status = StatusOf(file);
  EXPECT_NE(status.find("[GNUPG:] DECRYPTION_INFO 0 9 2"), std::string::npos) << status;
  EXPECT_NE(status.find("[GNUPG:] DECRYPTION_FAILED"), std::string::npos) << status;
  EXPECT_EQ(vp::ReadDecryptRun(status.c_str(), 2).outcome, vp::RunOutcome::kDamaged) << status;

  UseScript(BobTypes());
  EXPECT_NE(Decrypt(Armoured(tampered), &out), 0);
  EXPECT_EQ(out.find("Line 1 of"), std::string::npos) << out;
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes().back().rfind("Error: This email is damaged or was altered", 0), 0u)
      << Boxes().back();
  // As a file: nothing written where the plaintext would go.
  UseScript(BobTypes());
  EXPECT_EQ(vp::DecryptFile(file.c_str(), (file + ".out").c_str()), -1);
  EXPECT_FALSE(PathExistsForTest(file + ".out"));
  EXPECT_EQ(Boxes().back().rfind("Error: The file \"offer.gpg\" is damaged or was altered", 0), 0u)
      << Boxes().back();
}

// Bob's key made by 2.4, his secret key carried to GnuPG 2.2. Debian's 2.2.40 reads 2.4's AEAD
// packets, but its DECRYPTION_INFO names no integrity method ("0 9 0"); only its GOODMDC says
// the check held. So the intact memo opens, and a tampered one is refused with nothing shown.
TEST_F(Aead, MemoForA24KeyOpenedWithGnuPG22OnlyWhenIntact) {
  const std::string sealed =
      FromAlice("-z 0 --recipient bob@example.com --sign --encrypt", Plain(), false);
  const std::string home22 = FreshHome("bob22-");
  CopyBobsKeys(GnuPG::k2, home22);
  if (HasFatalFailure()) return;
  WriteFile(home22 + "/gpg-agent.conf", "default-cache-ttl 0\nmax-cache-ttl 0\n");
  const std::string memo = Armoured(sealed);
  std::string tampered = sealed;
  tampered[tampered.size() - 100] ^= 1;
  const std::string tamperedMemo = Armoured(tampered);
  vp::CopyText(vp::Settings().szGpgApp, GnuPGProgram(GnuPG::k2));
  setenv("GNUPGHOME", home22.c_str(), 1);

  UseScript(BobTypes());
  std::string shown;
  EXPECT_EQ(Decrypt(memo, &shown), 0);
  EXPECT_EQ(shown, Plain());
  for (const std::string& box : Boxes())
    EXPECT_EQ(box.find("no protection against changes"), std::string::npos) << box;

  UseScript(BobTypes());
  EXPECT_NE(Decrypt(tamperedMemo, &shown), 0);
  StopAgent(home22);
  EXPECT_EQ(shown.find("Line 1 of"), std::string::npos) << shown;
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes().back().rfind("Error: This email is damaged or was altered", 0), 0u)
      << Boxes().back();
}

// A 2.4 home that keeps its keys in the key box daemon (use-keyboxd): listing, decrypting and
// importing through the system work as with a key box file, and the import leaves no daemon of
// its own behind.
TEST_F(Aead, KeyboxdHomeListsDecryptsAndImports) {
  const std::string keyboxd =
      fs::path(GnuPGProgram(version_)).parent_path().parent_path() / "libexec" / "keyboxd";
  if (!fs::exists(keyboxd)) GTEST_SKIP() << "this GnuPG 2.4 was built without " << keyboxd;
  const std::string home = FreshHome("kbxd-");
  WriteFile(home + "/common.conf", "use-keyboxd\n");
  WriteFile(home + "/gpg-agent.conf", "default-cache-ttl 0\nmax-cache-ttl 0\n");
  CopyBobsKeys(version_, home);
  if (HasFatalFailure()) return;
  EXPECT_FALSE(PathExistsForTest(home + "/pubring.kbx"));
  EXPECT_TRUE(PathExistsForTest(home + "/public-keys.d/pubring.db"));
  setenv("GNUPGHOME", home.c_str(), 1);

  vp::FreeKeyLists();
  ASSERT_EQ(vp::ListSecretKeys(nullptr), 0);
  ASSERT_EQ(vp::KeyIdList().count, 1);
  EXPECT_EQ(std::string(vp::UserIdList().items[0]), "Bob Example <bob@example.com>");
  EXPECT_EQ(std::string(vp::KeyReference(0)), Fingerprint(version_, bob_, "bob@example.com"));
  vp::FreeKeyLists();

  // Erin's key arrives in a message; Bob imports it from the dialog.
  const std::string message = FromAlice("--recipient bob@example.com --encrypt", "Erin's key.\n") +
                              ExportKey(erin_, "erin@example.org");
  UseScript(BobTypes() + "dialog 106 click 1009; click 1004\n");
  std::string shown;
  ASSERT_EQ(Decrypt(message, &shown), 0);
  EXPECT_EQ(shown, "Erin's key.\n");
  EXPECT_EQ(Boxes(), (Texts{"Information: " + std::string(vp::MessageString(166)) +
                                "\n\n1 public key imported.",
                            "Warning: This email is not signed!"}));
  EXPECT_EQ(Fingerprint(version_, home, "erin@example.org"),
            Fingerprint(version_, erin_, "erin@example.org"));
  StopAgent(home);
  std::string daemons;
  RunCommand("pgrep -af '[k]eyboxd' || true", &daemons);
  EXPECT_EQ(daemons.find("veilpost"), std::string::npos) << daemons;
}

}  // namespace
}  // namespace vptest
