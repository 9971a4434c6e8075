// The Notes fixture: data folder, directory helpers, recording UI, and resolution runs.
#include "support/notes_fixture.h"

#include <cstdlib>
#include <filesystem>

#include "hooklib/core/recipient_table.h"
#include "hooklib/outgoing/recipients.h"
#include "platform/faults.h"
#include "platform/notes_api.h"
#include "support/test_env.h"

namespace vptest {

void NotesFixture::SetUp() {
  data_ = FreshDir(std::string("notes-") +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
  setenv("VEILPOST_NOTES_DATA", data_.c_str(), 1);
  auto ui = std::make_unique<RecordingUi>();
  ui_ = ui.get();
  vp::SetUi(std::move(ui));
  vp::SetNotes(nullptr);
  vp::SetFaults("");
}

void NotesFixture::TearDown() {
  vp::SetFaults("");
  vp::SetNotes(nullptr);
  vp::SetUi(nullptr);
  ui_ = nullptr;
  vp::FreeRecipientTable();
  vp::ClearRecipientTable();
  unsetenv("VEILPOST_NOTES_DATA");
  std::error_code ec;
  std::filesystem::remove_all(data_, ec);
}

std::string NotesFixture::Directory() {
  std::string path = data_ + "/names.nsf";
  if (!std::filesystem::exists(path)) {
    EXPECT_EQ(notesemu::CreateDirectoryDatabase(path), "");
  }
  return path;
}

void NotesFixture::AddPeople(const std::vector<notesemu::PersonEntry>& people) {
  ASSERT_EQ(notesemu::AddDirectoryEntries(Directory(), people, {}), "");
}

void NotesFixture::AddGroup(const std::string& name, const std::vector<std::string>& members) {
  ASSERT_EQ(notesemu::AddDirectoryEntries(Directory(), {}, {{name, members, true}}), "");
}

int NotesFixture::Resolve(const std::string& recipients, const std::string& server) {
  vp::FreeRecipientTable();
  vp::ClearRecipientTable();
  return vp::ResolveRecipients(server.c_str(), recipients.c_str());
}

std::vector<std::string> NotesFixture::Table() const {
  std::vector<std::string> names;
  const vp::RecipientTable& table = vp::Recipients();
  for (int i = 0; i < table.count; ++i) names.emplace_back(table.entries[i]);
  return names;
}

std::string NotesFixture::StatusText(uint16_t status) {
  char text[256];
  vp::Notes().ErrorText(status, text, sizeof text);
  return text;
}

}  // namespace vptest
