// The plug-in's mail template, design replacement and subform script, on real store files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "hooklib/notesdb/design_replace.h"
#include "hooklib/notesdb/mail_template.h"
#include "notesemu/db_info.h"
#include "notesemu/design_tools.h"
#include "notesemu/notes_store.h"
#include "notesemu/rich_text.h"
#include "support/notes_fixture.h"
#include "support/test_env.h"

namespace vptest {
namespace {

using Bytes = std::vector<uint8_t>;

// The subform block, as the installed template must hold it, byte for byte.
Bytes SubformBlock() {
  Bytes run = {0xDD, 0x06, 0x00, 0x00, 0x85, 0xFF, 0x85, 0xFF, 0x08, 0x00, 0x01, 0x00, 0x0E, 0x09,
               0xD2, 0x08, 0x01, 0x00, 0x80, 0x80, 0x80, 0x00, 0xDE, 0x06, 0x00, 0x00, 0x85, 0xFF};
  Bytes block = run;
  block.insert(block.end(),
               {0xDD, 0x06, 0x00, 0x00, 0xAD, 0xFF,  // hotspot: 12 + 16 bytes
                0xAD, 0xFF, 0x1C, 0x00, 0x0E, 0x00, 0x09, 0x00, 0x01, 0x30, 0x10, 0x00});
  for (char c : std::string("Veilpost Plugin")) block.push_back(static_cast<uint8_t>(c));
  block.insert(block.end(), {0x00, 0xAE, 0x02, 0xDE, 0x06, 0x00, 0x00, 0xAE, 0x00});
  block.insert(block.end(), run.begin(), run.end());
  block.insert(block.end(), {0x81, 0x02, 0x83, 0x04, 0x01, 0x00});
  return block;
}

// `body` with the block inserted after its first `at` bytes.
Bytes WithBlock(const Bytes& body, size_t at) {
  Bytes out(body.begin(), body.begin() + static_cast<long>(at));
  Bytes block = SubformBlock();
  out.insert(out.end(), block.begin(), block.end());
  out.insert(out.end(), body.begin() + static_cast<long>(at), body.end());
  return out;
}

constexpr size_t kOpening = 2 + 16 + 4;  // paragraph, style definition, style reference

class NotesDesign : public NotesFixture {
 protected:
  void SetUp() override {
    NotesFixture::SetUp();
    std_ = data_ + "/mail9.ntf";
    sub_ = data_ + "/plugin.nsf";
    new_ = data_ + "/pgpmail.ntf";
    ASSERT_EQ(notesemu::CreateMailTemplate(std_), "");
    ASSERT_EQ(notesemu::CreateSubformDatabase(sub_, Script()), "");
  }
  void TearDown() override {
    unsetenv("VEILPOST_NOTES_API_LIBRARY");
    NotesFixture::TearDown();
  }
  static std::string Script() {
    return ReadFile(std::string(VP_SOURCE_DIR) + "/notes/veilpost-plugin.lss");
  }
  int Create() { return vp::CreateVeilpostTemplateImpl(sub_.c_str(), std_.c_str(), new_.c_str()); }

  // Opens `form` of database `path` in a store of its own and runs `body` on the note.
  template <typename F>
  void WithForm(const std::string& path, const char* form, F&& body) {
    notesemu::NotesStore store;
    vp::DbHandle db = 0;
    vp::NoteId id = 0;
    vp::NoteHandle note = 0;
    ASSERT_EQ(store.OpenDatabase(path.c_str(), &db), 0);
    ASSERT_EQ(store.FindDesignNote(db, form, vp::kNoteClassForm, &id), 0) << form;
    ASSERT_EQ(store.OpenNote(db, id, 0, &note), 0);
    body(store, note);
    store.CloseNote(note);
    store.CloseDatabase(db);
  }
  // The values of every "$Body" item of a form, without their type words.
  std::vector<Bytes> Bodies(const std::string& path, const char* form) {
    std::vector<Bytes> out;
    WithForm(path, form, [&](notesemu::NotesStore& store, vp::NoteHandle note) {
      vp::BlockId item, value;
      uint32_t length = 0;
      const uint8_t* data = nullptr;
      vp::NotesStatus s = store.ItemInfo(note, "$Body", &item, nullptr, &value, &length);
      for (; s == 0; s = store.ItemInfoNext(note, item, "$Body", &item, nullptr, &value, &length)) {
        ASSERT_EQ(store.LockBlock(value, &data), 0);
        out.emplace_back(data + 2, data + length);
      }
    });
    return out;
  }
  void SetBodies(const std::string& path, const char* form, const std::vector<Bytes>& bodies) {
    WithForm(path, form, [&](notesemu::NotesStore& store, vp::NoteHandle note) {
      ASSERT_EQ(store.DeleteItem(note, "$Body"), 0);
      for (const Bytes& b : bodies) {
        ASSERT_EQ(store.AppendItem(note, vp::kItemSign, "$Body", vp::kTypeComposite, b.data(),
                                   static_cast<uint32_t>(b.size())),
                  0);
      }
      ASSERT_EQ(store.UpdateNote(note, 0), 0);
    });
  }
  std::string Info(const std::string& path) {
    notesemu::NotesStore store;
    vp::DbHandle db = 0;
    char info[vp::kDbInfoSize] = {};
    EXPECT_EQ(store.OpenDatabase(path.c_str(), &db), 0);
    EXPECT_EQ(store.GetDatabaseInfo(db, info), 0);
    store.CloseDatabase(db);
    return info;
  }
  std::string Dump(const std::string& path) {
    std::string dump;
    EXPECT_EQ(notesemu::DumpDatabase(path, &dump), "");
    return dump.substr(dump.find('\n'));
  }
  std::string std_, sub_, new_;
};

TEST_F(NotesDesign, TheTemplateIsARenamedCopyWithTheBlockOnceInEachBodyItem) {
  std::vector<Bytes> memo = Bodies(std_, "Memo");
  std::vector<Bytes> reply = Bodies(std_, "Reply");
  std::vector<Bytes> history = Bodies(std_, "Reply With History");
  std::string before = Dump(std_);
  ASSERT_EQ(memo.size(), 2u);

  ASSERT_EQ(Create(), 0) << testing::PrintToString(Messages());
  EXPECT_TRUE(Messages().empty());
  std::string info = Info(new_);
  EXPECT_EQ(info, "PGP Mail (R9)\n\nPGPR9Mail");
  std::string dump = Dump(new_);
  EXPECT_NE(dump.find("$TITLE [flags 0x0004] text: \"PGP Mail (R9)\\x0A\\x0APGPR9Mail\""),
            std::string::npos);
  EXPECT_NE(dump.find("Form [flags 0x0004] text: \"CalendarProfile\""), std::string::npos);
  EXPECT_EQ(Dump(std_), before);  // the standard template is only read

  // Each item of the split body gets the block once, after its opening; order kept.
  EXPECT_EQ(Bodies(new_, "Memo"),
            (std::vector<Bytes>{WithBlock(memo[0], kOpening), WithBlock(memo[1], kOpening)}));
  // Reply opens in style 2: the block follows its second, style-1 opening.
  EXPECT_EQ(Bodies(new_, "Reply"), (std::vector<Bytes>{WithBlock(reply[0], 2 * kOpening + 20)}));
  EXPECT_EQ(Bodies(new_, "Reply With History"),
            (std::vector<Bytes>{WithBlock(history[0], kOpening)}));

  // The subform came along with its script.
  WithForm(new_, "Veilpost Plugin", [&](notesemu::NotesStore& store, vp::NoteHandle note) {
    char script[64] = {};
    uint16_t length = 0;
    store.ItemTextListEntry(note, notesemu::kFormScriptItem, 0, script, sizeof script, &length);
    EXPECT_EQ(std::string(script), Script().substr(0, 63));
  });
}

TEST_F(NotesDesign, OnlyAnUnbrokenSequenceEndingInStyleOneTakesTheBlock) {
  notesemu::RecordBuilder none, otherStyle, twice;
  none.Text(0x090A0001, "odd").Paragraph().StyleReference(1).Paragraph().StyleDefinition(1);
  // The paragraph after a reference to style 2 is swallowed, so the next reference to style 1
  // does not complete a sequence.
  otherStyle.Paragraph().StyleDefinition(2).StyleReference(2);
  otherStyle.Paragraph().StyleDefinition(1).StyleReference(1).Text(0x090A0001, "x");
  twice.Paragraph().StyleDefinition(1).StyleReference(1).Text(0x090A0001, "a");
  twice.Paragraph().StyleDefinition(1).StyleReference(1);
  SetBodies(std_, "Memo", {none.Bytes(), otherStyle.Bytes(), twice.Bytes()});

  ASSERT_EQ(Create(), 0);
  EXPECT_EQ(Bodies(new_, "Memo"), (std::vector<Bytes>{none.Bytes(), otherStyle.Bytes(),
                                                      WithBlock(twice.Bytes(), kOpening)}));
}

TEST_F(NotesDesign, AMissingFormStopsTheRestAndLeavesTheTemplateAsFarAsItGot) {
  WithForm(std_, "Reply", [](notesemu::NotesStore& store, vp::NoteHandle note) {
    ASSERT_EQ(store.SetTextItem(note, "$TITLE", "Answer", 0xFFFF), 0);
    ASSERT_EQ(store.UpdateNote(note, 0), 0);
  });
  std::vector<Bytes> history = Bodies(std_, "Reply With History");
  ASSERT_EQ(Create(), -1);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], "Notes error: " + StatusText(notesemu::kErrDesignNotFound) +
                               "\nWhile changing the form 'Reply'.");
  EXPECT_EQ(Bodies(new_, "Memo").size(), 2u);
  EXPECT_NE(Bodies(new_, "Memo")[0].size(), Bodies(std_, "Memo")[0].size());
  EXPECT_EQ(Bodies(new_, "Reply With History"), history);
}

TEST_F(NotesDesign, NamesTitlesAndBodiesThatDoNotFitAreRefused) {
  struct Case {
    std::string info, message;
  } cases[] = {
      {"Mail (R9)\n\nstdR9Mail", "Mail template name does not begin with 'StdR'!"},
      {"Mail(R9)\n\nStdR9Mail", "Mail template title does not begin with 'Mail ('!"},
  };
  notesemu::NotesStore store;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.info);
    std::filesystem::remove(new_);
    ui_->messages.clear();
    std::string other = data_ + "/other.ntf";
    std::filesystem::remove(other);
    ASSERT_EQ(store.CreateDatabase(other, c.info), 0);
    EXPECT_EQ(vp::CreateVeilpostTemplateImpl(sub_.c_str(), other.c_str(), new_.c_str()), -1);
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(Info(new_), c.info);  // created, not renamed, not deleted
  }

  // A body that would outgrow the rewrite buffer: the form is not saved.
  std::filesystem::remove(new_);
  ui_->messages.clear();
  notesemu::RecordBuilder big;
  big.Paragraph().StyleDefinition(1).StyleReference(1).Text(0x090A0001, std::string(65300, 'x'));
  SetBodies(std_, "Memo", {big.Bytes()});
  EXPECT_EQ(Create(), -1);
  EXPECT_EQ(Messages(), std::vector<std::string>{
                            "The body of the form 'Memo' is too large to take the subform."});
  EXPECT_EQ(Bodies(new_, "Memo"), std::vector<Bytes>{big.Bytes()});
}

TEST_F(NotesDesign, ADatabaseTakesTheTemplateDesignAndKeepsItsOtherInfo) {
  ASSERT_EQ(Create(), 0);
  std::string mail = data_ + "/mail.nsf";
  notesemu::NotesStore store;
  ASSERT_EQ(store.CreateDatabase(mail, "My Mail\nPersonal\nMyTpl\nStdR9Mail"), 0);
  ASSERT_EQ(vp::ReplaceDatabaseDesignImpl(new_.c_str(), mail.c_str()), 0) << Messages()[0];
  EXPECT_EQ(Info(mail), "My Mail\nPersonal\nMyTpl\nPGPR9Mail");
  std::string dump = Dump(mail);
  EXPECT_NE(dump.find("$TITLE [flags 0x0004] text: \"My Mail\\x0APersonal\\x0AMyTpl\\x0APGPR9Mail"),
            std::string::npos);
  EXPECT_EQ(Bodies(mail, "Memo"), Bodies(new_, "Memo"));
  EXPECT_EQ(Bodies(mail, "Veilpost Plugin"), Bodies(new_, "Veilpost Plugin"));
  EXPECT_EQ(dump.find("CalendarProfile"), std::string::npos);  // documents are no design
}

TEST_F(NotesDesign, WithoutTheRefreshFunctionTheInheritanceIsStillChanged) {
  std::string mail = data_ + "/mail.nsf";
  notesemu::NotesStore store;
  ASSERT_EQ(store.CreateDatabase(mail, "Mine\n\n\nOld"), 0);
  const std::pair<const char*, const char*> cases[] = {
      {"/nonexistent/libnnotes.so", "Unable to load NNOTES.DLL"},
      {"libm.so.6", "Missing DLL function 'DesignRefresh'"}};
  for (const auto& [library, message] : cases) {
    setenv("VEILPOST_NOTES_API_LIBRARY", library, 1);
    vp::SetNotes(nullptr);
    ui_->messages.clear();
    EXPECT_EQ(vp::ReplaceDatabaseDesignImpl(std_.c_str(), mail.c_str()), -1);
    EXPECT_EQ(Messages(), std::vector<std::string>{message});
    EXPECT_EQ(Info(mail), "Mine\n\n\nStdR9Mail");
    EXPECT_EQ(Dump(mail).find("Memo"), std::string::npos);
  }
}

// Every export of the built library that the script may call is declared in the subform's
// script under its exact name with the C function's number of arguments.
TEST(PluginScript, DeclaresEveryExportWithItsArguments) {
  std::string out;
  ASSERT_EQ(RunCommand("nm -D --defined-only " + std::string(VP_LIB_DIR) +
                           "/liborlavex.so | awk '{print $3}'",
                       &out),
            0);
  std::map<std::string, int> cArgs;  // from the export sources
  std::regex cExport(R"(VP_EXPORT [^(]*\b(\w+)\(([^)]*)\))");
  for (const auto& f :
       std::filesystem::directory_iterator(std::string(VP_SOURCE_DIR) + "/hooklib")) {
    if (f.path().filename().string().rfind("exports", 0) != 0) continue;
    std::string text = ReadFile(f.path().string());
    for (std::sregex_iterator m(text.begin(), text.end(), cExport), end; m != end; ++m) {
      std::string args = (*m)[2];
      cArgs[(*m)[1]] =
          args.empty() ? 0 : 1 + static_cast<int>(std::count(args.begin(), args.end(), ','));
    }
  }
  std::map<std::string, int> declared;
  std::string script = ReadFile(std::string(VP_SOURCE_DIR) + "/notes/veilpost-plugin.lss");
  std::regex declare(R"re(Declare Function (\w+) Lib "orlavex" Alias "(\w+)" \(([^)]*)\) As)re");
  for (std::sregex_iterator m(script.begin(), script.end(), declare), end; m != end; ++m) {
    EXPECT_EQ((*m)[1], (*m)[2]);
    std::string args = (*m)[3];
    declared[(*m)[2]] =
        args.empty() ? 0 : 1 + static_cast<int>(std::count(args.begin(), args.end(), ','));
  }
  std::istringstream names(out);
  std::string name;
  int exports = 0;
  while (names >> name) {
    if (name == "VeilpostSharedSettings") continue;  // the control program's, not the script's
    ++exports;
    ASSERT_TRUE(cArgs.count(name)) << name;
    EXPECT_TRUE(declared.count(name)) << name << " is not declared";
    EXPECT_EQ(declared[name], cArgs[name]) << name;
  }
  EXPECT_EQ(exports, 15);
  EXPECT_EQ(declared.size(), 15u);
}

}  // namespace
}  // namespace vptest
