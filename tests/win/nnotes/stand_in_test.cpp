// The Win32 Notes port and orlavex.dll over the stand-in nnotes.dll, on a store that the Linux
// `veilpost notes` commands made (tests/win/run-nnotes.sh): names resolved through the local
// directory, the design services, and what a user reads when no nnotes.dll is found.
//
// The program runs from a folder holding nnotes.dll beside it; VEILPOST_NOTES_DATA names the
// store's folder (a Windows path).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hooklib/core/recipient_table.h"
#include "hooklib/export.h"
#include "hooklib/outgoing/recipients.h"
#include "platform/notes_api.h"
#include "platform/process.h"
#include "tests/win/win_test.h"

namespace {

std::string DataFolder() {
  const char* data = std::getenv("VEILPOST_NOTES_DATA");
  return data ? data : "";
}

// What the system showed the user, in this process and the library it loads: every message
// box is answered by its default through an empty answer script and written to the transcript.
std::string Transcript() {
  return wintest::TempFolder() + "\\vp-nnotes-ui-" + std::to_string(GetCurrentProcessId()) + ".log";
}

void UseScriptedInterface() {
  static bool done = [] {
    std::string answers = wintest::TempFolder() + "\\vp-nnotes-answers.txt";
    if (FILE* f = std::fopen(answers.c_str(), "wb")) std::fclose(f);
    DeleteFileA(Transcript().c_str());
    _putenv(("VEILPOST_UI=script:" + answers).c_str());
    _putenv(("VEILPOST_UI_LOG=" + Transcript()).c_str());
    return true;
  }();
  (void)done;
}

HMODULE Orlavex() {
  UseScriptedInterface();
  static HMODULE lib = LoadLibraryA("orlavex.dll");
  return lib;
}

template <typename F>
F* Export(const char* name) {
  FARPROC p = Orlavex() ? GetProcAddress(Orlavex(), name) : nullptr;
  if (!p) wintest::Fail(__FILE__, __LINE__, std::string("no export ") + name);
  return reinterpret_cast<F*>(reinterpret_cast<void*>(p));
}

// Resolves through the port (the same code orlavex.dll holds) and returns the table.
std::vector<std::string> Resolve(const char* recipients, int* result) {
  UseScriptedInterface();
  *result = vp::ResolveRecipients("", recipients);
  std::vector<std::string> names;
  const vp::RecipientTable& table = vp::Recipients();
  for (int i = 0; *result == 0 && i < table.count; ++i) names.push_back(table.entries[i]);
  return names;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& n : names) text += (text.empty() ? "" : "|") + n;
  return text;
}

// The info field `field` of the database at `path`, read through the port.
std::string InfoField(const char* path, uint16_t field) {
  vp::NotesApi& notes = vp::Notes();
  vp::DbHandle db = 0;
  char info[vp::kDbInfoSize] = {};
  char value[vp::kDbInfoSize] = {};
  if (notes.OpenDatabase(path, &db) || notes.GetDatabaseInfo(db, info)) return "<unreadable>";
  notes.ParseDatabaseInfo(info, field, value, sizeof value);
  notes.CloseDatabase(db);
  return value;
}

bool HasDesignNote(const char* path, const char* name, uint16_t classMask) {
  vp::NotesApi& notes = vp::Notes();
  vp::DbHandle db = 0;
  vp::NoteId id = 0;
  if (notes.OpenDatabase(path, &db)) return false;
  bool found = notes.FindDesignNote(db, name, classMask, &id) == 0 && id != 0;
  notes.CloseDatabase(db);
  return found;
}

// A group "Long" whose one member is 300 characters long, as only a directory written
// elsewhere holds (the tools refuse such names): a copy of the group "Edge" with its name and
// members replaced, written through the port.
bool AddLongGroup() {
  vp::NotesApi& notes = vp::Notes();
  vp::DbHandle db = 0;
  vp::NoteId edge = 0;
  vp::NoteHandle note = 0, copy = 0;
  std::string member = "CN=" + std::string(290, 'z') + "/O=Acme";
  std::string members;
  members += static_cast<char>(1);
  members += '\0';
  members += static_cast<char>(member.size() & 0xFF);
  members += static_cast<char>(member.size() >> 8);
  members += member;
  bool ok = notes.OpenDatabase("names.nsf", &db) == 0 &&
            vp::FindGroupDocument(db, "Edge", &edge) == 0 && edge != 0 &&
            notes.OpenNote(db, edge, 0, &note) == 0 && notes.CopyNote(note, &copy) == 0 &&
            notes.SetTextItem(copy, "ListName", "Long", 0xFFFF) == 0 &&
            notes.DeleteItem(copy, "Members") == 0 &&
            notes.AppendItem(copy, vp::kItemSummary | vp::kItemNames, "Members", vp::kTypeTextList,
                             members.data(), static_cast<uint32_t>(members.size())) == 0 &&
            notes.UpdateNote(copy, 0) == 0;
  if (copy) notes.CloseNote(copy);
  if (note) notes.CloseNote(note);
  if (db) notes.CloseDatabase(db);
  return ok;
}

// The value of the item `name` of group document `group`, read as the system reads values:
// through its value block.
std::string GroupItemValue(const char* group, const char* name) {
  vp::NotesApi& notes = vp::Notes();
  vp::DbHandle db = 0;
  vp::NoteId id = 0;
  vp::NoteHandle note = 0;
  vp::BlockId item, value;
  uint16_t type = 0;
  uint32_t length = 0;
  const uint8_t* data = nullptr;
  std::string bytes = "<unreadable>";
  if (notes.OpenDatabase("names.nsf", &db) == 0 && vp::FindGroupDocument(db, group, &id) == 0 &&
      id != 0 && notes.OpenNote(db, id, 0, &note) == 0 &&
      notes.ItemInfo(note, name, &item, &type, &value, &length) == 0 &&
      notes.LockBlock(value, &data) == 0 && data)
    bytes.assign(reinterpret_cast<const char*>(data), length);
  if (note) notes.CloseNote(note);
  if (db) notes.CloseDatabase(db);
  return bytes;
}

const char kNoLibrary[] =
    "Notes error: The Notes client's API library nnotes.dll could not be loaded: no Notes client "
    "is installed, or it is not on the search path.";

}  // namespace

WIN_TEST(StandInResolvesPeopleGroupsNestedGroupsAndQuotedNames) {
  int rc = -2;
  // A short name, a group with a nested group, a group whose name holds quotes (it reaches the
  // lookup formula escaped), and a name nobody has, which passes as typed.
  std::vector<std::string> table = Resolve("bob;Quote \"Team\";Sales;nobody", &rc);
  EXPECT(rc == 0);
  EXPECT_TEXT(Joined(table),
              "Bob Example/Acme|Carl Cole/Acme|Dana \"Dee\" O'Neil/Acme|Eve Hill/Acme|nobody");
  // The person with quotes in the name, by short name and by mail address; a person's name
  // typed in another case.
  table = Resolve("dana;BOB@EXAMPLE.COM;dana \"dee\" o'neil/acme", &rc);
  EXPECT(rc == 0);
  EXPECT_TEXT(Joined(table), "Bob Example/Acme|Dana \"Dee\" O'Neil/Acme");
  EXPECT_TEXT(wintest::ReadFileText(Transcript()), "");
}

WIN_TEST(StandInRefusesAGroupMemberTooLongToHoldInsteadOfCuttingIt) {
  int rc = -2;
  // 255 characters fit the member buffer exactly and are taken whole.
  std::vector<std::string> table = Resolve("Edge", &rc);
  EXPECT(rc == 0);
  EXPECT_TEXT(Joined(table), std::string(245, 'y') + "/Acme");
  // 300 do not: cut, the name would be someone else's.
  EXPECT(AddLongGroup());
  EXPECT_TEXT(GroupItemValue("Long", "ListName"), std::string("\x00\x05Long", 6));
  table = Resolve("Long", &rc);
  EXPECT(rc == -1);
  EXPECT(table.empty());
  std::string shown = wintest::ReadFileText(Transcript());
  EXPECT(shown.find("A member of the group Long is longer than 255 characters.") !=
         std::string::npos);
}

WIN_TEST(StandInRunsTheDesignServicesOfOrlavex) {
  auto create =
      Export<int VP_CALL(const char*, const char*, const char*)>("CreateVeilpostTemplate");
  auto replace = Export<int VP_CALL(const char*, const char*)>("ReplaceDatabaseDesign");
  if (!create || !replace) return;
  std::string mymail = DataFolder() + "\\mymail.nsf";
  EXPECT(!HasDesignNote(mymail.c_str(), "Veilpost Plugin", vp::kNoteClassForm));

  EXPECT(create("subform.nsf", "mail.ntf", "pgpmail.ntf") == 0);
  EXPECT_TEXT(InfoField("pgpmail.ntf", vp::kInfoTitle), "PGP Mail (R9)");
  EXPECT_TEXT(InfoField("pgpmail.ntf", vp::kInfoTemplateName), "PGPR9Mail");
  EXPECT(HasDesignNote("pgpmail.ntf", "Veilpost Plugin", vp::kNoteClassForm));

  // The database by its absolute Windows path, the template by its name in the data folder.
  EXPECT(replace("pgpmail.ntf", mymail.c_str()) == 0);
  EXPECT_TEXT(InfoField(mymail.c_str(), vp::kInfoInheritsFrom), "PGPR9Mail");
  EXPECT(HasDesignNote(mymail.c_str(), "Veilpost Plugin", vp::kNoteClassForm));
  EXPECT(HasDesignNote(mymail.c_str(), "Memo", vp::kNoteClassForm));

  // The new template exists now: the store's own text reaches the user through the port.
  EXPECT(create("subform.nsf", "mail.ntf", "pgpmail.ntf") == -1);
  EXPECT(wintest::ReadFileText(Transcript())
             .find("Notes error: File already exists\\nWhile copying the "
                   "mail template to 'pgpmail.ntf'.") != std::string::npos);
}

// Serves the case below from a folder without nnotes.dll.
WIN_CHILD(no_nnotes) {
  auto replace = Export<int VP_CALL(const char*, const char*)>("ReplaceDatabaseDesign");
  int design = replace ? replace("pgpmail.ntf", "mymail.nsf") : -2;
  int rc = -2;
  Resolve("bob", &rc);
  std::printf("design=%d resolve=%d\n%s", design, rc, wintest::ReadFileText(Transcript()).c_str());
  return 0;
}

WIN_TEST(WithoutNnotesDllTheUserIsToldWhy) {
  // This program and orlavex.dll alone in a fresh folder: nnotes.dll is nowhere to be found.
  std::string folder =
      wintest::TempFolder() + "\\vp-no-nnotes-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string exe = folder + "\\vp_nnotes_tests.exe";
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string selfFolder(self);
  selfFolder.resize(selfFolder.find_last_of('\\'));
  EXPECT(CopyFileA(self, exe.c_str(), FALSE));
  EXPECT(
      CopyFileA((selfFolder + "\\orlavex.dll").c_str(), (folder + "\\orlavex.dll").c_str(), FALSE));

  vp::SpawnRequest request;
  request.commandLine = "\"" + exe + "\" child-no_nnotes";
  request.timeoutMs = 60000;
  vp::SpawnResult result = vp::GetProcessLauncher().Run(request);
  EXPECT(result.exitStatus == 0);
  std::string out;
  for (char c : result.out)
    if (c != '\r') out += c;
  // Both services stop at the first Notes call, each showing why in the user's words.
  std::string expected = "design=-1 resolve=-1\n";
  std::string shown = out.substr(std::min(out.size(), expected.size()));
  EXPECT_TEXT(out.substr(0, expected.size()), expected);
  EXPECT(shown.find(kNoLibrary) != std::string::npos);
  EXPECT(shown.find(kNoLibrary) != shown.rfind(kNoLibrary));  // once for each service

  DeleteFileA(exe.c_str());
  DeleteFileA((folder + "\\orlavex.dll").c_str());
  RemoveDirectoryA(folder.c_str());
}
