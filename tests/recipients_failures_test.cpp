// Every Notes failure during recipient resolution reaches the user as "Notes error: %s".
#include <gtest/gtest.h>

#include "hooklib/outgoing/recipients.h"
#include "notesemu/notes_store.h"
#include "platform/faults.h"
#include "support/notes_fixture.h"

namespace vptest {
namespace {

class RecipientsFailures : public NotesFixture {
 protected:
  void SetUp() override {
    NotesFixture::SetUp();
    AddPeople({{"CN=Bob Example/O=Acme", "bob", ""}});
    AddGroup("Outer", {"Inner", "CN=Ann/O=Acme"});
    AddGroup("Inner", {"CN=Ben/O=Acme"});
  }
  size_t HandlesInUse() { return dynamic_cast<notesemu::NotesStore&>(vp::Notes()).HandlesInUse(); }
};

struct Failure {
  const char* site;
  uint16_t status;
  int result;
};

TEST_F(RecipientsFailures, EachFailingOperationIsShownAndEndsTheResolution) {
  const Failure failures[] = {
      {"ListAllocate", notesemu::kErrNoMemory, -1},
      {"ListEntryCount", notesemu::kErrNoMemory, -1},
      {"ListAddEntry", notesemu::kErrNoMemory, -1},
      {"Lock", notesemu::kErrNoMemory, -1},
      {"ResolveEnteredNames", notesemu::kErrIo, -1},
      {"ListGetText", notesemu::kErrNoMemory, -1},
      {"OpenDatabase", notesemu::kErrIo, -1},
      {"CompileFormula", notesemu::kErrNoMemory, vp::kGroupExpansionFailed},
      {"Search", notesemu::kErrIo, vp::kGroupExpansionFailed},
      {"OpenNote", notesemu::kErrIo, vp::kGroupExpansionFailed},
      {"ItemInfo", notesemu::kErrIo, vp::kGroupExpansionFailed},
      {"ItemTextListCount", notesemu::kErrIo, vp::kGroupExpansionFailed},
      {"ItemTextListEntry", notesemu::kErrIo, vp::kGroupExpansionFailed},
  };
  ASSERT_EQ(HandlesInUse(), 0u);
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.site);
    ui_->messages.clear();
    vp::SetFaults(std::string("notes.") + f.site + "@1");
    EXPECT_EQ(Resolve("bob;Outer"), f.result);
    vp::SetFaults("");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], "Notes error: " + StatusText(f.status));
    EXPECT_EQ(HandlesInUse(), 0u);  // every list, note, formula and database was released
  }
  // With nothing failing the same resolution works, so each failure above was the cause.
  ui_->messages.clear();
  EXPECT_EQ(Resolve("bob;Outer"), 0);
  EXPECT_EQ(Table(), (std::vector<std::string>{"Ann/Acme", "Ben/Acme", "Bob Example/Acme"}));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(HandlesInUse(), 0u);
}

TEST_F(RecipientsFailures, AFailureAfterAnExpansionStartsThePassOver) {
  // The first lookup (of "Outer") succeeds; the second, inside the same pass, fails once: the
  // next pass looks the name up again and the expansion completes.
  vp::SetFaults("notes.Search@2");
  EXPECT_EQ(Resolve("Outer"), 0);
  EXPECT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Table(), (std::vector<std::string>{"Ann/Acme", "Ben/Acme"}));

  // A lasting failure: the pass after the expansion fails before expanding anything.
  ui_->messages.clear();
  vp::SetFaults("notes.Search@2+");
  EXPECT_EQ(Resolve("Outer"), vp::kGroupExpansionFailed);
  EXPECT_EQ(Messages().size(), 2u);
  vp::SetFaults("");
  EXPECT_EQ(HandlesInUse(), 0u);
}

TEST_F(RecipientsFailures, AFailedAbbreviationKeepsTheName) {
  vp::SetFaults("notes.AbbreviateName@1");
  EXPECT_EQ(Resolve("bob;CN=Cy/O=Acme"), 0);
  EXPECT_EQ(Table(), (std::vector<std::string>{"CN=Bob Example/O=Acme", "Cy/Acme"}));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RecipientsFailures, ErrorTextsIgnoreTheFlagBits) {
  EXPECT_EQ(StatusText(0x8000 | vp::kNotesItemNotFound), "Note item not found");
  for (uint16_t status : {notesemu::kErrFileNotFound, notesemu::kErrIo, notesemu::kErrNoMemory,
                          notesemu::kErrFormulaSyntax, notesemu::kErrRichText}) {
    EXPECT_NE(StatusText(status), StatusText(0x3FFE)) << status;
  }
  char small[8];
  EXPECT_EQ(vp::Notes().ErrorText(notesemu::kErrFileNotFound, small, sizeof small), 7);
  EXPECT_STREQ(small, "File do");
}

}  // namespace
}  // namespace vptest
