// Recipient resolution against real directory files: splitting, order, groups, limits.
#include <gtest/gtest.h>

#include <cstdio>

#include "hooklib/core/recipient_table.h"
#include "hooklib/outgoing/recipients.h"
#include "notesemu/notes_store.h"
#include "notesemu/text_list.h"
#include "support/notes_fixture.h"

namespace vptest {
namespace {

using Names = std::vector<std::string>;

class RecipientsResolve : public NotesFixture {};

TEST_F(RecipientsResolve, SplitsResolvesAndKeepsEachNameOnce) {
  AddPeople({{"CN=Bob Example/O=Acme", "bob", "bob@example.com"}, {"CN=Amy Adams/O=Acme", "", ""}});
  AddGroup("Sales", {"CN=Bob Example/O=Acme", "CN=Amy Adams/O=Acme"});
  AddGroup("Support", {"CN=Amy Adams/O=Acme", "CN=Carl Cole/O=Acme"});
  // Two semicolons give no empty piece; "bob", the mail address, the abbreviated form and both
  // groups all reach the same person, who stands in the table once.
  EXPECT_EQ(Resolve("bob;;BOB@example.com;Sales; ;Support;Bob Example/Acme"), 0);
  EXPECT_EQ(Table(), (Names{"Amy Adams/Acme", "Bob Example/Acme", "Carl Cole/Acme"}));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RecipientsResolve, OrdersNamesByUnsignedBytes) {
  Directory();
  EXPECT_EQ(Resolve("alpha;Zulu;\xC3\xA9t\xC3\xA9;Beta;alpha"), 0);
  EXPECT_EQ(Table(), (Names{"Beta", "Zulu", "alpha", "\xC3\xA9t\xC3\xA9"}));
}

TEST_F(RecipientsResolve, ExpandsNestedGroupsWithoutTheirNames) {
  AddGroup("Top", {"Middle", "CN=Ann/O=Acme"});
  AddGroup("Middle", {"leaf", "CN=Ben/O=Acme"});
  AddGroup("Leaf", {"CN=Cid/O=Acme", "Aardvark"});  // "Aardvark" sorts before every group
  EXPECT_EQ(Resolve("top"), 0);
  EXPECT_EQ(Table(), (Names{"Aardvark", "Ann/Acme", "Ben/Acme", "Cid/Acme"}));
}

TEST_F(RecipientsResolve, AGroupMemberSortingBeforeThePreviousNameIsExpandedInTheNextPass) {
  // "Zed" expands to "Alpha", which sorts before "Beta" ahead of it: only a second pass sees
  // that "Alpha" is a group too.
  AddGroup("Zed", {"Alpha", "CN=Zoe/O=Acme"});
  AddGroup("Alpha", {"CN=Al/O=Acme"});
  EXPECT_EQ(Resolve("Beta;Zed"), 0);
  EXPECT_EQ(Table(), (Names{"Beta", "Al/Acme", "Zoe/Acme"}));
}

TEST_F(RecipientsResolve, PeopleAreFoundByTheirCommonNameAndFirstAndLastName) {
  AddPeople({{"CN=Alice Example/O=Acme", "", "", "Alice", "Example"},
             {"CN=Robert Smith/OU=Sales/O=Acme", "", "", "Bob", "Smith"}});
  EXPECT_EQ(Resolve("alice example;Bob Smith;Robert Smith"), 0);
  EXPECT_EQ(Table(), (Names{"Alice Example/Acme", "Robert Smith/Sales/Acme"}));
  // An address-like name is not hierarchical and keeps its "c=" part.
  EXPECT_EQ(Resolve("c=smith@example.com"), 0);
  EXPECT_EQ(Table(), (Names{"c=smith@example.com"}));
}

TEST_F(RecipientsResolve, ACorruptMembersListIsANotesError) {
  // Three entries are announced, their lengths need more bytes than the item holds.
  const uint8_t members[] = {3, 0, 5, 0, 5, 0, 5, 0, 'C', 'N', '=', 'A', '/', 'O'};
  notesemu::NotesStore store;
  vp::DbHandle db = 0;
  ASSERT_EQ(store.OpenDatabase(Directory().c_str(), &db), 0);
  vp::NoteHandle note = 0;
  ASSERT_EQ(store.CreateNote(db, vp::kNoteClassDocument, &note), 0);
  for (const char* item : {"Form", "ListName"}) {
    std::string text = item == std::string("Form") ? "Group" : "Broken";
    ASSERT_EQ(store.AppendItem(note, 0, item, vp::kTypeText, text.data(),
                               static_cast<uint32_t>(text.size())),
              0);
  }
  ASSERT_EQ(store.AppendItem(note, 0, "Members", vp::kTypeTextList, members, sizeof members), 0);
  ASSERT_EQ(store.UpdateNote(note, 0), 0);
  store.CloseNote(note);
  store.CloseDatabase(db);

  EXPECT_EQ(Resolve("CN=Ann/O=Acme;Broken"), vp::kGroupExpansionFailed);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], "Notes error: " + StatusText(notesemu::kErrNotTextList));
}

TEST_F(RecipientsResolve, GroupsWithoutMembersItemStayAndEmptyOnesDropOut) {
  Directory();
  ASSERT_EQ(
      notesemu::AddDirectoryEntries(Directory(), {}, {{"Staff", {}, false}, {"Nobody", {}, true}}),
      "");
  EXPECT_EQ(Resolve("Staff;Nobody;CN=Dan/O=Acme"), 0);
  EXPECT_EQ(Table(), (Names{"Dan/Acme", "Staff"}));
}

TEST_F(RecipientsResolve, CanonicalNamesAreNeverLookedUpAsGroups) {
  AddGroup("CN=Trap/O=Acme", {"CN=Sprung/O=Acme"});
  AddGroup("Trap/Acme", {"CN=Sprung/O=Acme"});
  EXPECT_EQ(Resolve("CN=Trap/O=Acme"), 0);
  EXPECT_EQ(Table(), (Names{"Trap/Acme"}));
  // The same name without its keys is an ordinary name and is looked up.
  EXPECT_EQ(Resolve("Trap/Acme"), 0);
  EXPECT_EQ(Table(), (Names{"Sprung/Acme"}));
}

TEST_F(RecipientsResolve, QuotesAndBackslashesInGroupNamesAreEscaped) {
  AddGroup("Sales \"East\"", {"CN=Eve/O=Acme"});
  AddGroup("R\\D", {"CN=Rex/O=Acme"});
  EXPECT_EQ(Resolve("sales \"east\";r\\d"), 0);
  EXPECT_EQ(Table(), (Names{"Eve/Acme", "Rex/Acme"}));
}

TEST_F(RecipientsResolve, OfTwoGroupDocumentsTheLastFoundWins) {
  AddGroup("Team", {"CN=First/O=Acme"});
  AddGroup("TEAM", {"CN=Second/O=Acme"});
  EXPECT_EQ(Resolve("team"), 0);
  EXPECT_EQ(Table(), (Names{"Second/Acme"}));
}

TEST_F(RecipientsResolve, CyclesEndWithTheUnionOfTheirMembers) {
  AddGroup("A", {"B", "CN=a/O=X"});
  AddGroup("B", {"a", "CN=b/O=X"});  // "a" finds group A again, ignoring case
  AddGroup("Ring1", {"Ring2", "CN=r1/O=X"});
  AddGroup("Ring2", {"Ring3", "CN=r2/O=X"});
  AddGroup("Ring3", {"Ring1", "CN=r3/O=X"});
  AddGroup("Self", {"Self", "CN=s/O=X"});
  EXPECT_EQ(Resolve("A"), 0);
  EXPECT_EQ(Table(), (Names{"a/X", "b/X"}));
  EXPECT_EQ(Resolve("Ring2;Self"), 0);
  EXPECT_EQ(Table(), (Names{"r1/X", "r2/X", "r3/X", "s/X"}));
}

TEST_F(RecipientsResolve, UsesTheServersDirectoryForGroups) {
  AddPeople({{"CN=Bob Example/O=Acme", "bob", ""}});
  AddGroup("Remote", {"CN=Local/O=Acme"});
  std::string serverDir = data_ + "/servers/mail1%2Facme";
  ASSERT_EQ(notesemu::CreateDirectoryDatabase(serverDir + "/names.nsf"), "");
  ASSERT_EQ(notesemu::AddDirectoryEntries(serverDir + "/names.nsf", {},
                                          {{"Remote", {"CN=Far/O=Acme"}, true}}),
            "");
  EXPECT_EQ(Resolve("bob;Remote", "CN=Mail1/O=Acme"), 0);
  EXPECT_EQ(Table(), (Names{"Bob Example/Acme", "Far/Acme"}));
  EXPECT_NE(Resolve("bob", "CN=Mail2/O=Acme"), 0);
  EXPECT_EQ(Messages().back(), "Notes error: " + StatusText(notesemu::kErrFileNotFound));
}

// Groups of "CN=Pxxxx/O=A" names, numbered from `first`.
std::vector<std::string> Numbered(int first, int count) {
  std::vector<std::string> names;
  for (int i = first; i < first + count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "CN=P%04X/O=A", i);
    names.push_back(name);
  }
  return names;
}

TEST_F(RecipientsResolve, AcceptsAtMost8191Recipients) {
  ASSERT_EQ(notesemu::AddDirectoryEntries(Directory(), {},
                                          {{"Half1", Numbered(0, 4096), true},
                                           {"Half2", Numbered(4096, 4095), true},
                                           {"One", Numbered(8191, 1), true}}),
            "");
  EXPECT_EQ(Resolve("Half1;Half2"), 0);
  ASSERT_EQ(Table().size(), 8191u);
  EXPECT_EQ(Table().front(), "P0000/A");
  EXPECT_EQ(Table().back(), "P1FFE/A");
  EXPECT_TRUE(Messages().empty());

  EXPECT_EQ(Resolve("Half1;Half2;One"), -1);
  EXPECT_EQ(Messages(), (Names{"Maximum number of recipients exceeded!"}));
}

TEST_F(RecipientsResolve, RefusesOverlongInputInsteadOfCuttingIt) {
  Directory();
  std::string list(1023, 'x');
  list[300] = ';';  // two names of 300 and 722 characters: the text itself is accepted
  EXPECT_EQ(Resolve(list), -1);
  EXPECT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("longer than 255"), std::string::npos) << Messages()[0];

  EXPECT_EQ(Resolve(std::string(1024, 'y')), -1);
  EXPECT_NE(Messages().back().find("longer than 1023"), std::string::npos);

  // A canonical name of 255 characters fits; one more does not.
  std::string canonical = "CN=" + std::string(252, 'c');
  EXPECT_EQ(Resolve(canonical), 0);
  EXPECT_EQ(Table(), (Names{std::string(252, 'c')}));
  EXPECT_EQ(Resolve(canonical + "c"), -1);

  // Group names: 205 characters once escaped still fit the lookup formula, 206 do not.
  size_t before = Messages().size();
  EXPECT_EQ(Resolve(std::string(205, 'g')), 0);
  EXPECT_EQ(Resolve(std::string(102, '"') + "gg"), -1);
  EXPECT_EQ(Messages().size(), before + 1);
  EXPECT_NE(Messages().back().find("too long to be looked up"), std::string::npos);
}

TEST_F(RecipientsResolve, RefusesAMemberNameThatDoesNotFit) {
  notesemu::NotesStore store;
  vp::DbHandle db = 0;
  ASSERT_EQ(store.OpenDatabase(Directory().c_str(), &db), 0);
  vp::NoteHandle note = 0;
  ASSERT_EQ(store.CreateNote(db, vp::kNoteClassDocument, &note), 0);
  std::vector<uint8_t> members =
      notesemu::BuildTextList({"CN=Ok/O=A", "CN=" + std::string(300, 'm')}, false);
  ASSERT_EQ(store.AppendItem(note, 0, "Form", vp::kTypeText, "Group", 5), 0);
  ASSERT_EQ(store.AppendItem(note, 0, "ListName", vp::kTypeText, "Long", 4), 0);
  ASSERT_EQ(store.AppendItem(note, 0, "Members", vp::kTypeTextList, members.data(),
                             static_cast<uint32_t>(members.size())),
            0);
  ASSERT_EQ(store.UpdateNote(note, 0), 0);
  store.CloseNote(note);
  store.CloseDatabase(db);

  EXPECT_EQ(Resolve("Long"), -1);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("longer than 255"), std::string::npos);
}

}  // namespace
}  // namespace vptest
