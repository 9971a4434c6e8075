// The script front end: answers taken by kind, unanswered prompts, the transcript and its escaping.
#include <string>

#include "hooklib/resources/dialogs.h"
#include "platform/script_answers.h"
#include "ui_fixture.h"

namespace {

using vp::DialogMessage;

struct Passphrase {
  std::string preset;  // put into the edit when the dialog opens
  std::string typed;
};

// Works like the library's passphrase dialogs: the edit is filled on opening, read on OK.
intptr_t PassphraseProc(vp::Dialog& d, DialogMessage m, int id, void* param) {
  auto* state = static_cast<Passphrase*>(param);
  if (m == DialogMessage::kInit) {
    d.SetText(1005, state->preset);
    vp::Ui().BringToFront(d.Window(), 1005);
    return 0;
  }
  if (id == vp::kIdOk) {
    state->typed = d.Text(1005);
    d.End(vp::kIdOk);
    return 1;
  }
  if (id == vp::kIdCancel) {
    d.End(vp::kIdCancel);
    return 1;
  }
  return 0;
}

intptr_t AskPassphrase(int dialogId, Passphrase* state) {
  return vp::Ui().DialogBox(*vp::FindDialogTemplate(dialogId), nullptr, PassphraseProc, state);
}

// Ends on one chosen id only, like a dialog whose only way out is its Exit or OK button.
intptr_t EndOnlyOnProc(vp::Dialog& d, DialogMessage m, int id, void* param) {
  if (m == DialogMessage::kCommand && id == *static_cast<int*>(param)) d.End(id);
  return 1;
}

intptr_t NeverEndsProc(vp::Dialog&, DialogMessage, int, void*) {
  return 1;
}

std::vector<bool> Answered(const std::vector<nlohmann::json>& events) {
  std::vector<bool> flags;
  for (const auto& e : events) flags.push_back(e["answered"]);
  return flags;
}

using UiScriptTest = vptest::UiFixture;

TEST_F(UiScriptTest, LinesOfEachKindAreTakenInTheirOwnOrder) {
  UseScript(
      "# passphrases first, boxes later\n"
      "dialog 103 type 1005 alpha; click 1\n"
      "message no\n"
      "\n"
      "dialog 104 type 1005 delta; click 1\n"
      "dialog 103 type 1005 beta; click 1\n"
      "message yes\n");
  vp::UserInterface& ui = vp::Ui();
  // A box with only OK takes no line: the "message no" line stays for the question.
  EXPECT_EQ(ui.MessageBox(nullptr, "Done.", "Information", vp::kMbOk), vp::kIdOk);
  EXPECT_EQ(ui.MessageBox(nullptr, "Go on?", "Question", vp::kMbYesNo), vp::kIdNo);
  Passphrase p104, p103a, p103b, p103c;
  EXPECT_EQ(AskPassphrase(104, &p104), vp::kIdOk);
  EXPECT_EQ(AskPassphrase(103, &p103a), vp::kIdOk);
  EXPECT_EQ(AskPassphrase(103, &p103b), vp::kIdOk);
  EXPECT_EQ(ui.MessageBox(nullptr, "Again?", "Question", vp::kMbYesNo), vp::kIdYes);
  // Nothing left: No and Cancel, and the record says nobody answered.
  EXPECT_EQ(ui.MessageBox(nullptr, "Once more?", "Question", vp::kMbYesNo), vp::kIdNo);
  EXPECT_EQ(AskPassphrase(103, &p103c), vp::kIdCancel);

  EXPECT_EQ(p104.typed, "delta");
  EXPECT_EQ(p103a.typed, "alpha");
  EXPECT_EQ(p103b.typed, "beta");
  EXPECT_EQ(p103c.typed, "");
  EXPECT_EQ(Answered(Events("message")), (std::vector<bool>{true, true, true, false}));
  EXPECT_EQ(Answered(Events("dialog-close")), (std::vector<bool>{true, true, true, false}));
  auto opened = Events("dialog-open");
  ASSERT_EQ(opened.size(), 4u);
  EXPECT_EQ(opened[0]["id"], 104);
  EXPECT_EQ(opened[0]["title"], "Enter PGP Decryption Passphrase");
}

TEST_F(UiScriptTest, UnansweredPromptsGetCancelNoOrTheClosingButton) {
  UseScript("dialog 103 type 1005 unfinished\n");
  vp::UserInterface& ui = vp::Ui();
  EXPECT_EQ(ui.MessageBox(nullptr, "t", "c", vp::kMbOkCancel), vp::kIdCancel);
  EXPECT_EQ(ui.MessageBox(nullptr, "t", "c", vp::kMbYesNo), vp::kIdNo);
  EXPECT_EQ(ui.MessageBox(nullptr, "t", "c", 0x5 /* retry, cancel */), vp::kIdCancel);

  // Actions that run out leave the dialog to its closing button.
  Passphrase p;
  EXPECT_EQ(AskPassphrase(103, &p), vp::kIdCancel);
  // Without id 2 the Exit button closes; without either, OK.
  int exitId = 1004, okId = vp::kIdOk;
  EXPECT_EQ(ui.DialogBox(*vp::FindDialogTemplate(106), nullptr, EndOnlyOnProc, &exitId), 1004);
  EXPECT_EQ(ui.DialogBox(*vp::FindDialogTemplate(115), nullptr, EndOnlyOnProc, &okId), 1);
  // A procedure that ends on nothing is closed all the same.
  EXPECT_EQ(ui.DialogBox(*vp::FindDialogTemplate(108), nullptr, NeverEndsProc, nullptr),
            vp::kIdCancel);

  auto messages = Events("message");
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0]["answer"], "cancel");
  EXPECT_EQ(messages[1]["answer"], "no");
  EXPECT_EQ(Answered(messages), (std::vector<bool>{false, false, false}));
  auto closed = Events("dialog-close");
  ASSERT_EQ(closed.size(), 4u);
  EXPECT_EQ(Answered(closed), (std::vector<bool>{false, false, false, false}));
  EXPECT_EQ(closed[1]["answer"], 1004);
  EXPECT_EQ(Events("dialog-forced-close").size(), 1u);
  auto commands = Events("command");
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.front()["by"], "close");
}

TEST_F(UiScriptTest, PasswordsNeverReachTheTranscript) {
  UseScript(
      "dialog 103 type 1005 hunter2secret; click 1\n"
      "dialog 104 type 9999 hunter2other; click 1\n");
  Passphrase a{"presetpass", {}}, b;
  EXPECT_EQ(AskPassphrase(103, &a), vp::kIdOk);
  EXPECT_EQ(AskPassphrase(104, &b), vp::kIdOk);
  EXPECT_EQ(a.typed, "hunter2secret");
  EXPECT_EQ(b.typed, "");

  std::string log = RawLog();
  EXPECT_EQ(log.find("hunter2"), std::string::npos) << log;
  EXPECT_EQ(log.find("presetpass"), std::string::npos) << log;
  std::vector<long long> lengths;
  for (const auto& e : Events("set-text")) {
    EXPECT_FALSE(e.contains("text"));
    lengths.push_back(e.value("length", -1LL));
  }
  EXPECT_EQ(lengths, (std::vector<long long>{10, 13, 0}));
  EXPECT_EQ(Events("script-error").size(), 1u);
}

TEST_F(UiScriptTest, TranscriptEscapesOnlyQuotesBackslashesAndControlsAndHighBytes) {
  vp::Ui().MessageBox(nullptr, "caf\xe9 \"q\" a\\b\x01 line\nnext /", "Cap\x7f", vp::kMbOk);
  std::string log = RawLog();
  ASSERT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_NE(log.find(R"("text":"caf\u00e9 \"q\" a\\b\u0001 line\nnext /")"), std::string::npos)
      << log;
  EXPECT_NE(log.find(R"("caption":"Cap\u007f")"), std::string::npos) << log;
  EXPECT_EQ(log.find("\xe9"), std::string::npos);
  auto e = Events("message").at(0);
  EXPECT_EQ(e["answer"], "ok");
  EXPECT_TRUE(e["answered"]);
}

TEST_F(UiScriptTest, QuotedTextsKeepSemicolonsAndQuotes) {
  UseScript(
      "dialog 103 type 1005 \"a;b \\\"c\\\" d\\\\e\"; click 1\n"
      "dialog 103 type 1005   two words  ; key enter\n");
  Passphrase a, b;
  EXPECT_EQ(AskPassphrase(103, &a), vp::kIdOk);
  EXPECT_EQ(AskPassphrase(103, &b), vp::kIdOk);
  EXPECT_EQ(a.typed, "a;b \"c\" d\\e");
  EXPECT_EQ(b.typed, "two words");
  EXPECT_TRUE(Events("script-error").empty());
}

TEST_F(UiScriptTest, ScriptMistakesAreRecordedAndTheDialogStillAnswers) {
  UseScript(
      "dialog 103 frobnicate 3; click 77; click 1\n"
      "message maybe\n");
  Passphrase p;
  EXPECT_EQ(AskPassphrase(103, &p), vp::kIdOk);
  EXPECT_EQ(vp::Ui().MessageBox(nullptr, "t", "c", vp::kMbYesNo), vp::kIdNo);
  auto errors = Events("script-error");
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0]["line"], 1);
  EXPECT_EQ(errors[2]["line"], 2);
  EXPECT_EQ(Answered(Events("dialog-close")), (std::vector<bool>{true}));
  EXPECT_EQ(Answered(Events("message")), (std::vector<bool>{false}));
}

TEST_F(UiScriptTest, MissingScriptLeavesEveryPromptUnanswered) {
  setenv("VEILPOST_UI", ("script:" + dir_ + "/no-such-file").c_str(), 1);
  vp::SetUi(nullptr);
  Passphrase p;
  EXPECT_EQ(AskPassphrase(104, &p), vp::kIdCancel);
  EXPECT_EQ(Events("script-error").size(), 1u);
}

TEST(UiScriptActions, SelectTellsAListIdFromAnItemText) {
  struct Case {
    const char* text;
    int id;
    const char* item;
  };
  const Case cases[] = {
      {"select 1011 \"Bob\"", 1011, "Bob"},
      {"select \"1011\"", -1, "1011"},
      {"select 42", -1, "42"},
      {"select Bob Example <bob@example.com>", -1, "Bob Example <bob@example.com>"},
      {"select \"Bob \\\"B\\\" Example\"", -1, "Bob \"B\" Example"},
  };
  for (const Case& c : cases) {
    vp::uiscript::ScriptAction action;
    std::string error;
    ASSERT_TRUE(vp::uiscript::ParseAction(c.text, &action, &error)) << c.text << ": " << error;
    EXPECT_EQ(action.id, c.id) << c.text;
    EXPECT_EQ(action.text, c.item) << c.text;
  }
  vp::uiscript::ScriptAction action;
  std::string error;
  EXPECT_FALSE(vp::uiscript::ParseAction("select \"unterminated", &action, &error));
  EXPECT_FALSE(vp::uiscript::ParseAction("key space", &action, &error));
  EXPECT_FALSE(vp::uiscript::ParseAction("click one", &action, &error));
  EXPECT_EQ(vp::uiscript::SplitActions(" click 1 ;; type 5 \"x;y\" ;"),
            (std::vector<std::string>{"click 1", "type 5 \"x;y\""}));
}

}  // namespace
