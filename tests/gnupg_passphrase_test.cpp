// Passphrase acquisition: dialog, cache shared between processes, agent mode, wrong passphrases.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/strings.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "hooklib/gnupg/passphrase.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/status_lines.h"
#include "hooklib/incoming/decrypt_verify.h"
#include "hooklib/outgoing/encrypt_or_sign.h"
#include "hooklib/outgoing/key_selection.h"
#include "hooklib/outgoing/options_dialogs.h"
#include "platform/clock.h"
#include "platform/faults.h"
#include "support/keyrings.h"
#include "support/notes_fixture.h"
#include "support/registry_file.h"
#include "ui_fixture.h"

namespace fs = std::filesystem;

namespace {

using vptest::GnuPG;

class GnuPGPassphrase : public vptest::UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    vp::LoadMessageStrings();
    vp::InitialSharedSettings(&vp::Settings());
    vp::SetClock(&clock_);
  }
  void TearDown() override {
    vp::SetClock(nullptr);
    UiFixture::TearDown();
  }
  vp::ManualClock clock_{1800000000};
};

TEST_F(GnuPGPassphrase, TypedPassphraseIsCachedAndReusedWithoutRenewal) {
  UseScript("dialog 103 type 1005 s3cret words; click 1\n");
  vp::GetPassphrase(vp::kSigningPassphraseDialog);
  EXPECT_STREQ(vp::Passphrase(), "s3cret words");
  EXPECT_EQ(vp::Settings().time_start, 1800000000);
  // The password never reaches the transcript, only its length.
  EXPECT_EQ(RawLog().find("s3cret"), std::string::npos);

  clock_.Advance(120);
  vp::GetPassphrase(vp::kDecryptionPassphraseDialog);
  EXPECT_EQ(Events("dialog-open").size(), 1u);
  EXPECT_EQ(vp::Settings().time_start, 1800000000);
}

TEST_F(GnuPGPassphrase, EmptyEntryWarnsAndAsksAgainUntilCancel) {
  UseScript("dialog 104 click 1\ndialog 104 click 2\n");
  vp::GetPassphrase(vp::kDecryptionPassphraseDialog);
  EXPECT_STREQ(vp::Passphrase(), "");
  EXPECT_EQ(vp::Settings().time_start, 0);
  EXPECT_EQ(Events("dialog-open").size(), 2u);
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]["caption"], "Warning");
  EXPECT_EQ(boxes[0]["text"], vp::MessageString(164));
}

// OK on an empty field is asked about again, but not without end: after the third the
// operation is given up, as after Cancel.
TEST_F(GnuPGPassphrase, EmptyEntriesEndAfterThreeDialogs) {
  UseScript(
      "dialog 103 click 1\ndialog 103 click 1\ndialog 103 click 1\ndialog 103 click 1\n"
      "dialog 103 click 1\n");
  vp::GetPassphrase(vp::kSigningPassphraseDialog);
  EXPECT_STREQ(vp::Settings().passphrase, "");
  EXPECT_EQ(vp::Settings().time_start, 0);
  EXPECT_EQ(Events("dialog-open").size(), 3u);
  std::vector<std::string> texts;
  for (const auto& e : Events("message")) texts.push_back(e["text"]);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       vp::MessageString(164), vp::MessageString(164),
                       "No passphrase was entered 3 times in a row: the operation is abandoned."}));
}

// A user interface whose dialogs cannot be shown (the Windows build without a desktop): the port
// answers Cancel without the dialog's procedure ever running.
class NoDesktopUi : public vptest::RecordingUi {
 public:
  int dialogs = 0;
  intptr_t DialogBox(const vp::DialogTemplate&, vp::WindowHandle, vp::DialogProc, void*) override {
    // Far more than any bounded retry: a loop that reads the failure as an empty entry.
    if (++dialogs > 50) throw std::runtime_error("the dialog is asked for without end");
    return vp::kIdCancel;
  }
};

TEST_F(GnuPGPassphrase, ADialogThatCannotBeShownIsACancel) {
  auto owned = std::make_unique<NoDesktopUi>();
  NoDesktopUi* ui = owned.get();
  vp::SetUi(std::move(owned));
  EXPECT_NO_THROW(vp::GetPassphrase(vp::kDecryptionPassphraseDialog));
  EXPECT_STREQ(vp::Settings().passphrase, "");
  EXPECT_EQ(ui->dialogs, 1);
  EXPECT_TRUE(ui->messages.empty()) << ui->messages.front();

  // The options of an earlier memo are not taken for this one when its dialog fails.
  vp::Options().publicKeyChoice = vp::kPublicKeyAsText;
  vp::ShowEncryptionOptionsDialog();
  EXPECT_EQ(vp::Options().publicKeyChoice, vp::kOptionsCancelled);
  EXPECT_EQ(ui->dialogs, 2);
}

TEST_F(GnuPGPassphrase, LongPassphrasesAreCutTo255) {
  UseScript("dialog 103 type 1005 " + std::string(300, 'k') + "; click 1\n");
  vp::GetPassphrase(vp::kSigningPassphraseDialog);
  EXPECT_EQ(strlen(vp::Passphrase()), 255u);
}

TEST_F(GnuPGPassphrase, AgentModeSendsThePlaceholder) {
  std::string trace = dir_ + "/trace.log";
  vptest::WriteConfigKey({vptest::Str("TraceFile", trace)});
  vp::CopyText(vp::Passphrase(), vp::kPassphraseCapacity, "cached");
  vp::Settings().bUseAgent = 1;
  vp::GetPassphrase(vp::kSigningPassphraseDialog);
  EXPECT_STREQ(vp::Passphrase(), "qmvtz");
  EXPECT_EQ(vp::Settings().time_start, 0);
  EXPECT_TRUE(Events("dialog-open").empty());
  EXPECT_EQ(vptest::ReadFile(trace), "Delegating to backend agent for user passphrase...\r\n");
}

TEST(GnuPGStatusLines, WrongPassphraseIsRecognisedInBothForms) {
  EXPECT_TRUE(vp::IsWrongPassphraseLine("[GNUPG:] BAD_PASSPHRASE 0123456789ABCDEF"));
  EXPECT_TRUE(vp::IsWrongPassphraseLine("[GNUPG:] ERROR pkdecrypt_failed 67108875"));
  EXPECT_TRUE(vp::IsWrongPassphraseLine("[GNUPG:] FAILURE sign 67108875"));
  EXPECT_FALSE(vp::IsWrongPassphraseLine("[GNUPG:] FAILURE sign 67108881"));
  EXPECT_FALSE(vp::IsWrongPassphraseLine("[GNUPG:] ERROR keyedit.passwd"));
  // Text echoed from a message is no status line.
  EXPECT_FALSE(vp::IsWrongPassphraseLine("gpg: [GNUPG:] BAD_PASSPHRASE x"));
  EXPECT_TRUE(vp::HasStatus("x\r\n[GNUPG:] NO_PUBKEY 1234\r\n", "NO_PUBKEY"));
  EXPECT_FALSE(vp::HasStatus("[GNUPG:] NO_PUBKEYS\n", "NO_PUBKEY"));
  // A run is scanned up to the end of its encryption.
  EXPECT_TRUE(vp::RunReportsWrongPassphrase("x\r\n[GNUPG:] BAD_PASSPHRASE 01\r\n"));
  EXPECT_FALSE(
      vp::RunReportsWrongPassphrase("[GNUPG:] END_ENCRYPTION\r\n[GNUPG:] BAD_PASSPHRASE 01\r\n"));
}

// Signs a file with real GnuPG and tells whether the run reported a wrong passphrase.
class GnuPGWrongPassphrase : public vptest::UiFixture, public testing::WithParamInterface<GnuPG> {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    VP_SKIP_UNLESS_PRESENT(GetParam());
    vp::InitialSharedSettings(&vp::Settings());
    vp::CopyText(vp::Settings().szGpgApp, vptest::GnuPGProgram(GetParam()));
    home_ = vptest::UseKeyring(GetParam(), "alice", dir_);
    plain_ = dir_ + "/plain.txt";
    vptest::WriteFile(plain_, "hello\n");
  }
  void TearDown() override {
    if (!home_.empty()) vptest::StopAgent(home_);
    UiFixture::TearDown();
  }
  bool SignReportsWrong(const char* passphrase, const std::string& out) {
    std::string fpr = vptest::Fingerprint(GetParam(), home_, "alice@example.com");
    std::string options = "--armor --clearsign --default-key " + fpr + " ";
    return vp::RunReportsWrongPassphrase(
        vp::RunGnuPG(options.c_str(), plain_.c_str(), out.c_str(), passphrase));
  }
  std::string home_, plain_;
};

TEST_P(GnuPGWrongPassphrase, BothVersionsReportIt) {
  EXPECT_TRUE(SignReportsWrong("not the passphrase", dir_ + "/wrong.asc"));
  EXPECT_FALSE(fs::exists(dir_ + "/wrong.asc"));
  EXPECT_FALSE(SignReportsWrong(vptest::Alice().passphrase, dir_ + "/right.asc"));
  EXPECT_NE(vptest::ReadFile(dir_ + "/right.asc").find("BEGIN PGP SIGNATURE"), std::string::npos);
}

// However often a wrong passphrase is typed, the operation asks three times and then gives up,
// saying so; GnuPG runs once per passphrase.
TEST_P(GnuPGWrongPassphrase, WrongPassphrasesEndTheOperationAfterThreeTries) {
  const std::string sealed = dir_ + "/sealed.pgp";
  ASSERT_EQ(vptest::Gpg(GetParam(), home_,
                        "--batch --trust-model always --recipient alice@example.com -o '" + sealed +
                            "' --encrypt '" + plain_ + "'"),
            0);
  const std::string trace = dir_ + "/trace.log";
  vptest::WriteConfigKey({vptest::Str("TraceFile", trace)});
  std::string script;
  for (int i = 0; i < 6; ++i)
    script += "dialog 104 type 1005 wrong " + std::to_string(i) + "; click 1\n";
  UseScript(script);
  EXPECT_EQ(vp::DecryptFile(sealed.c_str(), (dir_ + "/opened.txt").c_str()), -1);
  EXPECT_FALSE(fs::exists(dir_ + "/opened.txt"));
  EXPECT_EQ(Events("dialog-open").size(), 3u);
  std::vector<std::string> texts;
  for (const auto& e : Events("message")) texts.push_back(e["text"]);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       vp::MessageString(159), vp::MessageString(159),
                       "The passphrase you have entered is incorrect.\nIt was wrong 3 times in a "
                       "row: the operation is abandoned."}));
  std::string traced = vptest::ReadFile(trace);
  size_t runs = 0;
  for (size_t at = traced.find("--decrypt"); at != std::string::npos;
       at = traced.find("--decrypt", at + 1))
    ++runs;
  EXPECT_EQ(runs, 3u) << traced;
  EXPECT_STREQ(vp::Settings().passphrase, "");

  // The next operation starts its count afresh, and the right passphrase opens the file.
  UseScript("dialog 104 type 1005 wrong again; click 1\ndialog 104 type 1005 " +
            std::string(vptest::Alice().passphrase) + "; click 1\n");
  EXPECT_EQ(vp::DecryptFile(sealed.c_str(), (dir_ + "/opened.txt").c_str()), 0);
  EXPECT_EQ(vptest::ReadFile(dir_ + "/opened.txt"), "hello\n");
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, GnuPGWrongPassphrase, testing::ValuesIn(vptest::kEveryGnuPG),
                         [](const auto& info) { return vptest::GnuPGName(info.param); });

// The agent asks through a pinentry of the test's own: it answers from a queue of passphrases
// and counts how often it was asked.
TEST_F(GnuPGPassphrase, AgentModeEndToEndWithWrongPassphrases) {
  std::string home = vptest::UseKeyring(GnuPG::k2, "alice", dir_);
  std::string answers = home + "/pin-answers";
  std::string asked = home + "/pin-asked";
  vptest::WriteFile(answers, "wrong one\nwrong two\nwrong three\n" +
                                 std::string(vptest::Alice().passphrase) + "\n");
  std::string pinentry = home + "/pinentry.sh";
  vptest::WriteFile(pinentry,
                    "#!/bin/sh\necho 'OK Pleased to meet you'\n"
                    "while read -r cmd rest; do\n"
                    "  case \"$cmd\" in\n"
                    "    GETPIN) pin=$(head -n 1 '" +
                        answers + "'); sed -i 1d '" + answers + "'; echo x >> '" + asked +
                        "'; echo \"D $pin\"; echo OK ;;\n"
                        "    BYE) echo OK; exit 0 ;;\n"
                        "    *) echo OK ;;\n"
                        "  esac\n"
                        "done\n");
  chmod(pinentry.c_str(), 0700);
  vptest::WriteFile(home + "/gpg-agent.conf",
                    "pinentry-program " + pinentry + "\ndefault-cache-ttl 0\nmax-cache-ttl 0\n");
  vp::CopyText(vp::Settings().szGpgApp, "/usr/bin/gpg");
  vp::Settings().bUseAgent = 1;
  UseScript("");

  std::string plain = dir_ + "/agent-plain.txt";
  std::string out = dir_ + "/agent-signed.asc";
  vptest::WriteFile(plain, "signed through the agent\n");
  std::string options = "--armor --clearsign --default-key " +
                        vptest::Fingerprint(GnuPG::k2, home, "alice@example.com") + " ";
  // The caller's loop: run, and after a wrong passphrase ask again and rerun. The agent had
  // its own three tries, so the caller gives up after one message.
  vp::GetPassphrase(vp::kSigningPassphraseDialog);
  int runs = 0;
  for (;;) {
    ++runs;
    char* r = vp::RunGnuPG(options.c_str(), plain.c_str(), out.c_str(), vp::Passphrase());
    if (!vp::RunReportsWrongPassphrase(r)) break;
    if (!vp::AskAgainAfterWrongPassphrase(vp::kSigningPassphraseDialog)) break;
    ASSERT_LT(runs, 4);
  }
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(vptest::ReadFile(asked), "x\nx\nx\n");
  EXPECT_EQ(vptest::ReadFile(out).find("BEGIN PGP SIGNATURE"), std::string::npos);
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]["text"], vp::MessageString(159));
  EXPECT_STREQ(vp::Passphrase(), "");
  // The next operation goes to the agent again, which now gets the right one.
  vp::GetPassphrase(vp::kSigningPassphraseDialog);
  char* r = vp::RunGnuPG(options.c_str(), plain.c_str(), out.c_str(), vp::Passphrase());
  EXPECT_FALSE(vp::RunReportsWrongPassphrase(r)) << r;
  EXPECT_NE(vptest::ReadFile(out).find("BEGIN PGP SIGNATURE"), std::string::npos);
  vptest::StopAgent(home);
}

// GnuPG 1.4 has no agent, so in agent mode every run meets a wrong passphrase: each operation
// that would retry shows the message once and gives up. From the sixth run of an operation on
// GnuPG cannot start, which ends a retry loop that would otherwise go on without end.
TEST_F(GnuPGPassphrase, AgentModeWithGnuPG1GivesUpAfterOneWrongPassphrase) {
  std::string home = vptest::UseKeyring(GnuPG::k1, "alice", dir_);
  std::string trace = dir_ + "/trace.log";
  vptest::WriteConfigKey({vptest::Str("TraceFile", trace)});
  vp::CopyText(vp::Settings().szGpgApp, "/usr/bin/gpg1");
  vp::Settings().bUseAgent = 1;
  vp::ProgramVersion("/usr/bin/gpg1");
  std::string plain = dir_ + "/plain.txt";
  std::string sealed = dir_ + "/sealed.asc";
  vptest::WriteFile(plain, "for Alice\n");
  ASSERT_EQ(vptest::Gpg(GnuPG::k1, home,
                        "--batch --trust-model always --armor --recipient alice@example.com -o '" +
                            sealed + "' --encrypt '" + plain + "'"),
            0);
  char* out = nullptr;
  size_t length = 0;
  char sender[256] = "alice@example.com", recipient[256] = "Bob Example";
  vp::EncryptionKeys keys;
  ASSERT_EQ(vp::FindSigningKey(sender, &keys.signing), 0);
  keys.recipients.emplace_back();
  ASSERT_EQ(vp::LookUpRecipientKey(recipient, &keys.recipients[0]), 0);
  const std::function<int()> operations[] = {
      [&] { return vp::DecryptMessage(vptest::ReadFile(sealed).c_str(), &out, &length); },
      [&] { return vp::DecryptFile(sealed.c_str(), (dir_ + "/opened.txt").c_str()); },
      [&] { return vp::EncryptOrSignBody(keys, "body\n", true, true, &out, &length); },
      [&] { return vp::EncryptOrSignFile(keys, plain.c_str(), (plain + ".pgp").c_str(), true); },
  };
  for (const auto& operation : operations) {
    vptest::WriteFile(log_, "");
    vp::SetFaults("process.stdout_pipe@6+");
    EXPECT_EQ(operation(), -1);
    vp::SetFaults("");
    auto boxes = Events("message");
    ASSERT_EQ(boxes.size(), 1u) << RawLog();
    EXPECT_EQ(boxes[0]["text"], vp::MessageString(159));
    EXPECT_TRUE(Events("dialog-open").empty());
  }
  EXPECT_EQ(out, nullptr);
  EXPECT_NE(vptest::ReadFile(trace).find("GnuPG 1.4 has no agent to ask for the passphrase"),
            std::string::npos);
}

// A passphrase typed in one process is used by the next operation in another.
int TypePassphraseChild(int, char**) {
  vp::ProcessAttach();
  vp::GetPassphrase(vp::kDecryptionPassphraseDialog);
  vp::ProcessDetach();
  return 0;
}
int PrintPassphraseChild(int, char**) {
  vp::ProcessAttach();
  vp::GetPassphrase(vp::kDecryptionPassphraseDialog);
  printf("%s", vp::Passphrase());
  vp::ProcessDetach();
  return 0;
}
const bool kChildren = vptest::RegisterChild("type-passphrase", TypePassphraseChild) &&
                       vptest::RegisterChild("print-passphrase", PrintPassphraseChild);

TEST_F(GnuPGPassphrase, CacheIsSharedAcrossProcesses) {
  ASSERT_TRUE(kChildren);
  vptest::WriteConfigKey({vptest::Num("CacheInterval", 5)});
  // This process keeps the shared segment alive between the two children.
  vp::ProcessAttach();
  UseScript("dialog 104 type 1005 shared secret; click 1\n");
  ASSERT_EQ(vptest::RunCommand(vptest::TestBinary() + " --child type-passphrase"), 0);
  EXPECT_STREQ(vp::Settings().passphrase, "shared secret");

  std::string printed;
  unsetenv("VEILPOST_UI");
  ASSERT_EQ(
      vptest::RunCommand(vptest::TestBinary() + " --child print-passphrase </dev/null", &printed),
      0);
  EXPECT_EQ(printed, "shared secret");

  // With caching off, the next process to load the library empties it.
  vptest::WriteConfigKey({vptest::Num("CacheInterval", 0)});
  ASSERT_EQ(
      vptest::RunCommand(vptest::TestBinary() + " --child print-passphrase </dev/null", &printed),
      0);
  EXPECT_EQ(printed, "");
  vp::ProcessDetach();
}

TEST_F(GnuPGPassphrase, WithoutCachingAnUnloadEmptiesThePassphraseForTheOthers) {
  ASSERT_TRUE(kChildren);
  vptest::WriteConfigKey({vptest::Num("CacheInterval", 0)});
  vp::ProcessAttach();
  // The child types the passphrase, so it stands in the segment until the child unloads.
  UseScript("dialog 104 type 1005 fleeting; click 1\n");
  ASSERT_EQ(vptest::RunCommand(vptest::TestBinary() + " --child type-passphrase"), 0);
  EXPECT_EQ(Events("dialog-open").size(), 1u) << "the child asked";
  EXPECT_STREQ(vp::Settings().passphrase, "");
  vp::ProcessDetach();
}

}  // namespace
