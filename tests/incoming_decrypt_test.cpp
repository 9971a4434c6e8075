// Opening mail with real GnuPG 1.4 and 2.2: verdicts, wrong passphrases, missing keys, file
// mode and early exits, each leaving no temporary plaintext behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/strings.h"
#include "hooklib/gnupg/status_lines.h"
#include "hooklib/incoming/decrypt_verify.h"
#include "hooklib/incoming/run_verdict.h"
#include "incoming_fixture.h"
#include "platform/faults.h"
#include "platform/segment.h"

namespace vptest {
namespace {

using Texts = std::vector<std::string>;

constexpr const char* kMemo = "Meet at noon.\nBring the papers.\n";
const std::string kAliceUid = "Alice Example <alice@example.com>";

TEST_P(IncomingBothVersions, KnownSignerIsNamedAndSignatureSilencedByTheSetting) {
  std::string encrypted = FromAlice("--recipient bob@example.com --sign --encrypt", kMemo);
  std::string clearSigned = FromAlice("--clearsign", kMemo, false);
  UseScript(BobTypes());
  std::string out;
  ASSERT_EQ(Decrypt(encrypted, &out), 0);
  EXPECT_EQ(out, kMemo);
  EXPECT_EQ(Boxes(), Texts{"Information: " + SignedBox(Format(161, "email", kAliceUid), alice_,
                                                       "alice@example.com")});

  // With the signer dialog switched off nothing is shown, and no "not signed" warning either.
  vp::Settings().bShowMailSignDialog = 0;
  ASSERT_EQ(Decrypt(clearSigned, &out), 0);
  EXPECT_EQ(out, kMemo);
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Events("dialog-open").size(), 1u);  // the passphrase stayed cached
}

TEST_P(IncomingBothVersions, UnknownSignerOncePerSignatureAndBadSignatureIsRefused) {
  std::string fromErin = Make(erin_, Erin().passphrase, "--clearsign", kMemo, false);
  std::string tampered = FromAlice("--clearsign", kMemo, false);
  tampered.replace(tampered.find("noon"), 4, "dawn");
  UseScript(BobTypes());
  std::string out;
  ASSERT_EQ(Decrypt(fromErin, &out), 0);
  EXPECT_EQ(out, kMemo);
  // GnuPG reports an unknown signer in up to three lines; the user hears of it once.
  const std::string erinKey = UnknownKeyLine(erin_, "erin@example.org");
  EXPECT_EQ(Boxes(), Texts{"Information: " + Format(160, "email") + erinKey});

  // A changed text is not handed over: the claimed signer is named with the bad signature.
  const std::string bad = "Warning: This email signed as " + kAliceUid + " has a BAD signature";
  EXPECT_EQ(Decrypt(tampered, &out), -1);
  EXPECT_EQ(out, "<none>");
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1].rfind(bad, 0), 0u) << Boxes()[1];

  // Two strangers signing one memo are two unknown signers.
  std::string params = dir_ + "/frank.params";
  WriteFile(params,
            std::string("Key-Type: ") +
                (version_ == GnuPG::k1 ? "RSA\nKey-Length: 1024" : "EDDSA\nKey-Curve: ed25519") +
                "\nName-Real: Frank Stranger\nName-Email: frank@example.org\n"
                "%no-protection\n%commit\n");
  std::string made;
  ASSERT_EQ(Gpg(version_, erin_, "--batch --gen-key '" + params + "'", &made), 0) << made;
  std::string twoStrangers = Make(
      erin_, Erin().passphrase,
      "--local-user erin@example.org --local-user frank@example.org --clearsign", kMemo, false);
  ASSERT_EQ(Decrypt(twoStrangers, &out), 0);
  EXPECT_EQ(out, kMemo);
  ASSERT_EQ(Boxes().size(), 4u);
  EXPECT_EQ(Boxes()[2], "Information: " + Format(160, "email") + erinKey);
  EXPECT_EQ(Boxes()[3],
            "Information: " + Format(160, "email") + UnknownKeyLine(erin_, "frank@example.org"));
}

TEST_P(IncomingBothVersions, MessageForAKeyWeLackShowsGnuPGsOwnText) {
  std::string forCarol = FromAlice("--recipient carol@example.com --encrypt", kMemo);
  UseScript(BobTypes());
  std::string out;
  EXPECT_EQ(Decrypt(forCarol, &out), -1);
  ASSERT_EQ(Events("dialog-open").size(), 2u);
  EXPECT_EQ(Events("dialog-open")[1]["id"], 115);
  std::string caption, details;
  for (const auto& e : Events("set-text")) {
    if (e["id"] == 1021) caption = e["text"];
    if (e["id"] == 1022) details = e["text"];
  }
  EXPECT_EQ(caption.rfind("Unable to open " + vp::TempFileDirectory() + "/veilpost", 0), 0u)
      << caption;
  EXPECT_NE(caption.find(" for checking file length (2)."), std::string::npos) << caption;
  EXPECT_NE(details.find("[GNUPG:] NO_SECKEY"), std::string::npos) << details;
  EXPECT_TRUE(Boxes().empty());
}

// A temporary file that cannot be overwritten is still deleted, and the user is told which.
TEST_P(IncomingBothVersions, TemporaryFilesThatWillNotWipeAreReportedAndStillDeleted) {
  std::string encrypted = FromAlice("--recipient bob@example.com --sign --encrypt", kMemo);
  UseScript(BobTypes());
  std::string out;
  vp::SetFaults("files.overwrite@1");  // GnuPG's output, the plaintext
  EXPECT_EQ(Decrypt(encrypted, &out), -1);
  Texts boxes = Boxes();
  // The signer, the system's reason, then which file.
  ASSERT_EQ(boxes.size(), 3u) << RawLog();
  EXPECT_EQ(boxes[1], "Error: No space left on device");
  EXPECT_EQ(boxes[2], "Error: Unable to delete temp output file.");
  ExpectNoTemporaryFiles();

  vp::SetFaults("files.overwrite@3");  // the message as it was handed to GnuPG
  EXPECT_EQ(Decrypt(encrypted, &out), -1);
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 6u) << RawLog();
  EXPECT_EQ(boxes[5].rfind("Error: Unable to delete " + vp::TempFileDirectory() + "/veilpost", 0),
            0u)
      << boxes[5];
  ExpectNoTemporaryFiles();
  vp::SetFaults("");
}

TEST_P(IncomingBothVersions, WrongPassphraseAsksAgainUntilRightOrCancelled) {
  std::string encrypted = FromAlice("--recipient bob@example.com --encrypt", kMemo);
  const std::string wrong159 = "Error: " + std::string(vp::MessageString(159));
  UseScript("dialog 104 type 1005 not-bobs; click 1\n" + BobTypes());
  std::string out;
  ASSERT_EQ(Decrypt(encrypted, &out), 0);
  EXPECT_EQ(out, kMemo);
  EXPECT_EQ(Boxes(), (Texts{wrong159, "Warning: " + Format(147, "email")}));
  EXPECT_EQ(Events("dialog-open").size(), 2u);

  vp::Passphrase()[0] = '\0';
  UseScript("dialog 104 type 1005 not-bobs; click 1\ndialog 104 click 2\n");
  EXPECT_EQ(Decrypt(encrypted, &out), -1);
  EXPECT_EQ(Boxes(), (Texts{wrong159, "Warning: " + Format(147, "email"), wrong159}));
  EXPECT_STREQ(vp::Passphrase(), "");
}

// Prints the passphrase the shared segment holds, as any other process attaching to it sees it.
int SegmentPassphraseChild(int, char**) {
  vp::SharedSettings* s = vp::AttachSharedSettings();
  printf("[%s]\n", s ? s->passphrase : "no segment");
  vp::DetachSharedSettings();
  return 0;
}
const bool kSegmentChild = RegisterChild("segment-passphrase", SegmentPassphraseChild);

// With caching off the passphrase stays in the decrypting process: a process attaching to the
// segment while GnuPG runs finds it empty (so a killed process leaves nothing behind), yet the
// retry after a wrong one and the later runs of the process still get it.
TEST_P(IncomingBothVersions, WithoutCachingThePassphraseNeverReachesTheSegment) {
  ASSERT_TRUE(kSegmentChild);
  std::string encrypted = FromAlice("--recipient bob@example.com --sign --encrypt", kMemo);
  vp::ProcessAttach();
  ASSERT_NE(vp::SharedSettingsView(), nullptr) << vp::SharedSettingsFailure();
  vp::InitialSharedSettings(&vp::Settings());
  ASSERT_EQ(vp::Settings().cacheInterval, 0u);
  // Every GnuPG run first has another process look into the segment.
  std::string seen = dir_ + "/seen.log";
  std::string wrapper = dir_ + "/gpg-looking.sh";
  WriteFile(wrapper, "#!/bin/sh\n'" + TestBinary() + "' --child segment-passphrase >> '" + seen +
                         "' 2>&1\nexec '" + GnuPGProgram(version_) + "' \"$@\"\n");
  chmod(wrapper.c_str(), 0700);
  vp::CopyText(vp::Settings().szGpgApp, wrapper.c_str());

  UseScript("dialog 104 type 1005 not-bobs; click 1\ndialog 104 type 1005 still-not; click 1\n" +
            BobTypes());
  std::string out;
  EXPECT_EQ(Decrypt(encrypted, &out), 0);
  EXPECT_EQ(out, kMemo);
  EXPECT_EQ(Events("dialog-open").size(), 3u) << "asked three times, the last one right";
  EXPECT_STREQ(vp::Passphrase(), Bob().passphrase);
  // The next operation of this process reuses it without asking.
  EXPECT_EQ(Decrypt(encrypted, &out), 0);
  EXPECT_EQ(out, kMemo);
  EXPECT_EQ(Events("dialog-open").size(), 3u);

  std::string looks = ReadFile(seen);
  size_t runs = 0;
  for (size_t at = 0; (at = looks.find('\n', at)) != std::string::npos; ++at) ++runs;
  EXPECT_GE(runs, 4u) << "three decrypt runs and a reused one";
  std::string empty;
  for (size_t i = 0; i < runs; ++i) empty += "[]\n";
  EXPECT_EQ(looks, empty);
  EXPECT_STREQ(vp::Settings().passphrase, "");

  vp::ProcessDetach();
  EXPECT_STREQ(vp::Passphrase(), "") << "wiped when the library unloads";
}

TEST_P(IncomingBothVersions, FileModeVerdicts) {
  std::string encrypted = FromAlice("--recipient bob@example.com --sign --encrypt", kMemo, false);
  std::string signedOnly = FromAlice("--sign", kMemo, false);
  std::string key = ExportKey(erin_, "erin@example.org");
  const std::vector<std::pair<std::string, std::string>> files = {{"report.doc.pgp", encrypted},
                                                                  {"memo.txt.gpg", signedOnly},
                                                                  {"notes.txt", kMemo},
                                                                  {"erin.asc", key}};
  for (const auto& [name, content] : files) WriteFile(dir_ + "/" + name, content);
  UseScript(BobTypes());
  auto decrypt = [&](const std::string& name) {
    return vp::DecryptFile((dir_ + "/" + name).c_str(), (dir_ + "/" + name + ".out").c_str());
  };

  EXPECT_EQ(decrypt("report.doc.pgp"), 0);
  EXPECT_EQ(ReadFile(dir_ + "/report.doc.pgp.out"), kMemo);
  EXPECT_EQ(decrypt("memo.txt.gpg"), 0);
  EXPECT_EQ(ReadFile(dir_ + "/memo.txt.gpg.out"), kMemo);
  const Texts signedBoxes = {
      "Information: " +
          SignedBox(Format(163, "file", "report.doc.pgp", kAliceUid), alice_, "alice@example.com"),
      "Information: " +
          SignedBox(Format(163, "file", "memo.txt.gpg", kAliceUid), alice_, "alice@example.com")};
  EXPECT_EQ(Boxes(), signedBoxes);

  // GnuPG finds no OpenPGP data in plain text at all: nothing to decrypt, the caller may take
  // the file as it is.
  EXPECT_EQ(decrypt("notes.txt"), -2);
  // A key block is OpenPGP data but nothing to decrypt: GnuPG writes no output.
  EXPECT_EQ(decrypt("erin.asc"), -2);
  Texts expected = signedBoxes;
  expected.push_back("Warning: " + Format(154, "notes.txt"));
  expected.push_back("Warning: " + Format(151, "file", "erin.asc"));
  expected.push_back("Warning: " + Format(154, "erin.asc"));
  EXPECT_EQ(Boxes(), expected);
  EXPECT_FALSE(PathExistsForTest(dir_ + "/erin.asc.out"));
  EXPECT_FALSE(PathExistsForTest(dir_ + "/notes.txt.out"));

  // Encrypted for a key Bob lacks: a failure that says why, and the output name keeps what the
  // user had there (never the ciphertext as it is).
  WriteFile(dir_ + "/carol.doc.pgp",
            FromAlice("--recipient carol@example.com --encrypt", kMemo, false));
  WriteFile(dir_ + "/carol.doc.pgp.out", "the user's own");
  EXPECT_EQ(decrypt("carol.doc.pgp"), -1);
  EXPECT_EQ(ReadFile(dir_ + "/carol.doc.pgp.out"), "the user's own");
  expected.push_back("Error: " + Format(158, "file", "file"));
  EXPECT_EQ(Boxes(), expected);

  // A FIFO never blocks; a link planted under the output name is replaced, not followed.
  ASSERT_EQ(mkfifo((dir_ + "/pipe.pgp").c_str(), 0600), 0);
  EXPECT_EQ(decrypt("pipe.pgp"), -1);
  EXPECT_EQ(vp::FindKeysInFile((dir_ + "/pipe.pgp").c_str()), -1);
  WriteFile(dir_ + "/theirs", "theirs");
  std::filesystem::remove(dir_ + "/report.doc.pgp.out");
  std::filesystem::create_symlink(dir_ + "/theirs", dir_ + "/report.doc.pgp.out");
  EXPECT_EQ(decrypt("report.doc.pgp"), 0);
  EXPECT_EQ(ReadFile(dir_ + "/theirs"), "theirs");
  EXPECT_FALSE(std::filesystem::is_symlink(dir_ + "/report.doc.pgp.out"));
  EXPECT_EQ(ReadFile(dir_ + "/report.doc.pgp.out"), kMemo);
}

// Each signature of a memo gets its own verdict from the status lines, in whatever language
// GnuPG speaks (German here): a good one, one by a revoked key, and two bad ones after a change.
TEST_P(IncomingBothVersions, EverySignatureJudgedFromStatusLinesInAnyLanguage) {
  if (!HasAgent(version_)) GTEST_SKIP() << "the revocation comes from GnuPG 2's key maker";
  std::string params = dir_ + "/frank.params";
  WriteFile(params,
            "Key-Type: EDDSA\nKey-Curve: ed25519\nName-Real: Frank Stranger\n"
            "Name-Email: frank@example.org\n%no-protection\n%commit\n");
  std::string made;
  ASSERT_EQ(Gpg(version_, erin_, "--batch --gen-key '" + params + "'", &made), 0) << made;
  std::string revocation = ReadFile(erin_ + "/openpgp-revocs.d/" +
                                    Fingerprint(version_, erin_, "frank@example.org") + ".rev");
  revocation.erase(revocation.find(":-----BEGIN"), 1);  // GnuPG guards it against accidents
  WriteFile(dir_ + "/keys.asc", ExportKey(erin_, "erin@example.org") +
                                    ExportKey(erin_, "frank@example.org") + revocation);
  ASSERT_EQ(Gpg(version_, bob_, "--batch --import '" + dir_ + "/keys.asc'", &made), 0) << made;
  std::string memo = Make(
      erin_, Erin().passphrase,
      "--local-user erin@example.org --local-user frank@example.org --clearsign", kMemo, false);
  std::string changed = memo;
  changed.replace(changed.find("noon"), 4, "dawn");

  setenv("LC_ALL", "C.UTF-8", 1);
  setenv("LANGUAGE", "de", 1);
  UseScript(BobTypes());
  std::string out;
  int rc = Decrypt(memo, &out);
  int changedRc = Decrypt(changed, &out);
  WriteFile(dir_ + "/memo.asc", memo);
  std::string german;
  Gpg(version_, bob_, "--verify '" + dir_ + "/memo.asc'", &german);
  unsetenv("LANGUAGE");
  unsetenv("LC_ALL");
  ASSERT_NE(german.find("Korrekte Signatur"), std::string::npos) << german;

  EXPECT_EQ(rc, 0);
  EXPECT_EQ(changedRc, -1);
  EXPECT_EQ(out, "<none>");
  const std::string frank = "Frank Stranger <frank@example.org>";
  const std::string bad =
      " has a BAD signature: the text was changed after it was signed or "
      "the signature is forged. It is not opened.";
  const std::string erinFpr = Fingerprint(version_, erin_, "erin@example.org");
  const std::string frankFpr = Fingerprint(version_, erin_, "frank@example.org");
  // A bad signature names the key by the id it claims; a revoked key needs no certification.
  EXPECT_EQ(
      Boxes(),
      (Texts{"Information: " + SignedBox(Format(161, "email", "Erin Stranger <erin@example.org>"),
                                         erin_, "erin@example.org"),
             "Warning: This email is signed by " + frank +
                 ", but the signing key has been revoked.\nSigning key fingerprint: " +
                 Grouped(frankFpr),
             "Warning: This email signed as Erin Stranger <erin@example.org>" + bad +
                 "\nSigning key ID: " + Grouped(erinFpr.substr(24)),
             "Warning: This email signed as " + frank + bad +
                 "\nSigning key ID: " + Grouped(frankFpr.substr(24))}));
}

// A signature by a key whose owner revoked it is caught by either version: an RSA key (which
// GnuPG 1.4 reads too) is made and revoked by GnuPG 2, whose key maker writes the revocation.
TEST_P(IncomingBothVersions, SignatureByARevokedKeyIsToldWithEitherVersion) {
  const std::string frank = FreshHome(std::string("frank-") + GnuPGName(version_));
  WriteFile(frank + "/params",
            "Key-Type: RSA\nKey-Length: 1024\nKey-Usage: sign\nName-Real: Frank Stranger\n"
            "Name-Email: frank@example.org\n%no-protection\n%commit\n");
  std::string made;
  ASSERT_EQ(Gpg(GnuPG::k2, frank, "--batch --gen-key '" + frank + "/params'", &made), 0) << made;
  const std::string frankFpr = Fingerprint(GnuPG::k2, frank, "frank@example.org");
  std::string revocation = ReadFile(frank + "/openpgp-revocs.d/" + frankFpr + ".rev");
  revocation.erase(revocation.find(":-----BEGIN"), 1);  // GnuPG guards it against accidents
  WriteFile(dir_ + "/plain.txt", kMemo);
  ASSERT_EQ(Gpg(GnuPG::k2, frank,
                "--batch --yes --local-user frank@example.org -o '" + dir_ +
                    "/memo.asc' --clearsign '" + dir_ + "/plain.txt'",
                &made),
            0)
      << made;
  std::string exported;
  ASSERT_EQ(Gpg(GnuPG::k2, frank, "--armor --export frank@example.org", &exported), 0);
  StopAgent(frank);
  // Two imports: GnuPG 1.4 reads only the first armoured block of a file.
  WriteFile(dir_ + "/frank.asc", exported.substr(exported.find("-----BEGIN")));
  WriteFile(dir_ + "/frank.rev", revocation);
  for (const char* file : {"/frank.asc", "/frank.rev"}) {
    ASSERT_EQ(Gpg(version_, bob_, "--batch --import '" + dir_ + file + "'", &made), 0) << made;
  }
  Gpg(version_, bob_, "--with-colons --list-keys frank@example.org", &made);
  ASSERT_NE(made.find("pub:r:"), std::string::npos) << "Bob's ring holds the key as revoked";

  UseScript(BobTypes());
  std::string out;
  EXPECT_EQ(Decrypt(ReadFile(dir_ + "/memo.asc"), &out), 0);
  EXPECT_EQ(out, kMemo);
  EXPECT_EQ(Boxes(), Texts{"Warning: This email is signed by Frank Stranger <frank@example.org>, "
                           "but the signing key has been revoked.\nSigning key fingerprint: " +
                           Grouped(frankFpr)});
}

TEST_P(IncomingBothVersions, FileSignedByAStrangerGetsTheFileMessage) {
  const std::string file = dir_ + "/memo.txt.gpg";
  WriteFile(file, Make(erin_, Erin().passphrase, "--sign", kMemo, false));
  UseScript(BobTypes());
  EXPECT_EQ(vp::DecryptFile(file.c_str(), (file + ".out").c_str()), 0);
  EXPECT_EQ(ReadFile(file + ".out"), kMemo);
  EXPECT_EQ(Boxes(), Texts{"Information: " + Format(162, "file", "memo.txt.gpg") +
                           UnknownKeyLine(erin_, "erin@example.org")});
}

// Anyone can make a key that carries Alice's name: the box names the key that signed by its
// fingerprint, and says it is not certified until Bob has certified Alice's real key.
TEST_P(IncomingBothVersions, VerdictNamesTheSigningKeyAndWhetherItIsCertified) {
  std::string params = dir_ + "/forger.params";
  WriteFile(params,
            std::string("Key-Type: ") +
                (version_ == GnuPG::k1 ? "RSA\nKey-Length: 1024" : "EDDSA\nKey-Curve: ed25519") +
                "\nName-Real: Alice Example\nName-Email: alice@example.com\n"
                "%no-protection\n%commit\n");
  std::string made;
  ASSERT_EQ(Gpg(version_, erin_, "--batch --gen-key '" + params + "'", &made), 0) << made;
  const std::string forgerFpr = Fingerprint(version_, erin_, "alice@example.com");
  const std::string aliceFpr = Fingerprint(version_, alice_, "alice@example.com");
  ASSERT_NE(forgerFpr, aliceFpr);
  // Bob receives the forger's key as well, as from a key server.
  WriteFile(dir_ + "/forger.asc", ExportKey(erin_, forgerFpr));
  ASSERT_EQ(Gpg(version_, bob_, "--batch --import '" + dir_ + "/forger.asc'", &made), 0) << made;
  const std::string real = FromAlice("--clearsign", kMemo, false);
  const std::string forged =
      Make(erin_, nullptr, "--local-user " + forgerFpr + " --clearsign", kMemo, false);
  const std::string first = "Information: " + Format(161, "email", kAliceUid);
  UseScript(BobTypes());
  std::string out;
  ASSERT_EQ(Decrypt(real, &out), 0);
  ASSERT_EQ(Decrypt(forged, &out), 0);
  EXPECT_EQ(out, kMemo);
  const Texts uncertified = {SignedBox(first, alice_, "alice@example.com"),
                             SignedBox(first, erin_, forgerFpr)};
  EXPECT_EQ(Boxes(), uncertified);
  EXPECT_NE(uncertified[0], uncertified[1]);

  // Once Bob has compared the fingerprint with Alice and certified her key, her box says so; the
  // forger's does not change.
  BobCertifies(aliceFpr);
  ASSERT_EQ(Decrypt(real, &out), 0);
  ASSERT_EQ(Decrypt(forged, &out), 0);
  Texts expected = uncertified;
  expected.push_back(first + "\nSigning key fingerprint: " + Grouped(aliceFpr));
  expected.push_back(uncertified[1]);
  EXPECT_EQ(Boxes(), expected);
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, IncomingBothVersions, testing::ValuesIn(kEveryGnuPG),
                         VersionName);

// Only status lines and GnuPG 1.4's own log line decide; text GnuPG echoes from a message can
// not pose as a verdict, and a signature that fails for another reason (GnuPG 1.4 on an ed25519
// signature by a 2.4 user: rc 4) is no unknown signer but a signature that could not be checked.
TEST(IncomingStatusLines, VerdictLines) {
  using vp::DecryptLine;
  EXPECT_EQ(vp::ClassifyDecryptLine("[GNUPG:] ERRSIG 1113872F7577C098 22 8 01 1796623626 9 A2AC"),
            DecryptLine::kUnknownSigner);
  EXPECT_EQ(vp::ClassifyDecryptLine("[GNUPG:] ERRSIG 1113872F7577C098 22 8 01 1796623626 4"),
            DecryptLine::kUncheckedSignature);
  EXPECT_EQ(vp::ClassifyDecryptLine("gpg: Can't check signature: public key not found"),
            DecryptLine::kUnknownSigner);
  EXPECT_EQ(vp::ClassifyDecryptLine("gpg: original file name='[GNUPG:] NODATA 1'"),
            DecryptLine::kOther);
  EXPECT_EQ(vp::ClassifyDecryptLine("[GNUPG:] DECRYPTION_OKAYISH"), DecryptLine::kOther);
  EXPECT_EQ(vp::ClassifyDecryptLine("[GNUPG:] EXPKEYSIG 1113872F7577C098 A1 <a@x>"),
            DecryptLine::kExpiredKeySignature);
  EXPECT_STREQ(vp::SignatureSigner("[GNUPG:] EXPKEYSIG 1113872F7577C098 A1 <a@x>"), "A1 <a@x>");
  // Broken packets and data without an integrity check, as against no OpenPGP data at all.
  EXPECT_EQ(vp::ClassifyDecryptLine("[GNUPG:] NODATA 3"), DecryptLine::kDamagedData);
  EXPECT_EQ(vp::ClassifyDecryptLine("[GNUPG:] NODATA 1"), DecryptLine::kNoData);
  EXPECT_EQ(vp::ClassifyDecryptLine("[GNUPG:] DECRYPTION_INFO 0 9 0"),
            DecryptLine::kUnprotectedData);
  EXPECT_EQ(vp::ClassifyDecryptLine("[GNUPG:] DECRYPTION_INFO 0 9 2"),
            DecryptLine::kDecryptionData);
  EXPECT_STREQ(vp::GoodSignatureSigner("[GNUPG:] GOODSIG F3123C1353B44B0A A1 <a@x> [GNUPG:] X"),
               "A1 <a@x> [GNUPG:] X");
  EXPECT_STREQ(vp::GoodSignatureSigner("[GNUPG:] GOODSIG F3123C1353B44B0A"), "");
}

// Each signature keeps the key lines that follow its own verdict: the fingerprint of its primary
// key and whether GnuPG holds that key as fully valid.
TEST(IncomingStatusLines, KeyAndValidityBelongToTheirSignature) {
  const std::string primary = "8C466B16E9A598BEB190B6B394B76C9A2512F51A";
  const std::string subkey = "1111222233334444555566667777888899990000";
  const std::string stranger = "DA5D1947502B9D7096B096BE2AE69343E157B09A";
  const std::string run =
      "[GNUPG:] NEWSIG\n"
      "[GNUPG:] GOODSIG 94B76C9A2512F51A Alice Example <alice@example.com>\n"
      "[GNUPG:] VALIDSIG " +
      subkey + " 2026-12-09 1796780998 0 4 0 22 8 01 " + primary +
      "\n"
      "[GNUPG:] TRUST_ULTIMATE 0 pgp\n"
      "[GNUPG:] NEWSIG\n"
      "[GNUPG:] GOODSIG 2AE69343E157B09A Alice Example <alice@example.com>\n"
      "[GNUPG:] VALIDSIG " +
      stranger +
      " 2026-12-09 1796780998 0 4 0 22 8 01\n"
      "[GNUPG:] TRUST_UNDEFINED 0 pgp\n"
      "[GNUPG:] NEWSIG\n"
      "[GNUPG:] BADSIG 1234567890ABCDEF Carol <c@x>\n"
      "[GNUPG:] TRUST_FULLY 0 pgp\n"
      "[GNUPG:] ERRSIG 55ABFA11BFA4E2B8 22 8 01 1796623626 9 " +
      stranger +
      "\n"
      "[GNUPG:] NO_PUBKEY 55ABFA11BFA4E2B8\n";
  vp::RunVerdict v = vp::ReadDecryptRun(run.c_str());
  ASSERT_EQ(v.signatures.size(), 4u);
  EXPECT_EQ(v.signatures[0].fingerprint, primary);
  EXPECT_TRUE(v.signatures[0].certified);
  EXPECT_EQ(v.signatures[1].fingerprint, stranger);  // no primary given: the signing key's
  EXPECT_FALSE(v.signatures[1].certified);
  // A validity line never vouches for a bad signature.
  EXPECT_EQ(v.signatures[2].keyId, "1234567890ABCDEF");
  EXPECT_EQ(v.signatures[2].fingerprint, "");
  EXPECT_FALSE(v.signatures[2].certified);
  EXPECT_EQ(v.signatures[3].kind, vp::DecryptLine::kUnknownSigner);
  EXPECT_EQ(v.signatures[3].keyId, "55ABFA11BFA4E2B8");
  EXPECT_EQ(v.signatures[3].fingerprint, stranger);
  EXPECT_EQ(vp::SigningKeyFingerprint("[GNUPG:] ERRSIG 55ABFA11BFA4E2B8 22 8 01 1796623626 9 -"),
            "");
  EXPECT_FALSE(vp::IsFullValidity("[GNUPG:] TRUST_MARGINAL 0 pgp"));
  EXPECT_FALSE(vp::IsFullValidity("gpg: [GNUPG:] TRUST_ULTIMATE"));
  EXPECT_TRUE(vp::IsFullValidity("[GNUPG:] TRUST_FULLY"));
}

// A text GnuPG wrote out whose signature is missing or broken is damaged; a text that never
// claimed a signature, or a run that wrote no text, is not.
TEST(IncomingStatusLines, SignedTextCutShortIsDamaged) {
  using vp::RunOutcome;
  const char* text = "[GNUPG:] PLAINTEXT 74 0 \n";
  const std::string cutArmour = std::string(text) + "[GNUPG:] NODATA 1\n";
  EXPECT_EQ(vp::ReadDecryptRun(cutArmour.c_str(), 2).outcome, RunOutcome::kDamaged);
  // GnuPG 1.4 judges the remains of a cut signature block as bad.
  const std::string remains = cutArmour + "[GNUPG:] BADSIG 12D77D4F19603DEA A <a@x>\n";
  EXPECT_EQ(vp::ReadDecryptRun(remains.c_str(), 1).outcome, RunOutcome::kDamaged);
  // A broken checksum line: no status line tells, the exit code does.
  EXPECT_EQ(vp::ReadDecryptRun(text, 2).outcome, RunOutcome::kDamaged);
  EXPECT_EQ(vp::ReadDecryptRun(text, 0).outcome, RunOutcome::kComplete);
  // A signed text followed by a key block: judged, then GnuPG stops at the keys with an error.
  const std::string judged =
      std::string(text) + "[GNUPG:] GOODSIG 94B76C9A2512F51A A <a@x>\n" + "[GNUPG:] UNEXPECTED 0\n";
  EXPECT_EQ(vp::ReadDecryptRun(judged.c_str(), 2).outcome, RunOutcome::kComplete);
  // A key file given to decrypt: no text written, the caller copies the file as it is.
  EXPECT_EQ(vp::ReadDecryptRun("[GNUPG:] UNEXPECTED 0\n[GNUPG:] FAILURE decrypt 38\n", 2).outcome,
            RunOutcome::kComplete);
  EXPECT_EQ(vp::ReadDecryptRun("[GNUPG:] NODATA 1\n", 2).outcome, RunOutcome::kNoData);
}

// Decryption that begins and never ends: GnuPG stopped in the middle of the stream.
TEST(IncomingStatusLines, DecryptionThatNeverEndsIsDamaged) {
  using vp::RunOutcome;
  const std::string begun =
      "[GNUPG:] BEGIN_DECRYPTION\n[GNUPG:] DECRYPTION_INFO 2 9\n[GNUPG:] PLAINTEXT 62 0 \n";
  EXPECT_EQ(vp::ReadDecryptRun(begun.c_str(), 0).outcome, RunOutcome::kDamaged);
  EXPECT_EQ(vp::ReadDecryptRun((begun + "[GNUPG:] END_DECRYPTION\n").c_str(), 0).outcome,
            RunOutcome::kComplete);
}

// Exits before or at the first GnuPG run leave nothing behind either.
class IncomingEarlyExits : public IncomingFixture {
 protected:
  void SetUp() override {
    IncomingFixture::SetUp();
    StartWith(GnuPG::k1);
  }
};

// A stand-in GnuPG writes part of a plaintext and stops without ending the decryption, with
// exit code 0: nothing of it reaches the caller.
TEST_F(IncomingEarlyExits, DecryptionStoppedMidStreamHandsNothingOver) {
  std::string standIn = dir_ + "/gpg-stops.sh";
  WriteFile(standIn, std::string("#!/bin/sh\n[ \"$1\" = --version ] && exec '") +
                         GnuPGProgram(GnuPG::k1) +
                         "' --version\n"
                         "while [ $# -gt 0 ]; do [ \"$1\" = -o ] && out=\"$2\"; shift; done\n"
                         "printf 'Meet at no' > \"$out\"\n"
                         "echo '[GNUPG:] BEGIN_DECRYPTION'\necho '[GNUPG:] DECRYPTION_INFO 2 9'\n"
                         "echo '[GNUPG:] PLAINTEXT 62 0 '\nexit 0\n");
  chmod(standIn.c_str(), 0700);
  vp::CopyText(vp::Settings().szGpgApp, standIn.c_str());
  UseScript(BobTypes());
  std::string out;
  EXPECT_EQ(Decrypt("-----BEGIN PGP MESSAGE-----\n\nhQEMA\n-----END PGP MESSAGE-----\n", &out), -1);
  EXPECT_EQ(out, "<none>");
  EXPECT_EQ(Boxes(), Texts{"Error: This email is damaged or was altered: GnuPG found it "
                           "incomplete or changed. It is not opened."});
}

TEST_F(IncomingEarlyExits, CancelledPassphraseAndMissingGnuPG) {
  std::string out;
  UseScript("dialog 104 click 2\n");
  EXPECT_EQ(Decrypt("-----BEGIN PGP MESSAGE-----\n", &out), -1);
  EXPECT_EQ(out, "<none>");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(vp::FindKeysInFile((dir_ + "/none").c_str()), -1);
  EXPECT_TRUE(Boxes().empty());

  vp::CopyText(vp::Settings().szGpgApp, (dir_ + "/no-such-gpg").c_str());
  UseScript(BobTypes());
  EXPECT_EQ(Decrypt("-----BEGIN PGP MESSAGE-----\n", &out), -1);
  EXPECT_EQ(Boxes(), Texts{"Error: Unable to launch gpg.exe. Please check the program path."});
}

}  // namespace
}  // namespace vptest
