// The embedded Notes store on real files: items, info, formulas, names, lists, writes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "notesemu/data_paths.h"
#include "notesemu/notes_store.h"
#include "notesemu/text_list.h"
#include "platform/faults.h"
#include "support/notes_fixture.h"

namespace vptest {
namespace {

using notesemu::NotesStore;

class NotesStoreTest : public NotesFixture {
 protected:
  // A new database at `name` in the data folder, open in `store_`.
  vp::DbHandle NewDatabase(const std::string& name, const std::string& info = "T\n\nTpl\n") {
    std::string path = data_ + "/" + name;
    EXPECT_EQ(store_.CreateDatabase(path, info), 0);
    vp::DbHandle db = 0;
    EXPECT_EQ(store_.OpenDatabase(path.c_str(), &db), 0);
    return db;
  }
  vp::NoteId SaveNote(vp::DbHandle db, uint16_t cls,
                      const std::vector<std::pair<std::string, std::string>>& texts) {
    vp::NoteHandle note = 0;
    EXPECT_EQ(store_.CreateNote(db, cls, &note), 0);
    for (const auto& [name, value] : texts) {
      EXPECT_EQ(store_.AppendItem(note, 0, name.c_str(), vp::kTypeText, value.data(),
                                  static_cast<uint32_t>(value.size())),
                0);
    }
    EXPECT_EQ(store_.UpdateNote(note, 0), 0);
    vp::NoteId id = 0;
    std::vector<std::pair<vp::NoteId, uint16_t>> notes;
    store_.ListNotes(db, cls, &notes);
    if (!notes.empty()) id = notes.back().first;
    store_.CloseNote(note);
    return id;
  }
  // The values of every item `name` of a note, walked with ItemInfo / ItemInfoNext.
  static std::vector<std::string> Values(NotesStore& store, vp::NoteHandle note, const char* name,
                                         uint16_t* last) {
    std::vector<std::string> out;
    vp::BlockId item, value;
    uint32_t length = 0;
    uint16_t status = store.ItemInfo(note, name, &item, nullptr, &value, &length);
    while (status == 0) {
      const uint8_t* data = nullptr;
      EXPECT_EQ(store.LockBlock(value, &data), 0);
      out.emplace_back(reinterpret_cast<const char*>(data) + 2, length - 2);
      status = store.ItemInfoNext(note, item, name, &item, nullptr, &value, &length);
    }
    *last = status;
    return out;
  }
  NotesStore store_;
};

TEST_F(NotesStoreTest, ItemsKeepTheirOrderAndRepeatedNames) {
  vp::DbHandle db = NewDatabase("items.nsf");
  vp::NoteId id = SaveNote(db, vp::kNoteClassForm,
                           {{"$Body", "one"}, {"Other", "x"}, {"$BODY", "two"}, {"$Body", "3"}});
  ASSERT_NE(id, 0u);
  NotesStore fresh;  // read back from the file, not from memory
  vp::DbHandle db2 = 0;
  ASSERT_EQ(fresh.OpenDatabase((data_ + "/items.nsf").c_str(), &db2), 0);
  vp::NoteHandle note = 0;
  ASSERT_EQ(fresh.OpenNote(db2, id, 0, &note), 0);
  uint16_t last = 0;
  EXPECT_EQ(Values(fresh, note, "$body", &last), (std::vector<std::string>{"one", "two", "3"}));
  EXPECT_EQ(last, vp::kNotesItemNotFound);
  EXPECT_EQ(fresh.ItemInfo(note, "Missing", nullptr, nullptr, nullptr, nullptr),
            vp::kNotesItemNotFound);
  EXPECT_EQ(fresh.ItemInfo(note, "Other", nullptr, nullptr, nullptr, nullptr), 0);

  EXPECT_EQ(fresh.SetTextItem(note, "$Body", "only", 0xFFFF), 0);
  EXPECT_EQ(Values(fresh, note, "$Body", &last), (std::vector<std::string>{"only"}));
  EXPECT_EQ(fresh.DeleteItem(note, "$BODY"), 0);
  EXPECT_EQ(fresh.DeleteItem(note, "$Body"), vp::kNotesItemNotFound);
  EXPECT_EQ(
      fresh.ItemInfoNext(note, vp::BlockId{note, 999}, "Other", nullptr, nullptr, nullptr, nullptr),
      notesemu::kErrInvalidBlock);
  fresh.CloseNote(note);
}

TEST_F(NotesStoreTest, DatabaseInfoFieldsAndTheIconNote) {
  vp::DbHandle db = NewDatabase("info.nsf", "Mail (R8)\ncats\nStdR85Mail\nOld");
  char info[vp::kDbInfoSize];
  ASSERT_EQ(store_.GetDatabaseInfo(db, info), 0);
  const char* expected[] = {"Mail (R8)", "cats", "StdR85Mail", "Old", ""};
  for (uint16_t field = 0; field < 5; ++field) {
    char value[128];
    EXPECT_EQ(store_.ParseDatabaseInfo(info, field, value, sizeof value), 0);
    EXPECT_STREQ(value, expected[field]) << field;
  }
  ASSERT_EQ(store_.ModifyDatabaseInfo(info, vp::kInfoInheritsFrom, "PGPR85Mail"), 0);
  EXPECT_STREQ(info, "Mail (R8)\ncats\nStdR85Mail\nPGPR85Mail");
  std::string big(120, 'x');
  EXPECT_EQ(store_.ModifyDatabaseInfo(info, vp::kInfoTitle, big.c_str()), notesemu::kErrInfoFull);
  EXPECT_STREQ(info, "Mail (R8)\ncats\nStdR85Mail\nPGPR85Mail");  // unchanged on refusal
  ASSERT_EQ(store_.SetDatabaseInfo(db, info), 0);

  vp::NoteHandle icon = 0;
  ASSERT_EQ(store_.OpenNote(db, vp::kIconNoteId, 0, &icon), 0);
  ASSERT_EQ(store_.SetTextItem(icon, "$TITLE", info, 0xFFFF), 0);
  ASSERT_EQ(store_.UpdateNote(icon, 0), 0);
  store_.CloseNote(icon);
  store_.CloseDatabase(db);

  NotesStore fresh;
  ASSERT_EQ(fresh.OpenDatabase((data_ + "/info.nsf").c_str(), &db), 0);
  char again[vp::kDbInfoSize];
  ASSERT_EQ(fresh.GetDatabaseInfo(db, again), 0);
  EXPECT_STREQ(again, info);
  ASSERT_EQ(fresh.OpenNote(db, vp::kIconNoteId, 0, &icon), 0);
  char title[128];
  uint16_t length = 0;
  EXPECT_EQ(fresh.ItemTextListEntry(icon, "$TITLE", 0, title, sizeof title, &length), 0);
  EXPECT_STREQ(title, info);
}

TEST_F(NotesStoreTest, FormulasSelectAndRefuse) {
  vp::DbHandle db = NewDatabase("formula.nsf");
  SaveNote(db, vp::kNoteClassDocument, {{"Form", "Group"}, {"ListName", "Sales"}});
  SaveNote(db, vp::kNoteClassDocument, {{"Form", "Group"}, {"ListName", "Q\"uote\\"}});
  SaveNote(db, vp::kNoteClassDocument, {{"Form", "Person"}, {"ListName", "SALES"}});
  vp::NoteHandle note = 0;  // a text-list field: any entry may match
  ASSERT_EQ(store_.CreateNote(db, vp::kNoteClassDocument, &note), 0);
  auto list = notesemu::BuildTextList({"Red", "Green"}, false);
  ASSERT_EQ(store_.AppendItem(note, 0, "Form", vp::kTypeTextList, list.data(),
                              static_cast<uint32_t>(list.size())),
            0);
  ASSERT_EQ(store_.UpdateNote(note, 0), 0);
  store_.CloseNote(note);

  struct Case {
    const char* formula;
    uint16_t status;
    std::vector<int> selected;  // positions of the selected documents, in id order
  };
  const Case cases[] = {
      {"SELECT(Form = \"Group\" & @Uppercase(ListName) = \"SALES\")", 0, {0}},
      {"select Form = \"Group\" | Form = \"Green\"", 0, {0, 1, 3}},
      {"ListName = \"sales\"", 0, {}},  // comparisons keep case
      {"@Lowercase(ListName) = \"sales\"", 0, {0, 2}},
      {"Form != \"Group\"", 0, {2, 3}},
      {"ListName = \"Q\\\"uote\\\\\"", 0, {1}},
      {"Missing = \"\"", 0, {0, 1, 2, 3}},
      {"(Form = \"Person\") & (ListName != \"x\")", 0, {2}},
      {"@Left(Form; 1) = \"G\"", notesemu::kErrFormulaFunction, {}},
      {"Form = \"Group", notesemu::kErrFormulaUnterminated, {}},
      {"Form = ", notesemu::kErrFormulaSyntax, {}},
      {"Form = \"a\" \"b\"", notesemu::kErrFormulaSyntax, {}},
      {"Form & ListName", notesemu::kErrFormulaType, {}},
      {"SELECT Form", notesemu::kErrFormulaType, {}},
      {"@Uppercase(Form = \"x\") = \"1\"", notesemu::kErrFormulaType, {}},
  };
  std::vector<std::pair<vp::NoteId, uint16_t>> ids;
  store_.ListNotes(db, vp::kNoteClassDocument, &ids);
  ASSERT_EQ(ids.size(), 4u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.formula);
    vp::MemHandle formula = 0;
    vp::FormulaError error;
    uint16_t status =
        store_.CompileFormula(nullptr, 0, c.formula, static_cast<uint16_t>(std::strlen(c.formula)),
                              &formula, nullptr, &error);
    EXPECT_EQ(status, c.status);
    if (status) {
      EXPECT_EQ(error.status, c.status);
      EXPECT_NE(StatusText(status), StatusText(0x3FFE));  // every failure has its own text
      continue;
    }
    std::vector<vp::NoteId> matched;
    auto collect = [](void* ctx, const vp::SearchMatch& m) -> vp::NotesStatus {
      if (m.flags & vp::kSearchMatch) static_cast<std::vector<vp::NoteId>*>(ctx)->push_back(m.id);
      return 0;
    };
    ASSERT_EQ(store_.Search(db, formula, 0, vp::kNoteClassDocument, collect, &matched), 0);
    std::vector<vp::NoteId> expected;
    for (int i : c.selected) expected.push_back(ids[i].first);
    EXPECT_EQ(matched, expected);
    EXPECT_EQ(store_.Free(formula), 0);
  }
  vp::MemHandle list2 = 0;
  ASSERT_EQ(store_.ListAllocate(0, 0, true, &list2, nullptr, nullptr), 0);
  EXPECT_EQ(
      store_.Search(
          db, list2, 0, 1, [](void*, const vp::SearchMatch&) -> uint16_t { return 0; }, nullptr),
      notesemu::kErrNotFormula);
}

TEST_F(NotesStoreTest, UppercaseChangesEveryLetterAndNothingElse) {
  vp::DbHandle db = NewDatabase("case.nsf");
  // Letters, the bytes on either side of both letter ranges, and a byte above 0x7F.
  SaveNote(db, vp::kNoteClassDocument, {{"ListName", "abcdefghijklmnopqrstuvwxyz`{@[ABCXYZ\xE9"}});
  auto selects = [&](const std::string& formula) {
    vp::MemHandle compiled = 0;
    EXPECT_EQ(
        store_.CompileFormula(nullptr, 0, formula.c_str(), static_cast<uint16_t>(formula.size()),
                              &compiled, nullptr, nullptr),
        0);
    int matched = 0;
    auto count = [](void* ctx, const vp::SearchMatch& m) -> vp::NotesStatus {
      if (m.flags & vp::kSearchMatch) ++*static_cast<int*>(ctx);
      return 0;
    };
    EXPECT_EQ(store_.Search(db, compiled, 0, vp::kNoteClassDocument, count, &matched), 0);
    store_.Free(compiled);
    return matched == 1;
  };
  EXPECT_TRUE(selects("@Uppercase(ListName) = \"ABCDEFGHIJKLMNOPQRSTUVWXYZ`{@[ABCXYZ\xE9\""));
  EXPECT_TRUE(selects("@Lowercase(ListName) = \"abcdefghijklmnopqrstuvwxyz`{@[abcxyz\xE9\""));
}

TEST_F(NotesStoreTest, DeepFormulasAreRefusedInsteadOfOverflowingTheStack) {
  auto repeat = [](const std::string& text, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += text;
    return out;
  };
  struct Case {
    std::string formula;
    uint16_t status;
  };
  const Case cases[] = {
      {repeat("(", 30000) + "a = b" + repeat(")", 30000), notesemu::kErrFormulaTooDeep},
      {repeat("@Uppercase(", 5000) + "a" + repeat(")", 5000) + " = b",
       notesemu::kErrFormulaTooDeep},
      {repeat("a = b & ", 5000) + "a = b", notesemu::kErrFormulaTooDeep},
      {repeat("(", 150) + "a = b" + repeat(")", 150) + repeat(" | a = b", 150), 0},
  };
  for (const Case& c : cases) {
    vp::MemHandle formula = 0;
    vp::FormulaError error;
    EXPECT_EQ(
        store_.CompileFormula(nullptr, 0, c.formula.c_str(),
                              static_cast<uint16_t>(c.formula.size()), &formula, nullptr, &error),
        c.status)
        << c.formula.substr(0, 40);
    if (formula) store_.Free(formula);
  }
}

TEST_F(NotesStoreTest, NamesAreAbbreviatedAndResolvedThroughTheLocalDirectory) {
  const std::pair<const char*, const char*> names[] = {
      {"CN=Bob Example/OU=Sales/O=Acme", "Bob Example/Sales/Acme"},
      {"cn=Ann/o=Acme/c=DE", "Ann/Acme/DE"},
      {"Bob Example/Acme", "Bob Example/Acme"},
      {"Sales", "Sales"},
      {"CN=x=y/O=Z", "x=y/Z"},
      {"c=smith@example.com", "c=smith@example.com"},
      {"O=Acme/CN=Bob", "O=Acme/CN=Bob"},
  };
  for (const auto& [in, out] : names) {
    char buffer[256];
    uint16_t length = 0;
    EXPECT_EQ(store_.AbbreviateName(0, nullptr, in, buffer, sizeof buffer, &length), 0);
    EXPECT_STREQ(buffer, out);
    EXPECT_EQ(length, std::strlen(out));
  }
  char tiny[4];
  EXPECT_EQ(store_.AbbreviateName(0, nullptr, "CN=Long/O=Name", tiny, sizeof tiny, nullptr),
            notesemu::kErrNameTooLong);

  AddPeople({{"CN=Bob Example/O=Acme", "bob", "bob@example.com"}});
  AddGroup("Sales", {"CN=Bob Example/O=Acme"});
  vp::MemHandle typed = 0;
  uint16_t size = 0;
  ASSERT_EQ(store_.ListAllocate(0, 0, true, &typed, nullptr, &size), 0);
  ASSERT_EQ(store_.Unlock(typed), 0);
  const char* entered[] = {"BOB", "Bob@Example.com", "bob example/acme", "Sales", "nobody"};
  for (uint16_t i = 0; i < 5; ++i) {
    ASSERT_EQ(store_.ListAddEntry(typed, true, &size, i, entered[i],
                                  static_cast<uint16_t>(std::strlen(entered[i]))),
              0);
  }
  vp::MemHandle resolved = 0;
  ASSERT_EQ(store_.ResolveEnteredNames(typed, size, &resolved, nullptr, 1, 0), 0);
  EXPECT_EQ(store_.Lock(typed, nullptr), notesemu::kErrInvalidHandle);  // taken over
  void* list = nullptr;
  ASSERT_EQ(store_.Lock(resolved, &list), 0);
  std::vector<std::string> out;
  uint16_t count = 0;
  ASSERT_EQ(store_.ListEntryCount(list, true, &count), 0);
  for (uint16_t i = 0; i < count; ++i) {
    const char* text = nullptr;
    uint16_t length = 0;
    ASSERT_EQ(store_.ListGetText(list, true, i, &text, &length), 0);
    out.emplace_back(text, length);
  }
  EXPECT_EQ(out, (std::vector<std::string>{"CN=Bob Example/O=Acme", "CN=Bob Example/O=Acme",
                                           "CN=Bob Example/O=Acme", "Sales", "nobody"}));
  store_.Free(resolved);
  EXPECT_EQ(store_.HandlesInUse(), 0u);
}

TEST_F(NotesStoreTest, ListHandlesMustBeUnlockedToGrowAndLockedToRead) {
  vp::MemHandle h = 0;
  void* list = nullptr;
  uint16_t size = 0;
  ASSERT_EQ(store_.ListAllocate(0, 0, true, &h, &list, &size), 0);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(store_.ListAddEntry(h, true, &size, 0, "a", 1), notesemu::kErrHandleLocked);
  ASSERT_EQ(store_.Unlock(h), 0);
  uint16_t count = 0;
  EXPECT_EQ(store_.ListEntryCount(list, true, &count), notesemu::kErrNotLocked);
  ASSERT_EQ(store_.ListAddEntry(h, true, &size, 0, "second", 6), 0);
  ASSERT_EQ(store_.ListAddEntry(h, true, &size, 0, "first", 5), 0);
  EXPECT_EQ(store_.ListAddEntry(h, true, &size, 3, "x", 1), notesemu::kErrListIndex);
  ASSERT_EQ(store_.Lock(h, &list), 0);
  const char* text = nullptr;
  uint16_t length = 0;
  ASSERT_EQ(store_.ListGetText(list, true, 1, &text, &length), 0);
  EXPECT_EQ(std::string(text, length), "second");
  EXPECT_EQ(size, 4 + 4 + 11);
  EXPECT_EQ(store_.ListGetText(list, true, 2, &text, &length), notesemu::kErrListIndex);
  ASSERT_EQ(store_.Unlock(h), 0);
  std::string big(40000, 'b');
  ASSERT_EQ(store_.ListAddEntry(h, true, &size, 0, big.data(), 40000), 0);
  EXPECT_EQ(store_.ListAddEntry(h, true, &size, 0, big.data(), 40000), notesemu::kErrListFull);
  EXPECT_EQ(store_.Free(h), 0);
  EXPECT_EQ(store_.Free(h), notesemu::kErrInvalidHandle);
}

TEST_F(NotesStoreTest, AFailedWriteLeavesTheDatabaseUnchanged) {
  vp::DbHandle db = NewDatabase("atomic.nsf");
  vp::NoteId id = SaveNote(db, vp::kNoteClassDocument, {{"A", "1"}, {"B", "2"}, {"C", "3"}});
  vp::NoteHandle note = 0;
  ASSERT_EQ(store_.OpenNote(db, id, 0, &note), 0);
  ASSERT_EQ(store_.DeleteItem(note, "B"), 0);
  ASSERT_EQ(store_.SetTextItem(note, "A", "changed", 0xFFFF), 0);
  vp::SetFaults("notes.write-item@2");  // the second item written fails
  EXPECT_EQ(store_.UpdateNote(note, 0), notesemu::kErrIo);
  vp::SetFaults("");
  store_.CloseNote(note);

  std::string dump;
  ASSERT_EQ(notesemu::DumpDatabase(data_ + "/atomic.nsf", &dump), "");
  EXPECT_NE(dump.find("A [flags 0x0000] text: \"1\"\n  B [flags 0x0000] text: \"2\"\n  C"),
            std::string::npos)
      << dump;

  // A copy that fails half-way leaves no file behind; one that succeeds holds every note.
  vp::DbHandle copy = 0;
  std::string source = data_ + "/atomic.nsf", target = data_ + "/copy.nsf";
  vp::SetFaults("notes.write-item@3");
  EXPECT_EQ(
      store_.CreateDatabaseCopy(source.c_str(), target.c_str(), vp::kNoteClassAll, 0, 0, &copy),
      notesemu::kErrIo);
  vp::SetFaults("");
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_FALSE(std::filesystem::exists(target + ".vpnew"));
  ASSERT_EQ(
      store_.CreateDatabaseCopy(source.c_str(), target.c_str(), vp::kNoteClassAll, 0, 0, &copy), 0);
  std::string copied;
  ASSERT_EQ(notesemu::DumpDatabase(target, &copied), "");
  EXPECT_EQ(copied.substr(copied.find("note ")), dump.substr(dump.find("note ")));
  EXPECT_EQ(
      store_.CreateDatabaseCopy(source.c_str(), target.c_str(), vp::kNoteClassAll, 0, 0, &copy),
      notesemu::kErrFileExists);
}

TEST_F(NotesStoreTest, RichTextRecordsAndTheHotspotStructure) {
  vp::DbHandle db = NewDatabase("rich.nsf");
  const uint8_t body[] = {0x81, 0x02,                                // one-byte length
                          0x82, 0xFF, 0x06, 0x00, 0xAA, 0xBB,        // word length
                          0x83, 0x04, 0x01, 0x00,                    //
                          0xC0, 0x00, 0x07, 0x00, 0x00, 0x00, 0x11,  // long length, odd
                          0x00};                                     // its padding
  vp::NoteHandle note = 0;
  ASSERT_EQ(store_.CreateNote(db, vp::kNoteClassForm, &note), 0);
  ASSERT_EQ(store_.AppendItem(note, vp::kItemSign, "$Body", vp::kTypeComposite, body, sizeof body),
            0);
  ASSERT_EQ(store_.AppendItem(note, 0, "$Body", vp::kTypeComposite, body, 5), 0);  // cut record
  vp::BlockId item, value;
  uint32_t length = 0;
  ASSERT_EQ(store_.ItemInfo(note, "$Body", &item, nullptr, &value, &length), 0);
  std::vector<std::pair<uint16_t, uint32_t>> seen;
  auto record = [](const uint8_t*, uint16_t sig, uint32_t len, void* ctx) -> vp::NotesStatus {
    static_cast<std::vector<std::pair<uint16_t, uint32_t>>*>(ctx)->emplace_back(sig, len);
    return 0;
  };
  ASSERT_EQ(store_.EnumerateRecords(value, length, record, &seen), 0);
  EXPECT_EQ(seen, (std::vector<std::pair<uint16_t, uint32_t>>{
                      {0x0081, 2}, {0xFF82, 6}, {0x0083, 4}, {0x00C0, 7}}));
  ASSERT_EQ(store_.ItemInfoNext(note, item, "$Body", &item, nullptr, &value, &length), 0);
  EXPECT_EQ(store_.EnumerateRecords(value, length, record, &seen), notesemu::kErrRichText);

  uint16_t size = 0;
  ASSERT_EQ(store_.StructureSize(vp::kCdHotspotBeginType, &size), 0);
  EXPECT_EQ(size, 12);
  uint8_t out[14] = {};
  uint8_t* at = out;
  vp::CdHotspotBegin hotspot{0xFFAD, 28, 14, 0x30010009, 16};
  ASSERT_EQ(store_.WriteStructure(&at, out + sizeof out, vp::kCdHotspotBeginType, &hotspot, 1), 0);
  EXPECT_EQ(at, out + 12);
  const uint8_t canonical[] = {0xAD, 0xFF, 28, 0, 14, 0, 0x09, 0x00, 0x01, 0x30, 16, 0};
  EXPECT_EQ(std::memcmp(out, canonical, sizeof canonical), 0);
  EXPECT_EQ(store_.WriteStructure(&at, out + sizeof out, vp::kCdHotspotBeginType, &hotspot, 1),
            notesemu::kErrStructureRoom);
  EXPECT_EQ(at, out + 12);
  EXPECT_EQ(store_.StructureSize(229, &size), notesemu::kErrStructureType);
}

TEST_F(NotesStoreTest, ServersMapToFoldersAndDesignNotesAreFoundAndRefreshed) {
  EXPECT_EQ(notesemu::ServerKey("CN=Mail1/O=Acme"), "mail1%2Facme");
  EXPECT_EQ(notesemu::ServerKey("../x"), "%2E%2E%2Fx");
  char path[vp::kNotesPathSize];
  ASSERT_EQ(store_.BuildNetPath(nullptr, "CN=Mail1/O=Acme", "names.nsf", path), 0);
  EXPECT_STREQ(path, "CN=Mail1/O=Acme!!names.nsf");
  EXPECT_EQ(notesemu::FileForNetPath(path), data_ + "/servers/mail1%2Facme/names.nsf");
  EXPECT_EQ(notesemu::FileForNetPath("mail.nsf"), data_ + "/mail.nsf");
  std::string longName(300, 's');
  EXPECT_EQ(store_.BuildNetPath(nullptr, longName.c_str(), "names.nsf", path),
            notesemu::kErrPathTooLong);
  EXPECT_STREQ(path, "");

  vp::DbHandle tpl = NewDatabase("tpl.ntf", "PGP Mail\n\nPGPR85Mail\n");
  SaveNote(tpl, vp::kNoteClassForm, {{"$TITLE", "Memo|Memo"}, {"$Body", "new design"}});
  vp::DbHandle mail = NewDatabase("mail.nsf", "Mine\n\n\nPGPR85Mail");
  SaveNote(mail, vp::kNoteClassForm, {{"$TITLE", "Memo"}, {"$Body", "old design"}});
  SaveNote(mail, vp::kNoteClassDocument, {{"Subject", "kept"}});

  vp::NoteId form = 0;
  EXPECT_EQ(store_.FindDesignNote(mail, "memo", vp::kNoteClassForm, &form), 0);
  EXPECT_NE(form, 0u);
  EXPECT_EQ(store_.FindDesignNote(mail, "Subject", vp::kNoteClassAll, &form),
            notesemu::kErrDesignNotFound);

  vp::DesignRefreshEntry refresh;
  EXPECT_EQ(store_.LoadApiLibrary("nnotes.dll"), 0);
  EXPECT_EQ(store_.LoadApiLibrary("other.dll"), notesemu::kErrLibraryNotFound);
  EXPECT_EQ(store_.FindDesignRefresh("DesignRefreshX", &refresh), notesemu::kErrEntryNotFound);
  ASSERT_EQ(store_.FindDesignRefresh("DesignRefresh", &refresh), 0);
  ASSERT_EQ(refresh("", mail, 0, nullptr, nullptr), 0);
  std::string dump;
  ASSERT_EQ(notesemu::DumpDatabase(data_ + "/mail.nsf", &dump), "");
  EXPECT_NE(dump.find("new design"), std::string::npos);
  EXPECT_EQ(dump.find("old design"), std::string::npos);
  EXPECT_NE(dump.find("kept"), std::string::npos);
  vp::DbHandle orphan = NewDatabase("orphan.nsf", "x\n\n\nNoSuchTemplate");
  EXPECT_EQ(refresh("", orphan, 0, nullptr, nullptr), notesemu::kErrTemplateNotFound);
}

// Entry number `count` is one past the last: reading it is an index error, never a stray read.
TEST_F(NotesStoreTest, TextListEntryPastTheLastIsAnIndexError) {
  vp::DbHandle db = NewDatabase("entries.nsf");
  vp::NoteHandle note = 0;
  ASSERT_EQ(store_.CreateNote(db, vp::kNoteClassDocument, &note), 0);
  auto list = notesemu::BuildTextList({"Red", "Green"}, false);
  ASSERT_EQ(store_.AppendItem(note, 0, "Colours", vp::kTypeTextList, list.data(),
                              static_cast<uint32_t>(list.size())),
            0);
  ASSERT_EQ(store_.SetTextItem(note, "Single", "only", 0xFFFF), 0);
  uint16_t count = 0;
  ASSERT_EQ(store_.ItemTextListCount(note, "Colours", &count), 0);
  ASSERT_EQ(count, 2);
  char text[32] = "untouched";
  uint16_t length = 7;
  EXPECT_EQ(store_.ItemTextListEntry(note, "Colours", 1, text, sizeof text, &length), 0);
  EXPECT_STREQ(text, "Green");
  EXPECT_EQ(store_.ItemTextListEntry(note, "Colours", count, text, sizeof text, &length),
            notesemu::kErrListIndex);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(store_.ItemTextListEntry(note, "Single", 1, text, sizeof text, &length),
            notesemu::kErrListIndex);
  store_.CloseNote(note);
  store_.CloseDatabase(db);
}

}  // namespace
}  // namespace vptest
