// The library's string table and dialog templates.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "hooklib/resources/dialogs.h"
#include "hooklib/resources/strings.h"

namespace {

TEST(ResourceStrings, TableHoldsExactlyItsNumbersWithEscapesResolved) {
  std::set<int> present;
  for (int id = 100; id < 200; ++id)
    if (vp::FindStringResource(id)) present.insert(id);
  std::set<int> expected;
  for (int id = 145; id <= 177; ++id)
    if (id != 148 && id != 149) expected.insert(id);
  EXPECT_EQ(present, expected);

  EXPECT_STREQ(vp::FindStringResource(154),
               "\"%s\" does not appear to be an encrypted file.\nNo decryption was performed.");
  EXPECT_STREQ(vp::FindStringResource(176), "Error");
  std::string s159 = vp::FindStringResource(159);
  EXPECT_EQ(s159.find('\\'), std::string::npos);
  EXPECT_NE(s159.find(".\nPlease"), std::string::npos);
}

TEST(ResourceDialogs, TemplatesAreConsistent) {
  for (int id : {101, 102, 103, 104, 106, 107, 108, 115}) {
    const vp::DialogTemplate* tpl = vp::FindDialogTemplate(id);
    ASSERT_NE(tpl, nullptr) << id;
    EXPECT_EQ(tpl->id, id);
    EXPECT_STREQ(tpl->font, "MS Sans Serif");
    std::set<int> ids;
    int defaults = 0;
    for (const vp::ControlTemplate& c : tpl->controls) {
      if (c.id != -1) {
        EXPECT_TRUE(ids.insert(c.id).second) << id << ": control " << c.id;
      }
      if (c.kind == vp::ControlKind::kDefPushButton) ++defaults;
      // Every control lies inside its dialog.
      EXPECT_GE(c.x, 0);
      EXPECT_GE(c.y, 0);
      EXPECT_LE(c.x + c.w, tpl->w) << id << ": control " << c.id;
      EXPECT_LE(c.y + c.h, tpl->h) << id << ": control " << c.id;
    }
    EXPECT_EQ(defaults, 1) << id;
  }
  EXPECT_EQ(vp::FindDialogTemplate(105), nullptr);
}

TEST(ResourceDialogs, ListsAndEditsHaveTheStylesTheirDialogsNeed) {
  auto control = [](int dialog, int id) -> const vp::ControlTemplate* {
    for (const vp::ControlTemplate& c : vp::FindDialogTemplate(dialog)->controls)
      if (c.id == id) return &c;
    return nullptr;
  };
  for (int dialog : {103, 104}) {
    const vp::ControlTemplate* edit = control(dialog, 1005);
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->style & vp::kEditPassword);
  }
  for (auto [dialog, list] : {std::pair{102, 1001}, std::pair{106, 1008}}) {
    const vp::ControlTemplate* c = control(dialog, list);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->style & vp::kListSort);
    EXPECT_TRUE(c->style & vp::kListExtendedSel);
  }
  for (auto [dialog, list] : {std::pair{107, 1011}, std::pair{108, 1011}}) {
    const vp::ControlTemplate* c = control(dialog, list);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->style & vp::kListSort);
    EXPECT_FALSE(c->style & (vp::kListExtendedSel | vp::kListMultipleSel));
  }
  const vp::ControlTemplate* details = control(115, 1022);
  ASSERT_NE(details, nullptr);
  EXPECT_TRUE(details->style & vp::kEditReadOnly);
  EXPECT_TRUE(details->style & vp::kEditMultiLine);
}

}  // namespace
