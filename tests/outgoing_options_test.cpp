// The encryption options and missing-keys dialogs, their settings in the configuration key, and
// DoEncrypt's refusals before any GnuPG run, through the host as the script calls it.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "hooklib/core/recipient_table.h"
#include "hooklib/outgoing/options_dialogs.h"
#include "platform/faults.h"
#include "support/registry_file.h"
#include "ui_fixture.h"

namespace vptest {
namespace {

class OutgoingOptions : public UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    RemoveRegistry();
    vp::Options() = vp::EncryptionOptions{};
    vp::SetFaults("");
  }
  void TearDown() override {
    vp::SetFaults("");
    RemoveRegistry();
    vp::FreeRecipientTable();
    vp::ClearRecipientTable();
    UiFixture::TearDown();
  }
  // Starts the transcript afresh, so the next checks see only the next dialog.
  void Answer(const std::string& script) {
    WriteFile(log_, "");
    UseScript(script);
  }
  // The check states the dialog set when it opened (before the first command).
  std::map<int, bool> OpeningChecks() {
    std::map<int, bool> checks;
    for (const auto& e : Events()) {
      if (e["event"] == "command") break;
      if (e["event"] == "check") checks[e["id"]] = e["checked"];
    }
    return checks;
  }
  bool Stored(const std::string& name, unsigned value) {
    char line[64];
    snprintf(line, sizeof line, "\"%s\"=dword:%08x", name.c_str(), value);
    return ReadFile(RegistryPath()).find(line) != std::string::npos;
  }
  size_t WriteFailures() {
    size_t n = 0;
    for (const auto& e : Events("message"))
      n += e["text"] == "Unable to write configuration values to registry database!";
    return n;
  }
};

TEST_F(OutgoingOptions, DefaultsCancelAndOkRoundTrip) {
  // No values at all: no key attached, both boxes ticked.
  Answer("");  // nobody answers: Cancel
  vp::ShowEncryptionOptionsDialog();
  EXPECT_EQ(OpeningChecks(), (std::map<int, bool>{{1000, true}, {1011, true}, {1010, true}}));
  EXPECT_EQ(vp::Options().publicKeyChoice, -1);

  // A click then Cancel: the choice is cancelled and nothing is stored.
  Answer("dialog 101 click 1001; click 2\n");
  vp::ShowEncryptionOptionsDialog();
  EXPECT_EQ(vp::Options().publicKeyChoice, -1);
  EXPECT_EQ(ReadFile(RegistryPath()).find("AttachPubKey"), std::string::npos);

  Answer("dialog 101 click 1002; uncheck 1011; click 1\n");
  vp::ShowEncryptionOptionsDialog();
  EXPECT_EQ(vp::Options().publicKeyChoice, 1002);
  EXPECT_TRUE(Stored("AttachPubKey", 2));
  EXPECT_TRUE(Stored("EncryptMessage", 0));
  EXPECT_TRUE(Stored("EncryptAttachments", 1));

  // The next opening shows what was stored, even after the settings in memory changed.
  vp::Options() = vp::EncryptionOptions{};
  Answer("");
  vp::ShowEncryptionOptionsDialog();
  EXPECT_EQ(OpeningChecks(), (std::map<int, bool>{{1002, true}, {1010, true}}));
  EXPECT_EQ(vp::Options().publicKeyChoice, -1);
  EXPECT_TRUE(Events("message").empty());
}

TEST_F(OutgoingOptions, AStoredChoiceOutOfRangeShowsNoKeyAndOkRepairsIt) {
  WriteConfigKey({Num("AttachPubKey", 7), Num("EncryptMessage", 0)});
  Answer("dialog 101 click 1\n");
  vp::ShowEncryptionOptionsDialog();
  EXPECT_EQ(OpeningChecks(), (std::map<int, bool>{{1000, true}, {1010, true}}));
  EXPECT_EQ(vp::Options().publicKeyChoice, 1000);
  EXPECT_TRUE(Stored("AttachPubKey", 0));
  EXPECT_TRUE(Stored("EncryptMessage", 0));
}

TEST_F(OutgoingOptions, EachFailedOpenOrWriteIsReportedOnce) {
  // Without a key: silent when loading, then the open and each of the three writes fail.
  vp::SetFaults("registry.open@*");
  Answer("dialog 101 click 1001; click 1\n");
  vp::ShowEncryptionOptionsDialog();
  EXPECT_EQ(WriteFailures(), 4u);
  EXPECT_EQ(vp::Options().publicKeyChoice, 1001);
  auto boxes = Events("message");
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0]["caption"], "Error");

  // The second write fails alone: the other two values are stored. The choice clicked before
  // was never stored, so the opening loaded the default again.
  vp::SetFaults("registry.write@2");
  Answer("dialog 101 uncheck 1011; click 1\n");
  vp::ShowEncryptionOptionsDialog();
  EXPECT_EQ(WriteFailures(), 1u);
  EXPECT_TRUE(Stored("AttachPubKey", 0));
  EXPECT_FALSE(ReadFile(RegistryPath()).find("EncryptMessage") != std::string::npos);
  EXPECT_TRUE(Stored("EncryptAttachments", 1));
}

TEST_F(OutgoingOptions, MissingKeysListsOnlyNamesWithoutAKey) {
  const char* names[] = {"zed@example.org", "Bob Example/Acme", "Amy Adams/Acme", "Carl/Acme"};
  const uint32_t found[] = {0, 1, 0, 1};
  for (int i = 0; i < 4; ++i) {
    vp::SetRecipient(i, names[i]);
    vp::Recipients().found[i] = found[i];
  }
  vp::Recipients().count = 4;

  Answer("dialog 108 click 1016\ndialog 108 click 2\n");
  EXPECT_TRUE(vp::ShowMissingKeysDialog());
  std::vector<std::pair<std::string, int>> added;
  for (const auto& e : Events("list-add")) added.emplace_back(e["text"], e["index"]);
  // "Amy" sorts before "zed" (the list keeps its items sorted).
  EXPECT_EQ(added, (std::vector<std::pair<std::string, int>>{{"zed@example.org", 0},
                                                             {"Amy Adams/Acme", 0}}));
  EXPECT_FALSE(vp::ShowMissingKeysDialog());
  EXPECT_FALSE(vp::ShowMissingKeysDialog());  // nobody answers: Cancel
}

// Through the host, as the script calls it: refused before the version hand-shake, and a
// cancelled options dialog ends before any recipient lookup or GnuPG run.
TEST_F(OutgoingOptions, HostCallRefusesUninitialisedAndCancelled) {
  std::string trace = dir_ + "/trace.log";
  WriteConfigKey({Str("TraceFile", trace), Str("GpgProgramPath", "/usr/bin/gpg1")});
  std::string call = VeilpostBinary() + " call ";
  std::string args = " DoEncrypt '' 'CN=Alice/O=Acme' 'Bob' 'body' '' 2>&1";
  std::string out;
  Answer("dialog 101 click 1\n");
  EXPECT_EQ(RunCommand(call + "--no-init" + args, &out), 0);
  EXPECT_EQ(out, "-1\n");
  ASSERT_EQ(Events("message").size(), 1u);
  EXPECT_NE(Events("message")[0]["text"].get<std::string>().find("Incompatible"),
            std::string::npos);
  EXPECT_TRUE(Events("dialog-open").empty());

  Answer("dialog 101 click 2\n");
  EXPECT_EQ(RunCommand(call + args, &out), 0);
  EXPECT_EQ(out, "-1\n");
  std::vector<bool> notesEnabled;
  for (const auto& e : Events("window-enable")) notesEnabled.push_back(e["enabled"]);
  EXPECT_EQ(notesEnabled, (std::vector<bool>{false, true}));
  EXPECT_EQ(ReadFile(trace).find("--list"), std::string::npos) << ReadFile(trace);
}

}  // namespace
}  // namespace vptest
