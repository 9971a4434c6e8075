// The virtual dialog engine: lists, check boxes and radio groups, keys, refused actions.
#include <string>
#include <vector>

#include "hooklib/resources/dialogs.h"
#include "platform/headless/headless_ui.h"
#include "ui_fixture.h"

namespace {

using vp::ControlKind;
using vp::DialogMessage;

// A list dialog: items added with their input position as item data, the first item selected;
// `okId` reads the selection (and ends the dialog unless `keepOpen`), `exitId` ends it.
struct ListState {
  int listId = 0, okId = 0, exitId = 0;
  bool keepOpen = false;
  std::vector<std::string> items;
  std::vector<std::string> shown;
  std::vector<std::string> selected;
  std::vector<intptr_t> data;
};

ListState MakeList(int listId, int okId, int exitId, bool keepOpen,
                   std::vector<std::string> items) {
  ListState s;
  s.listId = listId;
  s.okId = okId;
  s.exitId = exitId;
  s.keepOpen = keepOpen;
  s.items = std::move(items);
  return s;
}

intptr_t ListProc(vp::Dialog& d, DialogMessage m, int id, void* param) {
  auto* s = static_cast<ListState*>(param);
  if (m == DialogMessage::kInit) {
    for (size_t i = 0; i < s->items.size(); ++i)
      d.ListSetData(s->listId, d.ListAdd(s->listId, s->items[i]), static_cast<intptr_t>(100 + i));
    d.ListSelect(s->listId, 0);
    return 1;
  }
  if (id == s->okId) {
    s->shown.clear();
    for (int i = 0; i < d.ListCount(s->listId); ++i) {
      s->shown.push_back(d.ListText(s->listId, i));
      if (d.ListIsSelected(s->listId, i)) {
        s->selected.push_back(d.ListText(s->listId, i));
        s->data.push_back(d.ListData(s->listId, i));
      }
    }
    if (!s->keepOpen) d.End(id);
  } else if (id == s->exitId) {
    d.End(id);
  }
  return 1;
}

// Records every command and every state at OK; OK and Cancel end the dialog.
struct Recorder {
  std::vector<int> initialChecks;
  std::vector<int> disable;
  std::vector<int> commands;
  std::vector<int> watched;
  std::vector<bool> checkedAtOk;
  std::string textAtOk;
  int textId = -1;
};

intptr_t RecorderProc(vp::Dialog& d, DialogMessage m, int id, void* param) {
  auto* r = static_cast<Recorder*>(param);
  if (m == DialogMessage::kInit) {
    for (int c : r->initialChecks) d.SetCheck(c, true);
    for (int c : r->disable) d.Enable(c, false);
    if (r->textId != -1) d.SetText(r->textId, "details");
    return 1;
  }
  r->commands.push_back(id);
  if (id == vp::kIdOk || id == vp::kIdCancel || id == 1016) {
    for (int w : r->watched) r->checkedAtOk.push_back(d.IsChecked(w));
    if (r->textId != -1) r->textAtOk = d.Text(r->textId);
    d.End(id);
  }
  return 1;
}

intptr_t ShowDialog(int dialogId, vp::DialogProc proc, void* state) {
  return vp::Ui().DialogBox(*vp::FindDialogTemplate(dialogId), nullptr, proc, state);
}

using UiDialogTest = vptest::UiFixture;

TEST_F(UiDialogTest, SortedListKeepsItemDataAndExtendedSelection) {
  UseScript("dialog 106 select \"charlie\"; select 1008 \"delta\"; click 1010; click 1004\n");
  ListState s = MakeList(1008, 1010, 1004, true,
                         {"delta", "Alpha", "charlie", "bravo", "alpha", "\xe9t\xe9", "Zeta"});
  EXPECT_EQ(ShowDialog(106, ListProc, &s), 1004);
  // Case is ignored, texts equal but for case keep the order they came in, bytes above 0x7F
  // go last.
  EXPECT_EQ(s.shown, (std::vector<std::string>{"Alpha", "alpha", "bravo", "charlie", "delta",
                                               "Zeta", "\xe9t\xe9"}));
  EXPECT_EQ(s.selected, (std::vector<std::string>{"Alpha", "charlie", "delta"}));
  EXPECT_EQ(s.data, (std::vector<intptr_t>{101, 102, 100}));
  auto added = Events("list-add");
  ASSERT_EQ(added.size(), 7u);
  EXPECT_EQ(added[1]["index"], 0);  // "Alpha" went before "delta"
}

TEST_F(UiDialogTest, SingleSelectionListKeepsOneItem) {
  UseScript(
      "dialog 107 select \"b\"; select-index 1011 2; click 1\n"
      "dialog 107 unselect-all; key enter\n");
  ListState first = MakeList(1011, 1, 2, false, {"b", "c", "a"});
  EXPECT_EQ(ShowDialog(107, ListProc, &first), 1);
  EXPECT_EQ(first.selected, (std::vector<std::string>{"c"}));
  EXPECT_EQ(first.data, (std::vector<intptr_t>{101}));

  ListState second = MakeList(1011, 1, 2, false, {"b", "c", "a"});
  EXPECT_EQ(ShowDialog(107, ListProc, &second), 1);
  EXPECT_TRUE(second.selected.empty());
}

TEST_F(UiDialogTest, RadioGroupsClearEachOtherAndCheckBoxesToggle) {
  UseScript("dialog 101 click 1002; check 1001; uncheck 1011; check 1010; click 1\n");
  Recorder r;
  r.initialChecks = {1000, 1010, 1011};
  r.watched = {1000, 1001, 1002, 1010, 1011};
  EXPECT_EQ(ShowDialog(101, RecorderProc, &r), 1);
  EXPECT_EQ(r.checkedAtOk, (std::vector<bool>{false, true, false, true, false}));
  // The click reaches the procedure after the state changed; a check that changes nothing does not.
  EXPECT_EQ(r.commands, (std::vector<int>{1002, 1001, 1011, 1}));
}

TEST_F(UiDialogTest, GroupStyleStartsASecondRadioGroup) {
  const vp::DialogTemplate tpl{
      900,
      "Two groups",
      200,
      100,
      "MS Sans Serif",
      8,
      0,
      {
          {10, ControlKind::kRadio, vp::kStyleTabStop, 7, 7, 80, 10, "A1"},
          {11, ControlKind::kRadio, 0, 7, 20, 80, 10, "A2"},
          {20, ControlKind::kRadio, vp::kStyleGroup | vp::kStyleTabStop, 7, 40, 80, 10, "B1"},
          {21, ControlKind::kRadio, 0, 7, 53, 80, 10, "B2"},
          {1, ControlKind::kDefPushButton, vp::kStyleGroup, 140, 7, 50, 14, "OK"},
      }};
  UseScript("dialog 900 click 21; click 11; click 1\n");
  Recorder r;
  r.initialChecks = {10, 20};
  r.watched = {10, 11, 20, 21};
  EXPECT_EQ(vp::Ui().DialogBox(tpl, nullptr, RecorderProc, &r), 1);
  EXPECT_EQ(r.checkedAtOk, (std::vector<bool>{false, true, false, true}));
}

TEST_F(UiDialogTest, EnterPressesTheDefaultButtonAndEscapeId2) {
  UseScript(
      "dialog 108 key enter\n"
      "dialog 103 key escape\n"
      "dialog 106 key escape\n");
  Recorder missing, passphrase;
  EXPECT_EQ(ShowDialog(108, RecorderProc, &missing), 1016);
  EXPECT_EQ(ShowDialog(103, RecorderProc, &passphrase), vp::kIdCancel);
  // Without an id 2, Escape does nothing and the line runs out.
  ListState import = MakeList(1008, 1010, 1004, true, {"key"});
  EXPECT_EQ(ShowDialog(106, ListProc, &import), 1004);
  std::vector<std::string> by;
  for (const auto& e : Events("command")) by.push_back(e["by"]);
  EXPECT_EQ(by, (std::vector<std::string>{"enter", "escape", "close"}));
  auto closed = Events("dialog-close");
  ASSERT_EQ(closed.size(), 3u);
  EXPECT_FALSE(closed[2]["answered"]);
}

TEST_F(UiDialogTest, ReadOnlyEditsAndDisabledButtonsRefuseTheUser) {
  UseScript("dialog 115 type 1022 changed; click 1023; click 1\n");
  Recorder r;
  r.textId = 1022;
  r.disable = {1023};
  EXPECT_EQ(ShowDialog(115, RecorderProc, &r), 1);
  EXPECT_EQ(r.textAtOk, "details");
  EXPECT_EQ(r.commands, (std::vector<int>{1}));
  EXPECT_EQ(Events("script-error").size(), 2u);
  auto enabled = Events("enable");
  ASSERT_EQ(enabled.size(), 1u);
  EXPECT_EQ(enabled[0]["id"], 1023);
  EXPECT_FALSE(enabled[0]["enabled"]);
}

// Every dialog of the library can be closed by someone who does not answer it.
TEST_F(UiDialogTest, EveryLibraryDialogHasAClosingButton) {
  const std::pair<int, int> expected[] = {{101, 2},    {102, 1004}, {103, 2}, {104, 2},
                                          {106, 1004}, {107, 2},    {108, 2}, {115, 1}};
  for (auto [dialogId, closingId] : expected) {
    ASSERT_NE(vp::FindDialogTemplate(dialogId), nullptr) << dialogId;
    int endOn = closingId;
    auto proc = [](vp::Dialog& d, DialogMessage m, int id, void* p) -> intptr_t {
      if (m == DialogMessage::kCommand && id == *static_cast<int*>(p)) d.End(id);
      return 1;
    };
    EXPECT_EQ(ShowDialog(dialogId, proc, &endOn), closingId) << dialogId;
  }
  EXPECT_TRUE(Events("dialog-forced-close").empty());
}

}  // namespace
